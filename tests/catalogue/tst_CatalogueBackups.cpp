// Every write that changes a catalogue first keeps the content it replaces; the settings file
// is not a catalogue. Ten versions per catalogue, named after it, the time and its folder.
#include "catalogue/CatalogueFile.h"
#include "catalogue/cVbAnalyze.h"
#include "catalogue/mIniFile.h"
#include "common/FileBytes.h"
#include "platform/Backups.h"
#include "platform/IniStore.h"

#include <QScopeGuard>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>

using catalogue::State;

class tst_CatalogueBackups : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();
    void backupBeforeEveryChange_data();
    void backupBeforeEveryChange();
    void tenVersionsPerCatalogue();

private:
    std::unique_ptr<QTemporaryDir> dir_;
};

void tst_CatalogueBackups::initTestCase()
{
    QStandardPaths::setTestModeEnabled(true);
    // Written files are trusted at once: the tests change nothing within one clock tick behind the engine.
    platform::IniStore::Instance().SetRacyWindowNs(-1);
}

void tst_CatalogueBackups::init()
{
    dir_ = std::make_unique<QTemporaryDir>();
    platform::SetBackupFolderForTesting(dir_->filePath("state/ZARUN/backups"));
    platform::IniStore::Instance().Reset();
    catalogue::ResetState();
}

void tst_CatalogueBackups::cleanup()
{
    platform::SetBackupFolderForTesting(QString());
    catalogue::ResetState();
}

void tst_CatalogueBackups::backupBeforeEveryChange_data()
{
    QTest::addColumn<QString>("action");
    QTest::addColumn<bool>("kept");
    QTest::newRow("save with a new project") << "add" << true;
    QTest::newRow("save without a change") << "save" << false;
    QTest::newRow("project deleted") << "deleteKey" << true;
    QTest::newRow("category deleted") << "deleteSection" << true;
    QTest::newRow("save of no categories") << "clear" << true;
    QTest::newRow("save through a link") << "link" << true;
    // Written in place: a backup sharing the file's inode would show the new content.
    QTest::newRow("catalogue in a read-only folder") << "readOnlyFolder" << true;
    QTest::newRow("settings file") << "settings" << false;
}

void tst_CatalogueBackups::backupBeforeEveryChange()
{
    QFETCH(QString, action);
    QFETCH(bool, kept);
    const QByteArray old("[A]\r\nx=/src/x.vbp\r\n[B]\r\ny=/src/y.vbp\r\n");
    const QString real = dir_->filePath(action == "readOnlyFolder" ? "ro/Tools.zrd" : "Tools.zrd");
    QVERIFY(put(real, old));
    const QByteArray roFolder = QFile::encodeName(dir_->filePath("ro"));
    if (action == "readOnlyFolder")
        ::chmod(roFolder.constData(), 0555);
    const auto writableAgain = qScopeGuard([&] { ::chmod(roFolder.constData(), 0755); });
    QString file = real;
    if (action == "link") {
        file = dir_->filePath("link.zrd");
        QVERIFY(QFile::link("Tools.zrd", file));
    }
    if (action == "settings") {
        file = dir_->filePath("ZARUN.ini");
        QVERIFY(put(file, old));
        mIniFile::WriteIniString("A", "x", "/other.vbp", file);
    } else {
        State().CatalogueFilePath = file;
        QCOMPARE(catalogue::LoadCategories(), 2);
        const QStringList sections{"A", "B"};
        if (action == "add" || action == "link" || action == "readOnlyFolder") {
            QString name("z");
            State().CategoryAt(2)->AddProject("/src/z.vbp", name);
            QCOMPARE(catalogue::SaveCategories(sections), platform::IniStatus::Ok);
        } else if (action == "save") {
            QCOMPARE(catalogue::SaveCategories(sections), platform::IniStatus::Ok);
        } else if (action == "deleteKey") {
            QVERIFY(mIniFile::DeleteIniKey("A", "x", file));
        } else if (action == "deleteSection") {
            QVERIFY(mIniFile::DeleteIniSection("B", file));
        } else if (action == "clear") {
            catalogue::ClearCategories();
            State().EmptiedFile = file; // the user removed the last category
            QCOMPARE(catalogue::SaveCategories({}), platform::IniStatus::Ok);
            QCOMPARE(contents(real), QByteArray());
        }
    }
    QCOMPARE(contents(file) != old, kept || action == "settings");
    const QStringList backups = platform::BackupsOf(action == "settings" ? file : real);
    QCOMPARE(backups.size(), kept ? 1 : 0);
    if (kept) {
        QCOMPARE(contents(backups[0]), old);
        const QString name = QFileInfo(backups[0]).fileName();
        QVERIFY2(name.startsWith("Tools_") && name.endsWith(".zrd"), qPrintable(name));
    }
    QVERIFY(QFileInfo(file).isSymLink() == (action == "link"));
}

void tst_CatalogueBackups::tenVersionsPerCatalogue()
{
    const QString a = dir_->filePath("a/Tools.zrd");
    const QString b = dir_->filePath("b/Tools.zrd");
    QVERIFY(put(a, "[S]\r\nk=0\r\n"));
    QVERIFY(put(b, "[S]\r\nk=0\r\n"));
    mIniFile::KeepBackups(a);
    mIniFile::KeepBackups(b);
    for (int version = 1; version <= 12; ++version)
        mIniFile::WriteIniString("S", "k", QString::number(version), a);
    mIniFile::WriteIniString("S", "k", "1", b);

    // The oldest go after the writes, on a worker.
    QTRY_COMPARE(QDir(platform::BackupFolder()).entryList(QDir::Files | QDir::Hidden).size(), platform::kBackupsKept + 1);
    const QStringList ofA = platform::BackupsOf(a);
    QCOMPARE(ofA.size(), platform::kBackupsKept);
    QCOMPARE(contents(ofA.front()), QByteArray("[S]\r\nk=2\r\n")); // oldest kept: before the 3rd change
    QCOMPARE(contents(ofA.back()), QByteArray("[S]\r\nk=11\r\n"));
    const QStringList ofB = platform::BackupsOf(b);
    QCOMPARE(ofB.size(), 1);
    QCOMPARE(contents(ofB.front()), QByteArray("[S]\r\nk=0\r\n"));
    // The folder's name tells two catalogues of one name apart.
    QVERIFY2(ofA.front().contains("_a-") && ofB.front().contains("_b-"), qPrintable(ofA.front() + ' ' + ofB.front()));
}

QTEST_GUILESS_MAIN(tst_CatalogueBackups)
#include "tst_CatalogueBackups.moc"
