// The main window's commands when the catalogue or settings file is not as the program left it:
// deleted, made read-only, replaced by a folder, or edited by another program in between.
#include "catalogue/CatalogueChanges.h"
#include "catalogue/LookCache.h"
#include "catalogue/ProjectReader.h"
#include "catalogue/cVbAnalyze.h"
#include "catalogue/mIniFile.h"
#include "common/TestFolders.h"
#include "common/FileBytes.h"
#include "common/ResetGlobals.h"
#include "common/ScriptedUserInterface.h"
#include "dialogs/fEdit.h"
#include "mainwindow/ui/ProjectListView.h"
#include "settings/Settings.h"
#include "mainwindow/ui/MainLists.h"
#include "mainwindow/ui/MainMenus.h"
#include "mainwindow/ui/fMain.h"
#include "platform/FileSystem.h"
#include "platform/IniStore.h"
#include "platform/ProgramFolder.h"
#include "platform/TextCodec.h"
#include "support/ui/cCommonDlg.h"
#include "tooling/mMain.h"

#include <QDir>
#include <QLabel>
#include <QRegularExpression>
#include <QLineEdit>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include <sys/stat.h>
#include <unistd.h>

using catalogue::State;

namespace {

const QByteArray kOld("[A]\r\np1=x\r\np2=y\r\n[B]\r\nq=z\r\n");
const QByteArray kAdded("[A]\r\np1=x\r\np2=y\r\nadded=/n/added.vbp\r\n[B]\r\nq=z\r\n");

QStringList RowTexts(const ReportListView *list)
{
    QStringList texts;
    for (qint32 i = 1; i <= list->RowCount(); ++i)
        texts.append(list->Text(i));
    return texts;
}

// The file's bytes; "<folder>" for a folder, "<missing>" when there is nothing.
QByteArray FileState(const QString &path)
{
    return QFileInfo(path).isDir() ? QByteArray("<folder>") : contents(path);
}

QStringList FolderEntries(const QString &folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
}

// Waits until the file's last change lies a clock tick back, so that a later change that keeps size
// and times can only be told by the change time.
void WaitUntilSettled(const QString &path)
{
    for (;;) {
        const platform::FileStamp stamp = platform::StatFile(path);
        if (platform::WallClockNs() - qMax(stamp.modifiedNs, stamp.changedNs) > platform::IniStore::kRacyWindowNs)
            break;
        QThread::msleep(10);
    }
}

// What lies at the path, links not followed: a link's target and what lies there, a folder's
// entries, a special file's kind, or a regular file's size, times, inode and (small files) bytes.
QByteArray Describe(const QString &path, int depth = 0)
{
    struct stat st {};
    const QByteArray native = QFile::encodeName(path);
    if (::lstat(native.constData(), &st) != 0)
        return "<missing>";
    if (S_ISLNK(st.st_mode)) {
        const QString target = QFileInfo(path).symLinkTarget();
        return "link to " + QFile::encodeName(target) + (depth < 3 ? " (" + Describe(target, depth + 1) + ')' : "");
    }
    if (S_ISDIR(st.st_mode))
        return "folder of " + FolderEntries(path).join(u',').toUtf8();
    if (!S_ISREG(st.st_mode))
        return "special file";
    QByteArray text = "file of " + QByteArray::number(qint64(st.st_size)) + " bytes, modified "
                      + QByteArray::number(qint64(st.st_mtim.tv_sec)) + '.' + QByteArray::number(qint64(st.st_mtim.tv_nsec))
                      + ", inode " + QByteArray::number(quint64(st.st_ino));
    if (st.st_size < 1024 * 1024)
        text += ": " + contents(path).toHex();
    return text;
}

} // namespace

class tst_CatalogueFaults : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();

    void commandsOnAFaultyFile_data();
    void commandsOnAFaultyFile();
    void saveRecreatesADeletedFile();
    void editsByAnotherProgram_data();
    void editsByAnotherProgram();
    void namesTakenElsewhereAreRefused_data();
    void namesTakenElsewhereAreRefused();
    void hostileFilesStayAsTheyAre_data();
    void hostileFilesStayAsTheyAre();
    void settingsFileThatCannotBeWritten_data();
    void settingsFileThatCannotBeWritten();
    void everyChangeIsOnDiskWhenItReturns_data();
    void everyChangeIsOnDiskWhenItReturns();
    void twoWritersLoseNothing();
    void filesNamedLikeOursSurvive();
    void listsFollowAnotherWriter();

