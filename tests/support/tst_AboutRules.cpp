#include "support/AboutRules.h"

#include <QTest>

using namespace support;

class tst_AboutRules : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void versionLine_data();
    void versionLine();
    void programVersion();
    void centre_data();
    void centre();
    void twips_data();
    void twips();
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

void tst_AboutRules::centre_data()
{
    QTest::addColumn<int>("screen");
    QTest::addColumn<int>("window");
    QTest::addColumn<int>("left");
    QTest::newRow("even") << 19200 << 5400 << 6900;
    QTest::newRow("odd window truncates") << 19200 << 5401 << 6900;
    QTest::newRow("odd screen truncates") << 19201 << 5400 << 6900;
    QTest::newRow("window wider than screen") << 4000 << 6000 << -1000;
    QTest::newRow("same size") << 4000 << 4000 << 0;
}

void tst_AboutRules::centre()
{
    QFETCH(int, screen);
    QFETCH(int, window);
    QFETCH(int, left);
    QCOMPARE(CentreTwips(screen, window), left);
}

void tst_AboutRules::twips_data()
{
    QTest::addColumn<int>("twips");
    QTest::addColumn<int>("pixels");
    QTest::newRow("exact") << 5400 << 360;
    QTest::newRow("rounds down") << 1097 << 73;
    QTest::newRow("rounds up") << 1094 << 73;
    QTest::newRow("zero") << 0 << 0;
    QTest::newRow("negative") << -1500 << -100;
}

void tst_AboutRules::twips()
{
    QFETCH(int, twips);
    QFETCH(int, pixels);
    QCOMPARE(TwipsToPixels(twips), pixels);
}

QTEST_APPLESS_MAIN(tst_AboutRules)
#include "tst_AboutRules.moc"
