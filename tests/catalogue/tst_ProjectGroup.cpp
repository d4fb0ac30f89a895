// The projects a .vbg project group lists.
#include "catalogue/ProjectGroup.h"
#include "platform/TextCodec.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

Q_DECLARE_METATYPE(PathStyle)

class tst_ProjectGroup : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void parse_data();
    void parse();
    void readFromDisk();
};

void tst_ProjectGroup::parse_data()
{
    QTest::addColumn<QString>("group");
    QTest::addColumn<PathStyle>("style");
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<QStringList>("projects");
    QTest::addColumn<QStringList>("unplaced");

    const QString g = QStringLiteral("/src/All/All.vbg");
    QTest::newRow("CR LF, the startup project where it stands")
        << g << PathStyle::Posix
        << QByteArray("VBGROUP 5.0\r\nProject=..\\Lib\\Lib.vbp\r\nStartupProject=App\\App.vbp\r\nProject=Ctl.vbp\r\n")
        << true << QStringList{"/src/Lib/Lib.vbp", "/src/All/App/App.vbp", "/src/All/Ctl.vbp"} << QStringList{};
    QTest::newRow("LF, comments, blank lines, unknown keys")
        << g << PathStyle::Posix
        << QByteArray("\nVBGROUP 5.0\n\n' a comment: Project=No.vbp\n; another\nFoo=Project=No.vbp\n  Project=A.vbp  \n"
                      "Projects=No.vbp\n#Project=No.vbp\nproject=B.vbp\nProject=\n")
        << true << QStringList{"/src/All/A.vbp", "/src/All/B.vbp"} << QStringList{};
    QTest::newRow("each project once") << g << PathStyle::Posix
                                       << QByteArray("VBGROUP 5.0\r\nStartupProject=A.vbp\r\nProject=A.vbp\r\nProject=.\\A.vbp")
                                       << true << QStringList{"/src/All/A.vbp"} << QStringList{};
    QTest::newRow("quoted, with blanks") << g << PathStyle::Posix
                                         << QByteArray("VBGROUP 5.0\r\nProject=\"My App\\App.vbp\"\r\n") << true
                                         << QStringList{"/src/All/My App/App.vbp"} << QStringList{};
    QTest::newRow("code page 932") << g << PathStyle::Posix
                                   << "VBGROUP 5.0\r\nProject=" + *platform::EncodeCp932(u"計算\\計算ctl.vbp"_qs) + "\r\n"
                                   << true << QStringList{u"/src/All/計算/計算ctl.vbp"_qs} << QStringList{};
    QTest::newRow("drives: Z: is the root, others have no place here")
        << g << PathStyle::Posix << QByteArray("VBGROUP 5.0\r\nProject=Z:\\home\\u\\A.vbp\r\nProject=D:\\Src\\B.vbp\r\n")
        << true << QStringList{"/home/u/A.vbp"} << QStringList{"D:\\Src\\B.vbp"};
    QTest::newRow("Windows paths") << "C:\\Src\\All.vbg" << PathStyle::Windows
                                   << QByteArray("VBGROUP 5.0\r\nProject=App\\App.vbp\r\nProject=D:\\Lib\\Lib.vbp\r\n")
                                   << true << QStringList{"C:\\Src\\App\\App.vbp", "D:\\Lib\\Lib.vbp"} << QStringList{};
    QTest::newRow("no header") << g << PathStyle::Posix << QByteArray("Project=A.vbp\r\n") << false << QStringList{}
                               << QStringList{};
    QTest::newRow("a longer word for a header") << g << PathStyle::Posix
                                                << QByteArray("VBGROUPS 5.0\r\nProject=A.vbp\r\n") << false
                                                << QStringList{} << QStringList{};
    QTest::newRow("a .vbp for a group") << g << PathStyle::Posix << QByteArray("Type=Exe\r\nForm=A.frm\r\n") << false
                                        << QStringList{} << QStringList{};
    QTest::newRow("empty") << g << PathStyle::Posix << QByteArray() << false << QStringList{} << QStringList{};
}

void tst_ProjectGroup::parse()
{
    QFETCH(QString, group);
    QFETCH(PathStyle, style);
    QFETCH(QByteArray, text);
    QFETCH(bool, valid);
    QFETCH(QStringList, projects);
    QFETCH(QStringList, unplaced);
    const catalogue::ProjectGroup parsed = catalogue::ProjectGroupIn(group, text, style);
    QCOMPARE(parsed.valid, valid);
    QCOMPARE(parsed.projects, projects);
    QCOMPARE(parsed.unplaced, unplaced);
}

void tst_ProjectGroup::readFromDisk()
{
    // Written on Windows: the letter case of the listed paths is not the disk's.
    QTemporaryDir dir;
    QVERIFY(QDir(dir.path()).mkpath("Lib"));
    QFile lib(dir.filePath("Lib/Lib.vbp"));
    QVERIFY(lib.open(QIODevice::WriteOnly));
    QFile group(dir.filePath("All.vbg"));
    QVERIFY(group.open(QIODevice::WriteOnly));
    group.write("VBGROUP 5.0\r\nProject=LIB\\lib.VBP\r\nProject=Lib\\Lib.vbp\r\nProject=Gone\\Gone.vbp\r\n");
    group.close();
    const catalogue::ProjectGroup read = catalogue::ReadProjectGroup(group.fileName());
    QVERIFY(read.valid);
    QCOMPARE(read.projects, (QStringList{dir.filePath("Lib/Lib.vbp"), dir.filePath("Gone/Gone.vbp")}));
    QVERIFY(!catalogue::ReadProjectGroup(dir.filePath("none.vbg")).valid);
}

QTEST_GUILESS_MAIN(tst_ProjectGroup)
#include "tst_ProjectGroup.moc"