private:
    // Loads kOld from data/Tools.zrd and adds one project to A (written at once: kAdded).
    void loadWithAddition(fMain &w);

    std::unique_ptr<QTemporaryDir> dir_;
    std::unique_ptr<ScriptedUserInterface> ui_;
    QString data_;
    QString catalogue_;
};

void tst_CatalogueFaults::initTestCase() { UseTestFolders(); }

void tst_CatalogueFaults::init()
{
    dir_ = std::make_unique<QTemporaryDir>();
    QVERIFY(dir_->isValid());
    data_ = dir_->filePath(QStringLiteral("data"));
    catalogue_ = data_ + QStringLiteral("/Tools.zrd");
    QVERIFY(put(catalogue_, kOld));
    platform::SetProgramFolderForTesting(dir_->filePath(QStringLiteral("program")));
    QVERIFY(QDir().mkpath(dir_->filePath(QStringLiteral("program"))));
    ResetGlobals();
    settings::Values().AutoMakeExe = false;
    ui_ = std::make_unique<ScriptedUserInterface>();
}

void tst_CatalogueFaults::cleanup()
{
    // Permissions put back so that the folder can be removed.
    for (const QString &path : {data_, catalogue_, dir_->filePath(QStringLiteral("program")),
                                dir_->filePath(QStringLiteral("program/ZARUN.ini"))})
        if (QFileInfo::exists(path))
            QFile::setPermissions(path, QFile::permissions(path) | QFile::WriteOwner | QFile::ExeOwner);
    cCommonDlg::ResetAnswerer();
    ui_.reset();
    platform::SetProgramFolderForTesting(QString());
    dir_.reset();
}

void tst_CatalogueFaults::loadWithAddition(fMain &w)
{
    State().CatalogueFilePath = catalogue_;
    w.Commands().LoadCatalogue();
    QVERIFY(catalogue::AddProjects(QStringLiteral("A"), {{QStringLiteral("/n/added.vbp"), QStringLiteral("added"), QString()}}).Done);
    QCOMPARE(contents(catalogue_), kAdded);
    w.Lists().ShowProjectList();
    w.Commands().SelectProject(1);
}

void tst_CatalogueFaults::hostileFilesStayAsTheyAre_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("message"); // %PATH% stands for the file opened
    const QString empty = QStringLiteral("中身がありません。");
    const QString unreadable = QStringLiteral("%PATH% を読み込めません。ﾌｧｲﾙは変更しません。");
    QTest::newRow("a note, not a catalogue") << "note" << empty;
    QTest::newRow("over the size limit") << "huge" << QStringLiteral("%PATH% は大きすぎるため読み込めません。ﾌｧｲﾙは変更しません。");
    QTest::newRow("fifo") << "fifo" << unreadable;
    QTest::newRow("folder") << "folder" << unreadable;
    QTest::newRow("link to /dev/zero") << "zero" << unreadable;
    QTest::newRow("link loop") << "loop" << unreadable;
    QTest::newRow("read error") << "read error" << unreadable;
    QTest::newRow("binary garbage with one section line") << "garbage" << QString();
    QTest::newRow("a key written twice") << "duplicates" << QString();
    QTest::newRow("quoted values") << "quoted" << QString();
    QTest::newRow("NewFile.zrd of an earlier run, then New") << "new" << QString();
    // Opened and closed without a change: another program's keys, comments and a lone CR stay.
    QTest::newRow("another program's INI file") << "foreign ini" << QString();
    // The kept looks are written at the end of a load: never through a link into the user's file.
    QTest::newRow("a link where the kept looks go") << "cache link" << QString();
}

