// Watching the listed projects' folders when the system's watches run out.
#include "catalogue/FolderWatch.h"
#include "common/FileBytes.h"
#include "common/TestFolders.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

namespace {

int g_messages = 0;

void countMessage(QtMsgType, const QMessageLogContext &, const QString &)
{
    ++g_messages;
}

} // namespace

class tst_FolderWatch : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() { UseTestFolders(); }
    void pastTheLimitToldOncePolledSilently();
};

void tst_FolderWatch::pastTheLimitToldOncePolledSilently()
{
    QTemporaryDir root;
    QVERIFY(root.isValid());
    QStringList folders;
    for (int i = 0; i < 4; ++i) {
        folders.append(root.filePath(QString::number(i)));
        QVERIFY(QDir().mkdir(folders.last()));
        // Untouched for long: only what the test does counts as a change.
        QVERIFY(setModified(folders.last(), 1000000000));
    }
    catalogue::FolderWatch watch(/*settleMs*/ 50, /*pollMs*/ 50, /*systemWatches*/ 2);
    QSignalSpy limit(&watch, &catalogue::FolderWatch::LimitReached);
    QSignalSpy changed(&watch, &catalogue::FolderWatch::Changed);

    g_messages = 0;
    const QtMessageHandler previous = qInstallMessageHandler(countMessage);
    watch.Watch(folders.mid(0, 3));
    watch.Watch(folders);
    qInstallMessageHandler(previous);
    QCOMPARE(g_messages, 0);
    QCOMPARE(limit.count(), 1);
    QCOMPARE(watch.Watched().size(), 2);
    QStringList polled = watch.Polled();
    polled.sort();
    QCOMPARE(polled, folders.mid(2));

    // A polled folder has no watch: only a look at it sees the new file, then the next.
    QVERIFY(put(folders[3] + "/App.exe", "MZ"));
    QTRY_COMPARE(changed.count(), 1);
    QVERIFY(put(folders[3] + "/App2.exe", "MZ"));
    QTRY_COMPARE(changed.count(), 2);
    QCOMPARE(limit.count(), 1);
}

QTEST_GUILESS_MAIN(tst_FolderWatch)
#include "tst_FolderWatch.moc"
