#include "catalogue/CatalogueNames.h"

#include <QTest>

using catalogue::DistinctProjectNames;

class tst_CatalogueNames : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void distinct_data();
    void distinct();
};

void tst_CatalogueNames::distinct_data()
{
    QTest::addColumn<QStringList>("names");
    QTest::addColumn<QStringList>("written");
    QTest::newRow("already distinct: unchanged") << QStringList{"Calc", "Memo Pad", "calc2"}
                                                 << QStringList{"Calc", "Memo Pad", "calc2"};
    QTest::newRow("three Calc") << QStringList{"Calc", "Calc", "Calc"} << QStringList{"Calc", "Calc(2)", "Calc(3)"};
    QTest::newRow("A, B, A") << QStringList{"A", "B", "A"} << QStringList{"A", "B", "A(3)"};
    QTest::newRow("worked example") << QStringList{"Calc", "Memo Pad", "Calc"}
                                    << QStringList{"Calc", "Memo Pad", "Calc(3)"};
    QTest::newRow("renamed name taken further up") << QStringList{"A", "A(3)", "A"}
                                                   << QStringList{"A", "A(3)", "A(3)(3)"};
    QTest::newRow("letter case as the file compares") << QStringList{"Calc", "CALC", "calc"}
                                                      << QStringList{"Calc", "CALC(2)", "calc(3)"};
    QTest::newRow("blanks at the ends as the file compares") << QStringList{"Calc", "Calc "}
                                                             << QStringList{"Calc", "Calc (2)"};
    QTest::newRow("suffix collides with a later original") << QStringList{"A", "A", "A(2)"}
                                                           << QStringList{"A", "A(2)", "A(2)(3)"};
    QTest::newRow("empty names") << QStringList{"", ""} << QStringList{"", "(2)"};
    QTest::newRow("none") << QStringList{} << QStringList{};
}

void tst_CatalogueNames::distinct()
{
    QFETCH(QStringList, names);
    QFETCH(QStringList, written);
    const QStringList result = DistinctProjectNames(names);
    QCOMPARE(result, written);
    QStringList folded;
    for (const QString &name : result)
        folded.append(name.trimmed().toCaseFolded());
    folded.removeDuplicates();
    QCOMPARE(folded.size(), result.size());
}

QTEST_GUILESS_MAIN(tst_CatalogueNames)
#include "tst_CatalogueNames.moc"
