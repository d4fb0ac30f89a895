// Every write that changes a catalogue first keeps the content it replaces; the settings file
// is not a catalogue. Ten versions per catalogue, named after it, the time and its folder.
#include "catalogue/CatalogueChanges.h"
#include "catalogue/CatalogueFile.h"
#include "catalogue/cVbAnalyze.h"
#include "catalogue/mIniFile.h"
#include "common/FileBytes.h"
#include "platform/Backups.h"
#include "platform/IniStore.h"
#include "common/ResetGlobals.h"

#include <QScopeGuard>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>

using catalogue::State;

namespace {

// One change of the catalogue: its first category named anew.
void renameFirstCategory(const QString &file, const QString &name)
{
    State().CatalogueFilePath = file;
    QVERIFY(catalogue::LoadCategories() > 0);
    QVERIFY(catalogue::RenameCategory(State().CategoryAt(1)->Category(), name).Done);
}

} // namespace

class tst_CatalogueBackups : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();
    void backupBeforeEveryChange_data();
    void backupBeforeEveryChange();
    void tenVersionsPerCatalogue();
    void orderWhateverTheClock_data();
    void orderWhateverTheClock();
    void namesFitAndFailuresAreTold_data();
    void namesFitAndFailuresAreTold();

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
    platform::ResetBackupFailureForTesting();
    ResetGlobals();
}

void tst_CatalogueBackups::cleanup()
{
    platform::SetBackupFolderForTesting(QString());
    ResetGlobals();
}

void tst_CatalogueBackups::backupBeforeEveryChange_data()
{
    QTest::addColumn<QString>("action");
    QTest::addColumn<bool>("kept");
    QTest::newRow("project added") << "add" << true;
    QTest::newRow("save of a file that holds the catalogue") << "save" << false;
    QTest::newRow("project deleted") << "deleteKey" << true;
    QTest::newRow("category deleted") << "deleteSection" << true;
    QTest::newRow("category renamed") << "rename" << true;
    QTest::newRow("change through a link") << "link" << true;
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
        if (action == "add" || action == "link" || action == "readOnlyFolder")
            QVERIFY(catalogue::AddProjects("B", {{"/src/z.vbp", "z", QString()}}).Done);
        else if (action == "save")
            QCOMPARE(catalogue::SaveWholeCatalogue(), catalogue::FileProblem::None);
        else if (action == "deleteKey")
            QVERIFY(catalogue::DeleteProject("A", State().CategoryAt(1)->Shared(1).lock()).Done);
        else if (action == "deleteSection")
            QVERIFY(catalogue::DeleteCategory("B").Done);
        else if (action == "rename")
            QVERIFY(catalogue::RenameCategory("B", "C").Done);
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
    for (int version = 1; version <= 12; ++version)
        renameFirstCategory(a, QString("S%1").arg(version));
    renameFirstCategory(b, "S1");

    // The oldest go after the writes, on a worker.
    QTRY_COMPARE(QDir(platform::BackupFolder()).entryList(QDir::Files | QDir::Hidden).size(), platform::kBackupsKept + 1);
    const QStringList ofA = platform::BackupsOf(a);
    QCOMPARE(ofA.size(), platform::kBackupsKept);
    QCOMPARE(contents(ofA.front()), QByteArray("[S2]\r\nk=0\r\n")); // oldest kept: before the 3rd change
    QCOMPARE(contents(ofA.back()), QByteArray("[S11]\r\nk=0\r\n"));
    const QStringList ofB = platform::BackupsOf(b);
    QCOMPARE(ofB.size(), 1);
    QCOMPARE(contents(ofB.front()), QByteArray("[S]\r\nk=0\r\n"));
    // The folder's name tells two catalogues of one name apart.
    QVERIFY2(ofA.front().contains("_a-") && ofB.front().contains("_b-"), qPrintable(ofA.front() + ' ' + ofB.front()));
}

// Backups are ordered by their sequence, not by the clock: after the clock or the time zone went
// back, the one just made is still the newest and the oldest goes. Those named by local time by
// earlier versions are older than any numbered one; names of the catalogue's shape that are no
// backups are neither listed nor removed.
void tst_CatalogueBackups::orderWhateverTheClock_data()
{
    QTest::addColumn<int>("earlier"); // named by local time, dated 2099
    QTest::addColumn<int>("numbered"); // numbered 1..n, dated 2099
    QTest::addColumn<QStringList>("strangers"); // what stands between the name's prefix and suffix
    QTest::newRow("clock went back") << 0 << 10 << QStringList();
    QTest::newRow("names of earlier versions") << 10 << 0 << QStringList();
    QTest::newRow("both") << 4 << 7 << QStringList();
    QTest::newRow("first backup") << 0 << 0 << QStringList();
    QTest::newRow("names that are no backups")
        << 0 << 10
        << QStringList{"garbage", "2099-01-01_00-00-00-000Z_", "2099-01-01_00-00-00-000Z_00001x",
                       "2099-01-01_00-00-00-000Z_1234567890123456", "2099-01-01_00-00-00-00",
                       "2099-01-01_00-00-00-000Z", QString::fromUtf8("２０９９-01-01_00-00-00-000")};
}

