// Whether the program keeps its files beside its executable: only in a folder that is the user's own.
#include "common/TestFolders.h"
#include "platform/ProgramFolder.h"

#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <unistd.h>

class tst_ProgramFolder : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void cleanup() { platform::SetSystemTreesForTesting({}); }
    void ownFolder_data();
    void ownFolder();

private:
    QTemporaryDir home_;
};

void tst_ProgramFolder::initTestCase()
{
    QVERIFY(home_.isValid());
    // The per-user folders of the test mode go with the test.
    qputenv("HOME", QFile::encodeName(home_.path()));
    UseTestFolders();
}

void tst_ProgramFolder::ownFolder_data()
{
    QTest::addColumn<QString>("layout"); // how the executable's folder is made
    QTest::addColumn<bool>("own");
    const bool root = ::geteuid() == 0;
    QTest::newRow("a copy the user put in a folder of their own") << "own" << true;
    QTest::newRow("read-only") << "read-only" << false;
    QTest::newRow("missing") << "missing" << false;
    QTest::newRow("another user's") << "another user's" << false;
    // Installed by the package: /usr/lib/zarun, root's, while root runs it.
    QTest::newRow("in a system tree") << "system tree" << !root;
    QTest::newRow("reached through a link into a system tree") << "link to system tree" << !root;
}

void tst_ProgramFolder::ownFolder()
{
    QFETCH(QString, layout);
    QFETCH(bool, own);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QString folder = dir.filePath("zarun");
    platform::SetSystemTreesForTesting({dir.filePath("usr")});
    if (layout == "system tree" || layout == "link to system tree") {
        const QString installed = dir.filePath("usr/lib/zarun");
        QVERIFY(QDir().mkpath(installed));
        if (layout == "system tree")
            folder = installed;
        else
            QVERIFY(QFile::link(installed, folder));
    } else if (layout != "missing") {
        QVERIFY(QDir().mkpath(folder));
    }
    if (layout == "read-only")
        QVERIFY(QFile::setPermissions(folder, QFileDevice::ReadOwner | QFileDevice::ExeOwner));
    if (layout == "another user's" && ::chown(QFile::encodeName(folder).constData(), 65534, 65534) != 0)
        QSKIP("changing a folder's owner needs root");

    QCOMPARE(platform::IsOwnProgramFolder(folder), own);
    const QStringList before = QDir(folder).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden);
    const QString chosen = platform::ProgramFolderFor(folder);
    if (own) {
        QCOMPARE(chosen, folder);
    } else {
        // The user's config folder, made when missing; the program's folder untouched.
        QCOMPARE(chosen, QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation));
        QVERIFY(chosen.startsWith(home_.path()));
        QVERIFY(QFileInfo(chosen).isDir());
        QCOMPARE(QDir(folder).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden), before);
    }
    QFile::setPermissions(folder, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
}

QTEST_GUILESS_MAIN(tst_ProgramFolder)
#include "tst_ProgramFolder.moc"