void tst_CatalogueFaults::hostileFilesStayAsTheyAre()
{
    QFETCH(QString, kind);
    QFETCH(QString, message);
    QVERIFY(QFile::remove(catalogue_));
    const QByteArray path = QFile::encodeName(catalogue_);
    if (kind == QLatin1String("note")) {
        QVERIFY(put(catalogue_, "just a note, 20 b.\r\n"));
    } else if (kind == QLatin1String("huge")) {
        QVERIFY(put(catalogue_, "[A]\r\nx=/x.vbp\r\n"));
        QVERIFY(QFile::resize(catalogue_, platform::IniStore::kMaxFileBytes + 1));
    } else if (kind == QLatin1String("fifo")) {
        QCOMPARE(::mkfifo(path.constData(), 0644), 0);
    } else if (kind == QLatin1String("folder")) {
        QVERIFY(QDir().mkpath(catalogue_ + QStringLiteral("/inside")));
    } else if (kind == QLatin1String("zero")) {
        QVERIFY(QFile::link(QStringLiteral("/dev/zero"), catalogue_));
    } else if (kind == QLatin1String("loop")) {
        QVERIFY(QFile::link(data_ + QStringLiteral("/loop.zrd"), catalogue_));
        QVERIFY(QFile::link(catalogue_, data_ + QStringLiteral("/loop.zrd")));
    } else if (kind == QLatin1String("read error")) {
        // Reading the process's own memory at offset 0 fails with EIO.
        QVERIFY(QFile::link(QStringLiteral("/proc/self/mem"), catalogue_));
    } else if (kind == QLatin1String("garbage")) {
        QByteArray bytes;
        quint32 x = 12345;
        for (int i = 0; i < 4000; ++i) {
            x = x * 1103515245u + 12345u;
            const char c = char(x >> 24);
            bytes += (c == '=' || c == '[') ? '\x81' : c;
        }
        bytes.insert(2000, "\r\n[Garbage]\r\n");
        QVERIFY(put(catalogue_, bytes));
    } else if (kind == QLatin1String("duplicates")) {
        QVERIFY(put(catalogue_, "[A]\r\nk=/1.vbp\r\nK=/2.vbp\r\n k =/3.vbp\r\n[a]\r\nk=/4.vbp\r\n"));
    } else if (kind == QLatin1String("quoted")) {
        QVERIFY(put(catalogue_, "[A]\r\nk=\"/1.vbp\"\r\nq='/2.vbp'\r\n"));
    } else if (kind == QLatin1String("foreign ini")) {
        QVERIFY(put(catalogue_, "; settings of another tool\r\n[General]\r\nKey=\r\nPath = C:\\x \r\nlone\rcr\r\n"
                                "[Empty]\r\n  ; indented comment\r\nx=1"));
    } else if (kind == QLatin1String("cache link")) {
        QVERIFY(put(catalogue_, kOld));
        const QString cache = catalogue::LookCache::FileFor(catalogue_);
        QVERIFY(QDir().mkpath(QFileInfo(cache).path()));
        QVERIFY(put(data_ + QStringLiteral("/mine.txt"), "the user's own file\r\n"));
        QVERIFY(QFile::link(data_ + QStringLiteral("/mine.txt"), cache));
    }
    const QString opened = kind == QLatin1String("new") ? dir_->filePath(QStringLiteral("program/NewFile.zrd")) : catalogue_;
    if (kind == QLatin1String("new"))
        QVERIFY(put(opened, kOld));
    const QByteArray before = Describe(opened);
    const QStringList entries = FolderEntries(QFileInfo(opened).path());

    {
        fMain w;
        if (kind == QLatin1String("new")) {
            w.Commands().NewCatalogue();
        } else {
            State().CatalogueFilePath = opened;
            w.Commands().LoadCatalogue();
        }
        if (kind == QLatin1String("duplicates"))
            QCOMPARE(State().Current()->Count(), 1);
        if (kind == QLatin1String("cache link"))
            QTRY_VERIFY(w.Reader().Idle());
        w.close(); // writes no catalogue
    }
    QCOMPARE(ui_->messages, message.isEmpty() ? QStringList() : QStringList{QString(message).replace(QStringLiteral("%PATH%"), opened)});
    QCOMPARE(Describe(opened), before);
    QCOMPARE(FolderEntries(QFileInfo(opened).path()), entries);
    if (kind == QLatin1String("cache link"))
        QCOMPARE(contents(data_ + QStringLiteral("/mine.txt")), QByteArray("the user's own file\r\n"));
}

