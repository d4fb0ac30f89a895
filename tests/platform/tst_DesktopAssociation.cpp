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
};

void tst_DesktopAssociation::split_data()
{
    QTest::addColumn<QString>("line");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<QStringList>("words");

    QTest::newRow("plain") << "/usr/bin/ide %f" << true << QStringList {"/usr/bin/ide", "%f"};
    QTest::newRow("double quotes") << R"("/opt/My IDE/ide" --x)" << true << QStringList {"/opt/My IDE/ide", "--x"};
    QTest::newRow("escapes in quotes") << R"("a\"b\$c\\d\`e")" << true << QStringList {"a\"b$c\\d`e"};
    // Other backslashes in double quotes stay: a Windows path needs no doubling there.
    QTest::newRow("windows path in quotes") << R"(wine "C:\VB98\VB6.EXE")" << true << QStringList {"wine", R"(C:\VB98\VB6.EXE)"};
    QTest::newRow("backslash outside quotes") << R"(a\ b c\"d)" << true << QStringList {"a b", "c\"d"};
    QTest::newRow("single quotes, no escapes") << R"(sh -c 'ide "%f" \')" << true << QStringList {"sh", "-c", R"(ide "%f" \)"};
    QTest::newRow("parts joined") << R"(--file="a b"'c d'e)" << true << QStringList {"--file=a bc de"};
    QTest::newRow("empty quoted word") << R"(ide "" '')" << true << QStringList {"ide", "", ""};
    QTest::newRow("field codes stay") << R"(ide "%f" %%u)" << true << QStringList {"ide", "%f", "%%u"};
    QTest::newRow("tabs and newlines") << "ide\t-a\n \"x\ny\"" << true << QStringList {"ide", "-a", "x\ny"};
    QTest::newRow("open single quote") << "ide 'x" << false << QStringList {};
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

QTEST_GUILESS_MAIN(tst_DesktopAssociation)
#include "tst_DesktopAssociation.moc"
