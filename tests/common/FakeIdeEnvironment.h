#pragma once

// A private desktop for tests: XDG folders inside a temporary folder, where the
// stand-in IDE (zarun_fake_ide) is the default application for .vbp files and
// the same program, as a stand-in opener, takes folders, text files, catalogues
// and web and mail addresses. Nothing reaches the real home folder.
//
// GIO reads the XDG variables once, so the environment must be set up before
// the first GIO call of the process: use ZARUN_FAKE_IDE_TEST_MAIN.
//
// Needs the compile definitions ZARUN_FAKE_IDE (path of zarun_fake_ide) and
// ZARUN_MIME_XML (packaging/zarun-mime.xml): CMake's zarun_use_fake_ide(target).

#include "tooling/IdeBuild.h"

#include <QDir>
#include <QFile>
#include <QList>
#include <QProcess>
#include <QStandardPaths>
#include <QStringList>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>

class FakeIdeEnvironment {
public:
    static QString IdeProgram() { return QStringLiteral(ZARUN_FAKE_IDE); }
    static QString MimeDefinitions() { return QStringLiteral(ZARUN_MIME_XML); }

    // Creates the folders, desktop entries and MIME database and points the
    // XDG variables at them. False with a reason when something failed.
    bool Setup(QString *error)
    {
        if (!root_.isValid())
            return fail(error, QStringLiteral("no temporary folder"));
        const QString data = path(QStringLiteral("data"));
        const QString config = path(QStringLiteral("config"));
        for (const QString &folder : {data + QStringLiteral("/applications"), data + QStringLiteral("/mime/packages"),
                                      config, path(QStringLiteral("system-data")),
                                      path(QStringLiteral("system-config")), path(QStringLiteral("cache")),
                                      CallFolder()}) {
            if (!QDir().mkpath(folder))
                return fail(error, QStringLiteral("cannot create ") + folder);
        }
        if (!QFile::copy(MimeDefinitions(), data + QStringLiteral("/mime/packages/zarun-mime.xml")))
            return fail(error, QStringLiteral("cannot copy ") + MimeDefinitions());
        QProcess update;
        update.start(QStringLiteral("update-mime-database"), {data + QStringLiteral("/mime")});
        if (!update.waitForFinished(60000) || update.exitStatus() != QProcess::NormalExit || update.exitCode() != 0)
            return fail(error, QStringLiteral("update-mime-database failed: ") + update.errorString());

        const QByteArray exec = execQuoted(IdeProgram());
        QByteArray ide = "[Desktop Entry]\nType=Application\nName=Fake IDE\nNoDisplay=true\n"
                         "MimeType=text/x-vbproject;\nExec=";
        ide += exec + QByteArray(" %f\n");
        QByteArray opener = "[Desktop Entry]\nType=Application\nName=Fake opener\nNoDisplay=true\n"
                            "MimeType=inode/directory;text/plain;application/x-zarun-catalogue;"
                            "x-scheme-handler/http;x-scheme-handler/https;x-scheme-handler/mailto;\nExec=";
        opener += exec + QByteArray(" --open %u\n");
        const QByteArray defaults = "[Default Applications]\n"
                                    "text/x-vbproject=zarun-fake-ide.desktop\n"
                                    "inode/directory=zarun-fake-opener.desktop\n"
                                    "text/plain=zarun-fake-opener.desktop\n"
                                    "application/x-zarun-catalogue=zarun-fake-opener.desktop\n"
                                    "x-scheme-handler/http=zarun-fake-opener.desktop\n"
                                    "x-scheme-handler/https=zarun-fake-opener.desktop\n"
                                    "x-scheme-handler/mailto=zarun-fake-opener.desktop\n";
        if (!write(data + QStringLiteral("/applications/zarun-fake-ide.desktop"), ide)
            || !write(data + QStringLiteral("/applications/zarun-fake-opener.desktop"), opener)
            || !write(config + QStringLiteral("/mimeapps.list"), defaults))
            return fail(error, QStringLiteral("cannot write the desktop entries"));

        qputenv("XDG_DATA_HOME", QFile::encodeName(data));
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(config));
        // The system's own applications and defaults stay out of the tests.
        qputenv("XDG_DATA_DIRS", QFile::encodeName(path(QStringLiteral("system-data"))));
        qputenv("XDG_CONFIG_DIRS", QFile::encodeName(path(QStringLiteral("system-config"))));
        qputenv("XDG_CACHE_HOME", QFile::encodeName(path(QStringLiteral("cache"))));
        qunsetenv("XDG_CURRENT_DESKTOP");
        qputenv("GIO_USE_VFS", "local");
        // No session bus: GIO must not try to start one.
        qputenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=" + QFile::encodeName(path(QStringLiteral("no-bus"))));
        qputenv("ZARUN_FAKE_IDE_LOG", QFile::encodeName(CallFolder()));
        return true;
    }

    QString Root() const { return root_.path(); }
    QString CallFolder() const { return path(QStringLiteral("calls")); }

    // The calls of the stand-in so far, oldest first: the working folder, then the arguments.
    QList<QStringList> Calls() const
    {
        QDir folder(CallFolder());
        QList<QStringList> calls;
        const QStringList files = folder.entryList({QStringLiteral("*.args")}, QDir::Files, QDir::Time | QDir::Reversed);
        for (const QString &name : files) {
            QFile file(folder.filePath(name));
            if (!file.open(QIODevice::ReadOnly))
                continue;
            QStringList entries;
            const QList<QByteArray> parts = file.readAll().split('\0');
            for (qsizetype i = 0; i + 1 < parts.size(); ++i)
                entries.append(QString::fromUtf8(parts[i]));
            calls.append(entries);
        }
        return calls;
    }

    void ClearCalls() const
    {
        QDir folder(CallFolder());
        for (const QString &name : folder.entryList(QDir::Files))
            folder.remove(name);
    }

private:
    QString path(const QString &name) const { return root_.filePath(name); }

    static bool fail(QString *error, const QString &reason)
    {
        if (error)
            *error = reason;
        return false;
    }

    static bool write(const QString &file, const QByteArray &text)
    {
        QFile f(file);
        return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(text) == text.size();
    }

    // Exec quoting, then the desktop file's own escape of backslashes.
    static QByteArray execQuoted(const QString &program)
    {
        QString quoted = QStringLiteral("\"");
        for (QChar c : program) {
            if (c == u'"' || c == u'`' || c == u'$' || c == u'\\')
                quoted += u'\\';
            if (c == u'%')
                quoted += u'%';
            quoted += c;
        }
        quoted += u'"';
        return quoted.replace(u'\\', QStringLiteral("\\\\")).toUtf8();
    }

    QTemporaryDir root_;
};

// main() for a test that needs the private desktop: it is set up before the
// test object exists and before anything asks GIO.
#define ZARUN_FAKE_IDE_TEST_MAIN(AppClass, TestClass)                                                  \
    int main(int argc, char *argv[])                                                                    \
    {                                                                                                   \
        AppClass app(argc, argv);                                                                       \
        QStandardPaths::setTestModeEnabled(true);                                                       \
        FakeIdeEnvironment environment;                                                                 \
        QString error;                                                                                  \
        if (!environment.Setup(&error)) {                                                               \
            qCritical("fake IDE environment: %s", qPrintable(error));                                   \
            return 1;                                                                                   \
        }                                                                                               \
        tooling::SetBuildLogFolderForTesting(environment.Root() + QStringLiteral("/cache/builds"));      \
        TestClass test(environment);                                                                    \
        return QTest::qExec(&test, argc, argv);                                                         \
    }