void tst_CatalogueFaults::commandsOnAFaultyFile_data()
{
    QTest::addColumn<QString>("fault");
    QTest::addColumn<QString>("command");
    QTest::addColumn<QStringList>("messages"); // %PATH% stands for the catalogue's path
    QTest::addColumn<QStringList>("categories");
    QTest::addColumn<QStringList>("projects");
    QTest::addColumn<QByteArray>("file"); // %VBP% stands for the edited project's new file

    const QStringList ab{"A", "B"};
    const QStringList all{"p1", "p2", "added"};
    const QByteArray missing("<missing>");
    const QString keyFailed = QStringLiteral("ｷｰの削除に失敗しました。\r\n");
    const QString sectionFailed = QStringLiteral("ﾃﾞｰﾀﾌｧｲﾙの該当するｶﾃｺﾞﾘｰの削除に失敗しました。\r\n");
    const QString editFailed = QStringLiteral("ﾃﾞｰﾀﾌｧｲﾙの該当するｷｰの削除に失敗しました。\r\n");
    const QString gone = QStringLiteral("%PATH% が見つかりません。他のﾌﾟﾛｸﾞﾗﾑで削除か移動されたようです。"
                                        "表示中の内容は「上書き保存」で書き戻せます。");
    const QString replaced = QStringLiteral("%PATH% は読み込めない内容に置き換えられています。"
                                            "表示中の内容は「上書き保存」で書き戻せます。");
    const QString readOnly = QStringLiteral("%PATH% は書き込みできません。");

    // Deleted while open: no change brings a file back behind the user's back; the lists keep the
    // catalogue for Save. Closing writes nothing.
    QTest::newRow("deleted: project delete") << "deleted" << "project delete" << QStringList{keyFailed + gone} << ab
                                             << all << missing;
    QTest::newRow("deleted: category rename") << "deleted" << "category rename" << QStringList{sectionFailed + gone}
                                              << ab << all << missing;
    QTest::newRow("deleted: category delete") << "deleted" << "category delete" << QStringList{sectionFailed + gone}
                                              << ab << all << missing;
    QTest::newRow("deleted: project edit") << "deleted" << "project edit" << QStringList{editFailed + gone} << ab
                                           << all << missing;
    QTest::newRow("deleted: shut-down") << "deleted" << "shut-down" << QStringList{} << ab << all << missing;

    // A writable file in a folder the user cannot write: written in place, after its backup.
    QTest::newRow("read-only folder: project delete")
        << "read-only folder" << "project delete" << QStringList{} << ab << QStringList{"p2", "added"}
        << QByteArray("[A]\r\np2=y\r\nadded=/n/added.vbp\r\n[B]\r\nq=z\r\n");
    QTest::newRow("read-only folder: category rename")
        << "read-only folder" << "category rename" << QStringList{} << QStringList{"R", "B"} << all
        << QByteArray("[R]\r\np1=x\r\np2=y\r\nadded=/n/added.vbp\r\n[B]\r\nq=z\r\n");
    QTest::newRow("read-only folder: shut-down") << "read-only folder" << "shut-down" << QStringList{} << ab << all
                                                 << kAdded;

    // A folder in the file's place is left alone.
    const QByteArray folder("<folder>");
    QTest::newRow("folder: project delete") << "folder" << "project delete" << QStringList{keyFailed + replaced} << ab
                                            << all << folder;
    QTest::newRow("folder: category delete") << "folder" << "category delete" << QStringList{sectionFailed + replaced}
                                             << ab << all << folder;
    QTest::newRow("folder: project edit") << "folder" << "project edit" << QStringList{editFailed + replaced} << ab
                                          << all << folder;
    QTest::newRow("folder: shut-down") << "folder" << "shut-down" << QStringList{} << ab << all << folder;

    // A read-only file (its deletions are checked with the main window's own tests).
    QTest::newRow("read-only file: project edit")
        << "read-only file" << "project edit" << QStringList{editFailed + readOnly} << ab << all << kAdded;
    QTest::newRow("read-only file: shut-down") << "read-only file" << "shut-down" << QStringList{} << ab << all
                                               << kAdded;
}

