// The main window's commands when the catalogue or settings file is not as the program left it:
// deleted, made read-only, replaced by a folder, or edited by another program in between.
#include "catalogue/cVbAnalyze.h"
#include "catalogue/mIniFile.h"
#include "common/TestFolders.h"
#include "common/FileBytes.h"
#include "common/ScriptedUserInterface.h"
#include "dialogs/fEdit.h"
#include "mainwindow/ProjectListView.h"
#include "mainwindow/Settings.h"
#include "mainwindow/fMain.h"
#include "platform/FileSystem.h"
#include "platform/IniStore.h"
#include "platform/ProgramFolder.h"
#include "support/cCommonDlg.h"
#include "tooling/mMain.h"

#include <QDir>
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

// Waits until the file's last change lies far enough back for a read to be trusted, then reads it,
// so that a later change that keeps size and times could only be told by the change time.
void ReadWhenSettled(const QString &path)
{
    for (;;) {
        const platform::FileStamp stamp = platform::StatFile(path);
        if (platform::WallClockNs() - qMax(stamp.modifiedNs, stamp.changedNs) > platform::IniStore::kRacyWindowNs)
            break;
        QThread::msleep(10);
    }
    QStringList names;
    mIniFile::ReadIniSectionNames(names, path);
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
    void categoryReadSeesTheOtherProgram_data();
    void categoryReadSeesTheOtherProgram();
    void hostileFilesStayAsTheyAre_data();
    void hostileFilesStayAsTheyAre();
    void settingsFileThatCannotBeWritten_data();
    void settingsFileThatCannotBeWritten();

private:
    // Loads kOld from data/Tools.zrd and adds one project that is not saved yet.
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
    catalogue::ResetState();
    settings::ResetValues();
    settings::Values().AutoMakeExe = false;
    platform::IniStore::Instance().Reset();
    mMain::VbIdePath.clear();
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
    w.LoadCatalogue();
    QString name = QStringLiteral("added");
    State().Current()->AddProject(QStringLiteral("/n/added.vbp"), name);
    w.ShowProjectList();
    w.ClickProjectRow(1);
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
    }
    const QString opened = kind == QLatin1String("new") ? dir_->filePath(QStringLiteral("program/NewFile.zrd")) : catalogue_;
    if (kind == QLatin1String("new"))
        QVERIFY(put(opened, kOld));
    const QByteArray before = Describe(opened);
    const QStringList entries = FolderEntries(QFileInfo(opened).path());

    {
        fMain w;
        if (kind == QLatin1String("new")) {
            w.NewCatalogue();
        } else {
            State().CatalogueFilePath = opened;
            w.LoadCatalogue();
        }
        if (kind == QLatin1String("duplicates"))
            QCOMPARE(State().Current()->Count(), 1);
        w.close(); // the shut-down save
    }
    QCOMPARE(ui_->messages, message.isEmpty() ? QStringList() : QStringList{QString(message).replace(QStringLiteral("%PATH%"), opened)});
    QCOMPARE(Describe(opened), before);
    QCOMPARE(FolderEntries(QFileInfo(opened).path()), entries);
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
    const QString keyFailed = QStringLiteral("ｷｰの削除に失敗しました。");
    const QString sectionFailed = QStringLiteral("ﾃﾞｰﾀﾌｧｲﾙの該当するｶﾃｺﾞﾘｰの削除に失敗しました。");
    const QString editFailed = QStringLiteral("ﾃﾞｰﾀﾌｧｲﾙの該当するｷｰの削除に失敗しました。");
    const QString readOnly = QStringLiteral("%PATH% は書き込みできないため、保存できませんでした。");

    // Deleted while open: removals have nothing to remove and create nothing; the edit writes its
    // key into a new file (the shut-down save would then add the rest); the shut-down save is skipped.
    QTest::newRow("deleted: project delete") << "deleted" << "project delete" << QStringList{} << ab
                                             << QStringList{"p2", "added"} << missing;
    QTest::newRow("deleted: category rename") << "deleted" << "category rename" << QStringList{}
                                              << QStringList{"R", "B"} << all << missing;
    QTest::newRow("deleted: category delete") << "deleted" << "category delete" << QStringList{}
                                              << QStringList{"B"} << QStringList{"q"} << missing;
    QTest::newRow("deleted: project edit") << "deleted" << "project edit" << QStringList{} << ab
                                           << QStringList{"e1", "p2", "added"} << QByteArray("[A]\r\ne1=%VBP%\r\n");
    QTest::newRow("deleted: shut-down") << "deleted" << "shut-down" << QStringList{} << ab << all << missing;

    // A read-only folder: the writable catalogue in it is written in place, so every command goes
    // through as with a writable folder (a renamed category reaches the file with the next save).
    QTest::newRow("read-only folder: project delete") << "read-only folder" << "project delete" << QStringList{} << ab
                                                      << QStringList{"p2", "added"}
                                                      << QByteArray("[A]\r\np2=y\r\n[B]\r\nq=z\r\n");
    QTest::newRow("read-only folder: category rename")
        << "read-only folder" << "category rename" << QStringList{} << QStringList{"R", "B"} << all
        << QByteArray("[B]\r\nq=z\r\n");
    QTest::newRow("read-only folder: category delete") << "read-only folder" << "category delete" << QStringList{}
                                                       << QStringList{"B"} << QStringList{"q"}
                                                       << QByteArray("[B]\r\nq=z\r\n");
    QTest::newRow("read-only folder: project edit")
        << "read-only folder" << "project edit" << QStringList{} << ab << QStringList{"e1", "p2", "added"}
        << QByteArray("[A]\r\np2=y\r\ne1=%VBP%\r\n[B]\r\nq=z\r\n");
    QTest::newRow("read-only folder: shut-down")
        << "read-only folder" << "shut-down" << QStringList{} << ab << all
        << QByteArray("[A]\r\np1=x\r\np2=y\r\nadded=/n/added.vbp\r\n[B]\r\nq=z\r\n");

    // A folder in the file's place is left alone; the shut-down save is skipped as for a missing file.
    const QByteArray folder("<folder>");
    QTest::newRow("folder: project delete") << "folder" << "project delete" << QStringList{keyFailed} << ab << all << folder;
    QTest::newRow("folder: category rename") << "folder" << "category rename" << QStringList{sectionFailed} << ab << all
                                             << folder;
    QTest::newRow("folder: category delete") << "folder" << "category delete" << QStringList{sectionFailed} << ab << all
                                             << folder;
    QTest::newRow("folder: project edit") << "folder" << "project edit" << QStringList{editFailed} << ab << all << folder;
    QTest::newRow("folder: shut-down") << "folder" << "shut-down" << QStringList{} << ab << all << folder;

    // A read-only file (its deletions are checked with the main window's own tests).
    QTest::newRow("read-only file: project edit")
        << "read-only file" << "project edit" << QStringList{editFailed} << ab << all << kOld;
    QTest::newRow("read-only file: shut-down")
        << "read-only file" << "shut-down" << QStringList{readOnly} << ab << all << kOld;
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
        w.DeleteSelectedProject();
    } else if (command == QLatin1String("category rename")) {
        ui_->inputAnswers << QStringLiteral("R");
        w.RenameCategory();
    } else if (command == QLatin1String("category delete")) {
        ui_->confirmAnswers << true;
        w.DeleteCategory();
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
    QCOMPARE(RowTexts(w.lvwCategory), categories);
    QCOMPARE(RowTexts(w.lvwProjectList), projects);
    // The rows and the entries behind them still match.
    const catalogue::cVbAnalyze *current = State().Current();
    QVERIFY(current);
    QCOMPARE(current->Count(), qint32(projects.size()));
    for (qint32 j = 1; j <= current->Count(); ++j)
        QCOMPARE(current->ProjectName(j), projects[j - 1]);
    QCOMPARE(FileState(catalogue_), file.replace("%VBP%", vbp.toUtf8()));
    // Nothing was left beside it, and nothing was created where there was nothing.
    QStringList entriesAfter = FolderEntries(data_);
    if (fault == QLatin1String("deleted") && file != "<missing>")
        entriesAfter.removeOne(QStringLiteral("Tools.zrd"));
    QCOMPARE(entriesAfter, entriesBefore);
}

