#include "platform/DesktopAssociation.h"

#include <QTest>

using namespace platform;

class tst_DesktopAssociation : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void split_data();
    void split();
    void joinGivesTheWordsBack_data();
    void joinGivesTheWordsBack();
    void joinLeavesPlainWordsAlone();
    void fieldCodes_data();
    void fieldCodes();
};

void tst_DesktopAssociation::split_data()
{
    QTest::addColumn<QString>("line");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<QStringList>("words");

    QTest::newRow("plain") << "/usr/bin/ide %f" << true << QStringList {"/usr/bin/ide", "%f"};
    QTest::newRow("double quotes") << R"("/opt/My IDE/ide" --x)" << true << QStringList {"/opt/My IDE/ide", "--x"};
    QTest::newRow("escapes in quotes") << R"("a\"b\$c\\d\`e")" << true << QStringList {"a\"b$c\\d`e"};
    QTest::newRow("empty") << "" << false << QStringList {};
    QTest::newRow("blank") << "   " << false << QStringList {};
    QTest::newRow("open quote") << "\"/opt/ide" << false << QStringList {};
}

void tst_DesktopAssociation::split()
{
    QFETCH(QString, line);
    QFETCH(bool, valid);
    QFETCH(QStringList, words);
    const std::optional<QStringList> result = SplitCommandLine(line);
    QCOMPARE(result.has_value(), valid);
    if (valid)
        QCOMPARE(*result, words);
}

void tst_DesktopAssociation::joinGivesTheWordsBack_data()
{
    QTest::addColumn<QStringList>("words");
    QTest::newRow("blanks") << QStringList {"/opt/My IDE/ide", "a b", "c"};
    QTest::newRow("quotes") << QStringList {"/opt/ide", R"(say "hi")", "it's"};
    QTest::newRow("shell specials") << QStringList {"/opt/ide", "a;b", "$(rm -rf x)", "`id`", "a|b&c>d<e", "*?~#"};
    QTest::newRow("backslashes") << QStringList {R"(C:\VB98\VB6.EXE)", R"(\\server\share\)", "end\\"};
    QTest::newRow("empty word") << QStringList {"/opt/ide", "", "x"};
    QTest::newRow("percent") << QStringList {"/opt/100%/ide", "%f"};
    QTest::newRow("tab and newline") << QStringList {"a\tb", "c\nd"};
    QTest::newRow("japanese") << QStringList {"/opt/開発 環境/ide", "ﾌﾟﾛｼﾞｪｸﾄ　1"};
}

void tst_DesktopAssociation::joinGivesTheWordsBack()
{
    QFETCH(QStringList, words);
    const QString line = JoinCommandLine(words);
    const std::optional<QStringList> back = SplitCommandLine(line);
    QVERIFY2(back.has_value(), qPrintable(line));
    QCOMPARE(*back, words);
}

void tst_DesktopAssociation::joinLeavesPlainWordsAlone()
{
    QCOMPARE(JoinCommandLine({"/usr/bin/ide", "--new-window", "x.vbp"}), QString("/usr/bin/ide --new-window x.vbp"));
    QCOMPARE(JoinCommandLine({"/opt/My IDE/ide"}), QString(R"("/opt/My IDE/ide")"));
    QCOMPARE(JoinCommandLine({}), QString());
}

void tst_DesktopAssociation::fieldCodes_data()
{
    QTest::addColumn<QStringList>("words");
    QTest::addColumn<QStringList>("expected");

    QTest::newRow("file") << QStringList {"ide", "%f"} << QStringList {"ide"};
    QTest::newRow("all codes") << QStringList {"ide", "%F", "%u", "%U", "%d", "%D", "%n", "%N", "%i", "%c", "%k", "%v", "%m"}
                               << QStringList {"ide"};
    QTest::newRow("fixed arguments kept") << QStringList {"ide", "--new", "%U", "--x"} << QStringList {"ide", "--new", "--x"};
    QTest::newRow("code inside a word") << QStringList {"ide", "--file=%f"} << QStringList {"ide"};
    QTest::newRow("literal percent") << QStringList {"ide", "100%%", "%%f"} << QStringList {"ide", "100%", "%f"};
    QTest::newRow("lone percent") << QStringList {"ide", "50%"} << QStringList {"ide"};
    QTest::newRow("nothing to do") << QStringList {"/opt/ide"} << QStringList {"/opt/ide"};
}

void tst_DesktopAssociation::fieldCodes()
{
    QFETCH(QStringList, words);
    QFETCH(QStringList, expected);
    QCOMPARE(RemoveFieldCodes(words), expected);
}

QTEST_GUILESS_MAIN(tst_DesktopAssociation)
#include "tst_DesktopAssociation.moc"