void tst_CatalogueFaults::commandsOnAFaultyFile()
{
    QFETCH(QString, fault);
    QFETCH(QString, command);
    QFETCH(QStringList, messages);
    QFETCH(QStringList, categories);
    QFETCH(QStringList, projects);
    QFETCH(QByteArray, file);

    const QString vbp = dir_->filePath(QStringLiteral("src/E.vbp"));
    QVERIFY(put(vbp, "Type=Exe\r\nName=\"E\"\r\n"));
    fMain w;
    loadWithAddition(w);

    if (fault == QLatin1String("deleted")) {
        QVERIFY(QFile::remove(catalogue_));
    } else if (fault == QLatin1String("read-only folder")) {
        QVERIFY(QFile::setPermissions(data_, QFile::ReadOwner | QFile::ExeOwner));
    } else if (fault == QLatin1String("folder")) {
        QVERIFY(QFile::remove(catalogue_));
        QVERIFY(QDir().mkdir(catalogue_));
    } else {
        QVERIFY(QFile::setPermissions(catalogue_, QFile::ReadOwner | QFile::ReadGroup));
    }
    const QStringList entriesBefore = FolderEntries(data_);

    if (command == QLatin1String("project delete")) {
        ui_->confirmAnswers << true;
        w.Commands().DeleteSelectedProject();
    } else if (command == QLatin1String("category rename")) {
        ui_->inputAnswers << QStringLiteral("R");
        w.Commands().RenameCategory();
    } else if (command == QLatin1String("category delete")) {
        ui_->confirmAnswers << true;
        w.Commands().DeleteCategory();
    } else if (command == QLatin1String("project edit")) {
        fEdit dialog(&w);
        dialog.txtProjectName->setText(QStringLiteral("e1"));
        dialog.txtProjectFile->setText(vbp);
        dialog.cmdOK_Click();
        QCOMPARE(dialog.Edited(), messages.isEmpty());
    } else {
        w.close();
    }

    for (QString &m : messages)
        m.replace(QStringLiteral("%PATH%"), catalogue_);
    QCOMPARE(ui_->messages, messages);
    QCOMPARE(RowTexts(w.Lists().lvwCategory()), categories);
    QCOMPARE(RowTexts(w.Lists().lvwProjectList()), projects);
    // The rows and the entries behind them still match.
    const catalogue::cVbAnalyze *current = State().Current();
    QVERIFY(current);
    QCOMPARE(current->Count(), qint32(projects.size()));
    for (qint32 j = 1; j <= current->Count(); ++j)
        QCOMPARE(current->ProjectName(j), projects[j - 1]);
    QCOMPARE(FileState(catalogue_), file.replace("%VBP%", vbp.toUtf8()));
    // Nothing was left beside it, and nothing was created where there was nothing.
    QCOMPARE(FolderEntries(data_), entriesBefore);
}

void tst_CatalogueFaults::saveRecreatesADeletedFile()
{
    fMain w;
    loadWithAddition(w);

    // The file alone gone: Save writes the whole catalogue into a new one.
    QVERIFY(QFile::remove(catalogue_));
    QVERIFY(w.SaveCatalogue());
    QCOMPARE(contents(catalogue_), kAdded);

    // Its folder gone too: the save fails naming the file; once the folder is back, the next save
    // writes the same catalogue, nothing lost in between.
    QVERIFY(QDir(data_).removeRecursively());
    QVERIFY(!w.SaveCatalogue());
    QCOMPARE(ui_->messages.size(), 1);
    QVERIFY2(ui_->messages[0].startsWith(catalogue_ + u' '), qPrintable(ui_->messages[0]));
    QVERIFY(!QFileInfo::exists(data_));
    QVERIFY(QDir().mkpath(data_));
    QVERIFY(w.SaveCatalogue());
    QCOMPARE(contents(catalogue_), kAdded);
    QCOMPARE(ui_->messages.size(), 1);
}

void tst_CatalogueFaults::editsByAnotherProgram_data()
{
    QTest::addColumn<QString>("how");
    QTest::addColumn<QString>("command");
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QStringList>("projects");

    // The other program's version has zz in place of p2 and no added. The command works on the file
    // as that program left it, and the lists show it.
    const QByteArray theirs("[A]\r\np1=x\r\nzz=Y\r\n[B]\r\nq=z\r\n");
    for (const char *how : {"rewritten in place at once", "replaced through a rename", "same size, times put back"}) {
        QTest::addRow("%s: save", how) << how << "save" << theirs << QStringList{"p1", "zz"};
        QTest::addRow("%s: project delete", how) << how << "project delete" << QByteArray("[A]\r\nzz=Y\r\n[B]\r\nq=z\r\n")
                                                 << QStringList{"zz"};
        QTest::addRow("%s: open again", how) << how << "open again" << theirs << QStringList{"p1", "zz"};
    }
}