void tst_CatalogueFaults::saveRecreatesADeletedFile()
{
    fMain w;
    loadWithAddition(w);
    const QByteArray saved("[A]\r\np1=x\r\np2=y\r\nadded=/n/added.vbp\r\n[B]\r\nq=z\r\n");

    // The file alone gone: Save writes the whole catalogue into a new one.
    QVERIFY(QFile::remove(catalogue_));
    QVERIFY(w.SaveCatalogue());
    QCOMPARE(contents(catalogue_), saved);

    // Its folder gone too: the save fails naming the file; once the folder is back, the next save
    // writes the same catalogue, nothing lost in between.
    QVERIFY(QDir(data_).removeRecursively());
    QVERIFY(!w.SaveCatalogue());
    QCOMPARE(ui_->messages.size(), 1);
    QVERIFY2(ui_->messages[0].startsWith(catalogue_ + u' '), qPrintable(ui_->messages[0]));
    QVERIFY(!QFileInfo::exists(data_));
    QVERIFY(QDir().mkpath(data_));
    QVERIFY(w.SaveCatalogue());
    QCOMPARE(contents(catalogue_), saved);
    QCOMPARE(ui_->messages.size(), 1);
}

void tst_CatalogueFaults::editsByAnotherProgram_data()
{
    QTest::addColumn<QString>("how");
    QTest::addColumn<QString>("command");
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QStringList>("projects");

    // The other program replaces our p2 with its own zz, in as many bytes. A save keeps its work:
    // p2 stays deleted and zz joins the catalogue; only this run's addition is written.
    for (const char *how : {"rewritten in place at once", "replaced through a rename", "same size, times put back"}) {
        QTest::addRow("%s: save", how) << how << "save"
                                       << QByteArray("[A]\r\np1=x\r\nzz=Y\r\nadded=/n/added.vbp\r\n[B]\r\nq=z\r\n")
                                       << QStringList{"p1", "added", "zz"};
        QTest::addRow("%s: project delete", how) << how << "project delete" << QByteArray("[A]\r\nzz=Y\r\n[B]\r\nq=z\r\n")
                                                 << QStringList{"p2", "added"};
        QTest::addRow("%s: open again", how) << how << "open again" << QByteArray("[A]\r\np1=x\r\nzz=Y\r\n[B]\r\nq=z\r\n")
                                             << QStringList{"p1", "zz"};
    }
}