void tst_CatalogueBackups::orderWhateverTheClock()
{
    QFETCH(int, earlier);
    QFETCH(int, numbered);
    QFETCH(QStringList, strangers);
    const QString file = dir_->filePath("Tools.zrd");
    const QByteArray old("[S]\r\nk=0\r\n");
    QVERIFY(put(file, old));
    const QString folder = platform::BackupFolder();
    const QDateTime future(QDate(2099, 1, 1), QTime(0, 0), Qt::UTC);
    const QString sample = platform::BackupFileName(file, future, 1);
    const QString middle = "2099-01-01_00-00-00-000Z_000001";
    QVERIFY2(sample.contains(middle), qPrintable(sample));
    const QString prefix = sample.first(sample.indexOf(middle));
    const QString suffix = sample.sliced(prefix.size() + middle.size());

    QStringList expected;
    for (int i = 0; i < earlier; ++i)
        expected.append(folder + '/' + prefix + future.addMSecs(i).toString("yyyy-MM-dd_HH-mm-ss-zzz") + suffix);
    for (int i = 1; i <= numbered; ++i)
        expected.append(folder + '/' + platform::BackupFileName(file, future.addMSecs(i), i));
    for (const QString &stranger : strangers)
        QVERIFY(put(folder + '/' + prefix + stranger + suffix, "not a backup"));
    for (const QString &path : expected)
        QVERIFY(put(path, "fake"));

    renameFirstCategory(file, "T");
    QTRY_COMPARE(platform::BackupsOf(file).size(), qMin(expected.size() + 1, platform::kBackupsKept));
    const QStringList backups = platform::BackupsOf(file);
    QCOMPARE(backups.first(backups.size() - 1), expected.last(backups.size() - 1));
    QCOMPARE(contents(backups.back()), old);
    const QString sequence = QString("Z_%1_").arg(numbered + 1, 6, 10, QChar('0'));
    QVERIFY2(backups.back().contains(sequence), qPrintable(backups.back()));
    for (const QString &stranger : strangers)
        QVERIFY(QFileInfo::exists(folder + '/' + prefix + stranger + suffix));
}

// Long names in any script still give a backup, its name cut between characters within 255 bytes;
// when none can be kept the save goes on and the user is told once in the run.
void tst_CatalogueBackups::namesFitAndFailuresAreTold_data()
{
    QTest::addColumn<QString>("relative"); // the catalogue in the test folder
    QTest::addColumn<bool>("stateUsable");
    const QString kanji(60, QChar(0x6F22));
    QTest::newRow("long Japanese name") << QString(80, QChar(0x6F22)) + ".zrd" << true;
    QTest::newRow("long Japanese name in a long Japanese folder") << kanji + '/' + kanji + ".zrd" << true;
    QTest::newRow("characters beyond the BMP") << 'a' + QString::fromUtf8("𠀋").repeated(60) + ".zrd" << true;
    QTest::newRow("state folder cannot be made") << "Tools.zrd" << false;
}

void tst_CatalogueBackups::namesFitAndFailuresAreTold()
{
    QFETCH(QString, relative);
    QFETCH(bool, stateUsable);
    const QString file = dir_->filePath(relative);
    QVERIFY(put(file, "[S]\r\nk=0\r\n"));
    if (!stateUsable)
        QVERIFY(put(dir_->filePath("state"), "a file where the folder would be"));
    for (int change = 1; change <= 2; ++change) {
        renameFirstCategory(file, QString("S%1").arg(change));
        QCOMPARE(contents(file), "[S" + QByteArray::number(change) + "]\r\nk=0\r\n");
        QCOMPARE(platform::BackupsOf(file).size(), stateUsable ? change : 0);
        QCOMPARE(platform::TakeBackupFailure(), stateUsable || change > 1 ? QString() : platform::BackupFolder());
    }
    if (stateUsable) {
        const QString name = QFileInfo(platform::BackupsOf(file).back()).fileName();
        QVERIFY2(name.startsWith(relative.section('/', -1).first(10)) && !name.contains(QChar::ReplacementCharacter),
                 qPrintable(name));
    }
}

QTEST_GUILESS_MAIN(tst_CatalogueBackups)
#include "tst_CatalogueBackups.moc"