void tst_CatalogueFaults::editsByAnotherProgram()
{
    QFETCH(QString, how);
    QFETCH(QString, command);
    QFETCH(QByteArray, file);
    QFETCH(QStringList, projects);

    const QByteArray theirs("[A]\r\np1=x\r\nzz=Y\r\n[B]\r\nq=z\r\n");
    fMain w;
    State().CatalogueFilePath = catalogue_;
    w.Commands().LoadCatalogue();
    if (how == QLatin1String("rewritten in place at once")) {
        QVERIFY(put(catalogue_, theirs));
    } else if (how == QLatin1String("replaced through a rename")) {
        const QString temp = data_ + QStringLiteral("/editor.tmp");
        QVERIFY(put(temp, theirs));
        QVERIFY(QFile::remove(catalogue_));
        QVERIFY(QFile::rename(temp, catalogue_));
    } else {
        // touch copies file times to the nanosecond, which Qt's own calls cannot.
        const QString touch = QStandardPaths::findExecutable(QStringLiteral("touch"));
        if (touch.isEmpty())
            QSKIP("no touch program to put the file times back with");
        QCOMPARE(theirs.size(), kOld.size());
        WaitUntilSettled(catalogue_);
        const QString reference = data_ + QStringLiteral("/times");
        QCOMPARE(QProcess::execute(touch, {QStringLiteral("-r"), catalogue_, reference}), 0);
        const platform::FileStamp before = platform::StatFile(catalogue_);
        QFile f(catalogue_);
        QVERIFY(f.open(QIODevice::ReadWrite));
        QCOMPARE(f.write(theirs), theirs.size());
        f.close();
        QCOMPARE(QProcess::execute(touch, {QStringLiteral("-r"), reference, catalogue_}), 0);
        QVERIFY(QFile::remove(reference));
        const platform::FileStamp after = platform::StatFile(catalogue_);
        // Only the change time tells the two apart.
        QCOMPARE(after.size, before.size);
        QCOMPARE(after.inode, before.inode);
        QCOMPARE(after.modifiedNs, before.modifiedNs);
        QVERIFY(after.changedNs != before.changedNs);
    }

    // A click on the category shows what is in memory; the file is not read again.
    w.Commands().SelectCategory(1);
    QCOMPARE(RowTexts(w.Lists().lvwProjectList()), (QStringList{"p1", "p2"}));
    w.Commands().SelectProject(1);

    if (command == QLatin1String("save")) {
        QVERIFY(w.SaveCatalogue());
    } else if (command == QLatin1String("project delete")) {
        ui_->confirmAnswers << true;
        w.Commands().DeleteSelectedProject();
    } else {
        w.Commands().LoadCatalogue();
    }
    QCOMPARE(ui_->messages, QStringList{});
    QCOMPARE(contents(catalogue_), file);
    QCOMPARE(RowTexts(w.Lists().lvwProjectList()), projects);
}

void tst_CatalogueFaults::namesTakenElsewhereAreRefused_data()
{
    QTest::addColumn<QString>("command");
    QTest::newRow("category added") << "add";
    QTest::newRow("category renamed") << "rename";
}

void tst_CatalogueFaults::namesTakenElsewhereAreRefused()
{
    // Another program added [C]: it is in the lists before a name is asked for, so C is refused.
    QFETCH(QString, command);
    fMain w;
    loadWithAddition(w);
    const QByteArray theirs = kAdded + "[C]\r\nc1=/c1.vbp\r\n";
    QVERIFY(put(catalogue_, theirs));
    ui_->inputAnswers << QStringLiteral("C");
    if (command == QLatin1String("add")) {
        w.Commands().AddCategory();
    } else {
        w.Commands().SelectCategory(2);
        w.Commands().RenameCategory();
    }
    QCOMPARE(ui_->messages.size(), 1);
    QVERIFY2(ui_->messages[0].contains(QStringLiteral("[C]")), qPrintable(ui_->messages[0]));
    QCOMPARE(RowTexts(w.Lists().lvwCategory()), (QStringList{"A", "B", "C"}));
    QCOMPARE(contents(catalogue_), theirs);
}

void tst_CatalogueFaults::settingsFileThatCannotBeWritten_data()
{
    QTest::addColumn<QString>("how");
    QTest::newRow("read-only file") << "read-only file";
    QTest::newRow("read-only folder, no file yet") << "read-only folder";
    QTest::newRow("folder in its place") << "folder";
}

