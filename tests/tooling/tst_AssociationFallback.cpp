// A desktop where .vbp files have no program of their own, only text files do: the
// text editor must not be taken for the IDE just because a .vbp is text underneath.
#include "tooling/mFunction.h"
#include "tooling/mMain.h"

#include "common/FileBytes.h"

#include <QCoreApplication>
#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

namespace {

// Before any GIO call: the environment is read once.
bool MakeDesktop(QTemporaryDir &desk)
{
    const QString data = desk.filePath(QStringLiteral("data"));
    const QString config = desk.filePath(QStringLiteral("config"));
    QDir().mkpath(data + QStringLiteral("/applications"));
    QDir().mkpath(data + QStringLiteral("/mime/packages"));
    QDir().mkpath(config);
    QDir().mkpath(desk.filePath(QStringLiteral("empty")));
    if (!QFile::copy(QStringLiteral(ZARUN_MIME_XML), data + QStringLiteral("/mime/packages/zarun-mime.xml")))
        return false;
    // The system's MIME database stays out; plain text needs a glob of its own then.
    if (!put(data + QStringLiteral("/mime/packages/text.xml"),
             "<?xml version=\"1.0\"?>\n<mime-info xmlns=\"http://www.freedesktop.org/standards/shared-mime-info\">\n"
             "<mime-type type=\"text/plain\"><glob pattern=\"*.txt\"/></mime-type>\n</mime-info>\n"))
        return false;
    if (QProcess::execute(QStringLiteral("update-mime-database"), {data + QStringLiteral("/mime")}) != 0)
        return false;
    const bool written =
        put(data + QStringLiteral("/applications/editor.desktop"),
            "[Desktop Entry]\nType=Application\nName=Editor\nNoDisplay=true\nMimeType=text/plain;\nExec=/bin/true %f\n")
        && put(config + QStringLiteral("/mimeapps.list"), "[Default Applications]\ntext/plain=editor.desktop\n");
    qputenv("XDG_DATA_HOME", QFile::encodeName(data));
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(config));
    qputenv("XDG_DATA_DIRS", QFile::encodeName(desk.filePath(QStringLiteral("empty"))));
    qputenv("XDG_CONFIG_DIRS", QFile::encodeName(desk.filePath(QStringLiteral("empty"))));
    qputenv("XDG_CACHE_HOME", QFile::encodeName(desk.filePath(QStringLiteral("cache"))));
    qputenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent");
    return written;
}

} // namespace

class tst_AssociationFallback : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void parentTypeHandlerIsNotTheIde();
};

void tst_AssociationFallback::parentTypeHandlerIsNotTheIde()
{
    QTemporaryDir files;
    QVERIFY(put(files.filePath(QStringLiteral("App.vbp")), "Type=Exe\r\n"));
    QVERIFY(put(files.filePath(QStringLiteral("notes.txt")), "text\n"));
    // The text file does have its program: the desktop set-up works.
    QVERIFY(mFunction::FindAssociatedExe(files.path(), QStringLiteral("notes.txt")).contains(QStringLiteral("/bin/true")));
    QCOMPARE(mFunction::FindAssociatedExe(files.path(), QStringLiteral("App.vbp")), QString());
}

int main(int argc, char **argv)
{
    QTemporaryDir desk;
    if (!MakeDesktop(desk)) {
        qWarning("cannot set up the private desktop");
        return 1;
    }
    QCoreApplication app(argc, argv);
    tst_AssociationFallback test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_AssociationFallback.moc"