void tst_CatalogueFaults::editsByAnotherProgram()
{
    QFETCH(QString, how);
    QFETCH(QString, command);
    QFETCH(QByteArray, file);
    QFETCH(QStringList, projects);

    const QByteArray theirs("[A]\r\np1=x\r\nzz=Y\r\n[B]\r\nq=z\r\n");
    QCOMPARE(theirs.size(), kOld.size());
    fMain w;
    loadWithAddition(w);
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
        ReadWhenSettled(catalogue_);
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
    w.ClickCategoryRow(1);
    QCOMPARE(RowTexts(w.lvwProjectList), (QStringList{"p1", "p2", "added"}));
    w.ClickProjectRow(1);

    if (command == QLatin1String("save")) {
        QVERIFY(w.SaveCatalogue());
    } else if (command == QLatin1String("project delete")) {
        ui_->confirmAnswers << true;
        w.DeleteSelectedProject();
    } else {
        w.LoadCatalogue();
    }
    QCOMPARE(ui_->messages, QStringList{});
    QCOMPARE(contents(catalogue_), file);
    QCOMPARE(RowTexts(w.lvwProjectList), projects);
}

void tst_CatalogueFaults::categoryReadSeesTheOtherProgram_data()
{
    QTest::addColumn<QString>("command");
    QTest::addColumn<QStringList>("categories");
    QTest::addColumn<QStringList>("projects");
    QTest::addColumn<QByteArray>("saved");
    // Naming a category reads its section as the file holds it now: the other program's [C] with c1.
    QTest::newRow("category added") << "add" << QStringList{"A", "B", "C"} << QStringList{"c1"}
                                    << QByteArray("[A]\r\np1=x\r\np2=y\r\nadded=/n/added.vbp\r\n[B]\r\nq=z\r\n"
                                                  "[C]\r\nc1=/c1.vbp\r\n");
    // A rename to C keeps B's projects after the ones found under C.
    QTest::newRow("category renamed") << "rename" << QStringList{"A", "C"} << QStringList{"c1", "q"}
                                      << QByteArray("[A]\r\np1=x\r\np2=y\r\nadded=/n/added.vbp\r\n"
                                                    "[C]\r\nc1=/c1.vbp\r\nq=z\r\n");
}

void tst_CatalogueFaults::categoryReadSeesTheOtherProgram()
{
    QFETCH(QString, command);
    QFETCH(QStringList, categories);
    QFETCH(QStringList, projects);
    QFETCH(QByteArray, saved);
    fMain w;
    loadWithAddition(w);
    QVERIFY(put(catalogue_, kOld + "[C]\r\nc1=/c1.vbp\r\n"));
    if (command == QLatin1String("add")) {
        ui_->inputAnswers << QStringLiteral("C");
        w.AddCategory();
    } else {
        w.ClickCategoryRow(2);
        ui_->inputAnswers << QStringLiteral("C");
        w.RenameCategory();
    }
    QCOMPARE(ui_->messages, QStringList{});
    QCOMPARE(RowTexts(w.lvwCategory), categories);
    QCOMPARE(RowTexts(w.lvwProjectList), projects);
    QVERIFY(w.SaveCatalogue());
    QCOMPARE(contents(catalogue_), saved);
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
            w.LoadCatalogue();
        }
        QCOMPARE(RowTexts(w.lvwCategory), (QStringList{"A", "B"}));
        settings::Values().DoubleClickAction = 2;
        settings::Values().LastProjectFolder = QStringLiteral("/src");
        QString name = QStringLiteral("added");
        State().Current()->AddProject(QStringLiteral("/n/added.vbp"), name);
        w.close();
    }
    // The settings stay as they were, silently; the catalogue is still saved after them.
    QCOMPARE(ui_->messages, QStringList{});
    QCOMPARE(FileState(ini), iniBefore);
    QCOMPARE(FolderEntries(program), entriesBefore);
    QCOMPARE(contents(catalogue_), QByteArray("[A]\r\np1=x\r\np2=y\r\nadded=/n/added.vbp\r\n[B]\r\nq=z\r\n"));
}

QTEST_MAIN(tst_CatalogueFaults)
#include "tst_CatalogueFaults.moc"
