#include "support/AboutRules.h"

#include <QTest>

using namespace support;

class tst_AboutRules : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void versionLine_data();
    void versionLine();
    void programVersion();
};

void tst_AboutRules::versionLine_data()
{
    QTest::addColumn<QString>("version");
    QTest::addColumn<QString>("line");
    QTest::newRow("revision not shown") << QStringLiteral("0.30.7") << QStringLiteral("Version   0.30");
    QTest::newRow("leading zeros dropped") << QStringLiteral("01.05.3") << QStringLiteral("Version   1.5");
    QTest::newRow("no revision") << QStringLiteral("2.10") << QStringLiteral("Version   2.10");
    QTest::newRow("major only") << QStringLiteral("3") << QStringLiteral("Version   3.0");
    QTest::newRow("blanks around") << QStringLiteral(" 1.2.3 ") << QStringLiteral("Version   1.2");
    QTest::newRow("not a version") << QStringLiteral("abc") << QStringLiteral("Version   0.0");
    QTest::newRow("empty") << QString() << QStringLiteral("Version   0.0");
}

void tst_AboutRules::versionLine()
{
    QFETCH(QString, version);
    QFETCH(QString, line);
    QCOMPARE(VersionLine(version), line);
}

void tst_AboutRules::programVersion() { QCOMPARE(ProgramVersionLine(), QStringLiteral("Version   0.30")); }

QTEST_APPLESS_MAIN(tst_AboutRules)
#include "tst_AboutRules.moc"