void tst_CatalogueFaults::settingsFileThatCannotBeWritten()
{
    QFETCH(QString, how);
    const QString program = dir_->filePath(QStringLiteral("program"));
    const QString ini = program + QStringLiteral("/ZARUN.ini");
    if (how == QLatin1String("read-only file")) {
        QVERIFY(put(ini, "[Project]\r\nWClick=0\r\n[Main]\r\nStartFile=" + catalogue_.toUtf8() + "\r\n"));
        QVERIFY(QFile::setPermissions(ini, QFile::ReadOwner | QFile::ReadGroup));
    } else if (how == QLatin1String("read-only folder")) {
        QVERIFY(QFile::setPermissions(program, QFile::ReadOwner | QFile::ExeOwner));
    } else {
        QVERIFY(QDir().mkdir(ini));
    }
    const QByteArray iniBefore = FileState(ini);
    const QStringList entriesBefore = FolderEntries(program);

    {
        fMain w;
        w.Form_Load();
        // What could be read was read; the rest took its defaults.
        const bool readable = how == QLatin1String("read-only file");
        QCOMPARE(settings::Values().DoubleClickAction, readable ? 0 : 1);
        if (!readable) {
            State().CatalogueFilePath = catalogue_;
            w.Commands().LoadCatalogue();
        }
        QCOMPARE(RowTexts(w.Lists().lvwCategory()), (QStringList{"A", "B"}));
        settings::Values().DoubleClickAction = 2;
        settings::Values().LastProjectFolder = QStringLiteral("/src");
        QVERIFY(catalogue::AddProjects(QStringLiteral("A"), {{QStringLiteral("/n/added.vbp"), QStringLiteral("added"), QString()}}).Done);
        w.close();
    }
    // The settings stay as they were, silently; the catalogue has what was changed.
    QCOMPARE(ui_->messages, QStringList{});
    QCOMPARE(FileState(ini), iniBefore);
    QCOMPARE(FolderEntries(program), entriesBefore);
    QCOMPARE(contents(catalogue_), QByteArray("[A]\r\np1=x\r\np2=y\r\nadded=/n/added.vbp\r\n[B]\r\nq=z\r\n"));
}

namespace {

// The catalogue as a fresh read of the file gives it, in the lines fault_command prints.
QStringList FreshLoad(const QString &file)
{
    const platform::IniRead read = platform::IniStore::Read(file);
    QStringList lines;
    for (const QString &section : read.document.SectionNames()) {
        lines.append(QStringLiteral("shown: [") + section + u']');
        for (const auto &[name, path] : catalogue::CategoryEntries(read.document, section))
            lines.append(QStringLiteral("shown: ") + name + u'=' + path);
    }
    return lines;
}

struct Run {
    int exitCode = -1;
    QStringList lines;
};

Run RunCommand(const QStringList &arguments)
{
    QProcess process;
    process.start(QStringLiteral(ZARUN_FAULT_COMMAND), arguments);
    Run run;
    if (!process.waitForFinished(60000))
        return run;
    run.exitCode = process.exitCode();
    run.lines = QString::fromUtf8(process.readAllStandardOutput()).split(u'\n', Qt::SkipEmptyParts);
    return run;
}

} // namespace

void tst_CatalogueFaults::everyChangeIsOnDiskWhenItReturns_data()
{
    QTest::addColumn<QStringList>("command");
    QTest::addColumn<QByteArray>("file");
    const QString vbp = QStringLiteral("/src/編集/E.vbp");
    QTest::newRow("add a project") << QStringList{"add"}
                                   << kOld.left(kOld.indexOf("[B]")) + *platform::EncodeCp932(u"追加0=/new/追加/0.vbp")
                                          + "\r\n[B]\r\nq=z\r\n";
    QTest::newRow("add many") << QStringList{"addmany"} << QByteArray();
    QTest::newRow("rename a category") << QStringList{"rename"} << QByteArray();
    QTest::newRow("delete a category") << QStringList{"ctgdelete"} << QByteArray("[B]\r\nq=z\r\n");
    QTest::newRow("edit a project") << QStringList{"edit", vbp} << QByteArray();
    QTest::newRow("move a project") << QStringList{"move"} << QByteArray("[A]\r\np2=y\r\n[B]\r\nq=z\r\np1=x\r\n");
    QTest::newRow("delete a project") << QStringList{"delete"} << QByteArray("[A]\r\np2=y\r\n[B]\r\nq=z\r\n");
}

void tst_CatalogueFaults::everyChangeIsOnDiskWhenItReturns()
{
    // The process ends right after the command, as at a crash, a kill or a power cut: a fresh load
    // of the file equals what the lists showed.
    QFETCH(QStringList, command);
    QFETCH(QByteArray, file);
    const Run run = RunCommand(QStringList{QStringLiteral("change"), catalogue_} + command);
    QCOMPARE(run.exitCode, 0);
    QVERIFY2(run.lines.contains(QStringLiteral("result: ok")), qPrintable(run.lines.join(u'\n')));
    const QStringList shown = run.lines.filter(QRegularExpression(QStringLiteral("^shown: ")));
    QCOMPARE(FreshLoad(catalogue_), shown);
    QVERIFY(shown != FreshLoad(dir_->filePath(QStringLiteral("none.zrd"))));
    if (!file.isEmpty())
        QCOMPARE(contents(catalogue_), file);
    // Nothing but the catalogue is left beside it: no temporary file, no lock.
    QCOMPARE(FolderEntries(data_), QStringList{QStringLiteral("Tools.zrd")});
}

void tst_CatalogueFaults::twoWritersLoseNothing()
{
    // Two instances change one catalogue at the same moment, each change after reading the other's.
    constexpr int kEach = 15;
    QProcess first;
    QProcess second;
    const QString count = QString::number(kEach);
    first.start(QStringLiteral(ZARUN_FAULT_COMMAND), {"change", catalogue_, "addeach", count, "一"});
    second.start(QStringLiteral(ZARUN_FAULT_COMMAND), {"change", catalogue_, "addeach", count, "二"});
    QVERIFY(first.waitForFinished(60000) && second.waitForFinished(60000));
    QCOMPARE(first.exitCode(), 0);
    QCOMPARE(second.exitCode(), 0);
    const QStringList lines = FreshLoad(catalogue_);
    QCOMPARE(lines.size(), 5 + 2 * kEach);
    for (int k = 0; k < kEach; ++k)
        for (const QString &tag : {QStringLiteral("一"), QStringLiteral("二")})
            QVERIFY2(lines.contains(QStringLiteral("shown: %1%2=/new/%2.vbp").arg(tag).arg(k)), qPrintable(tag + QString::number(k)));
    for (const char *kept : {"shown: p1=x", "shown: p2=y", "shown: q=z"})
        QVERIFY(lines.contains(QLatin1String(kept)));
}

void tst_CatalogueFaults::filesNamedLikeOursSurvive()
{
    // The user's own files beside the catalogue, long untouched: a change's tidying leaves them.
    const QStringList mine{".Tools.zrd.backup", ".Tools.zrd.before", ".Tools.zrd.241208", ".ZARUN.ini.backup",
                           ".Tools.zrd.zarun-AbC123", ".Tools.zrd.zarun-lock.old"};
    for (const QString &name : mine) {
        QVERIFY(put(data_ + u'/' + name, name.toUtf8()));
        QVERIFY(setModified(data_ + u'/' + name, 1'600'000'000));
    }
    QCOMPARE(RunCommand({QStringLiteral("change"), catalogue_, QStringLiteral("add")}).exitCode, 0);
    for (const QString &name : mine)
        QCOMPARE(contents(data_ + u'/' + name), name.toUtf8());
    QCOMPARE(FolderEntries(data_).size(), mine.size() + 1);
}

void tst_CatalogueFaults::listsFollowAnotherWriter()
{
    fMain w;
    State().CatalogueFilePath = catalogue_;
    w.Commands().LoadCatalogue();
    w.Commands().SelectProject(2);
    const catalogue::ProjectRecord *p2 = State().Current()->Record(2);
    // Another instance adds a project to A and deletes category B.
    QCOMPARE(RunCommand({QStringLiteral("change"), catalogue_, QStringLiteral("add")}).exitCode, 0);
    QVERIFY(put(catalogue_, contents(catalogue_).replace("[B]\r\nq=z\r\n", "")));
    QTRY_COMPARE(RowTexts(w.Lists().lvwCategory()), QStringList{QStringLiteral("A")});
    QTRY_COMPARE(RowTexts(w.Lists().lvwProjectList()), (QStringList{QStringLiteral("p1"), QStringLiteral("p2"), QStringLiteral("追加0")}));
    // The selected row stays selected, and a short notice says why the lists changed.
    QCOMPARE(State().Current()->Record(State().CurrentProject), p2);
    QCOMPARE(w.Lists().lvwProjectList()->SelectedRow(), 2);
    const QLabel *notice = w.findChild<QLabel *>(QStringLiteral("NoticeBar"));
    QVERIFY(notice && notice->isVisibleTo(&w));
    QVERIFY(ui_->messages.isEmpty());

    // The file deleted: said once, and the lists stay for Save to write back.
    QVERIFY(QFile::remove(catalogue_));
    QTRY_COMPARE(ui_->messages.size(), 1);
    QVERIFY2(ui_->messages[0].startsWith(catalogue_ + u' '), qPrintable(ui_->messages[0]));
    QCOMPARE(RowTexts(w.Lists().lvwProjectList()).size(), 3);
    QVERIFY(w.SaveCatalogue());
    QCOMPARE(FreshLoad(catalogue_).size(), 4);
    QCOMPARE(ui_->messages.size(), 1);
}

QTEST_MAIN(tst_CatalogueFaults)
#include "tst_CatalogueFaults.moc"
