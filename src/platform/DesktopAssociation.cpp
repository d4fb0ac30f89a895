#include "platform/DesktopAssociation.h"

#include <QDir>
#include <algorithm>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QUrl>

#ifdef Q_OS_WIN
#include <qt_windows.h>
#include <shellapi.h>
#else
#include <gio/gio.h>
#endif

namespace platform {

namespace {

// Characters that make a word need quotes in an Exec line.
bool isReserved(QChar c)
{
    static const QString reserved = QStringLiteral(" \t\n\"'\\><~|&;$*?#()`");
    return reserved.contains(c) || c.category() == QChar::Other_Control;
}

// "mailto:", "https:" ...: a scheme of two characters or more, so "C:\x" stays a path.
bool looksLikeAddress(const QString &target)
{
    static const QRegularExpression scheme(QStringLiteral("^[A-Za-z][A-Za-z0-9+.-]+:"));
    return scheme.match(target).hasMatch();
}

// The first bytes of a file tell its type better than the name alone.
constexpr qint64 kSniffBytes = 4096;

// The default for a type may be the handler of a parent type: a text editor for a .vbp,
// which is text/plain underneath. Such a program declares the parent type but not the type
// itself; a program the user made the default without any declaration is taken as chosen.
bool registeredForExactType(GAppInfo *app, const char *type)
{
    const char **supported = g_app_info_get_supported_types(app);
    bool parentOnly = false;
    for (const char **t = supported; t && *t; ++t) {
        if (g_content_type_equals(*t, type))
            return true;
        if (g_content_type_is_a(type, *t))
            parentOnly = true;
    }
    return !parentOnly;
}

QByteArray leadingBytes(const QString &filePath)
{
    QFileInfo info(filePath);
    if (!info.isFile())
        return {};
    QFile file(filePath);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.read(kSniffBytes);
}

} // namespace

QString JoinCommandLine(const QStringList &words)
{
    QStringList quoted;
    quoted.reserve(words.size());
    for (const QString &word : words) {
        if (!word.isEmpty() && std::none_of(word.begin(), word.end(), isReserved)) {
            quoted.append(word);
            continue;
        }
        QString q = QStringLiteral("\"");
        for (QChar c : word) {
            if (c == u'"' || c == u'`' || c == u'$' || c == u'\\')
                q += u'\\';
            q += c;
        }
        q += u'"';
        quoted.append(q);
    }
    return quoted.join(u' ');
}

QStringList RemoveFieldCodes(const QStringList &words)
{
    QStringList result;
    for (const QString &word : words) {
        QString plain;
        bool fieldCode = false;
        for (qsizetype i = 0; i < word.size(); ++i) {
            if (word[i] != u'%') {
                plain += word[i];
            } else if (i + 1 < word.size() && word[i + 1] == u'%') {
                plain += u'%';
                ++i;
            } else {
                fieldCode = true;
                break;
            }
        }
        if (!fieldCode)
            result.append(plain);
    }
    return result;
}

#ifndef Q_OS_WIN

std::optional<QStringList> SplitCommandLine(const QString &commandLine)
{
    const QByteArray utf8 = commandLine.toUtf8();
    gint argc = 0;
    gchar **argv = nullptr;
    if (!g_shell_parse_argv(utf8.constData(), &argc, &argv, nullptr))
        return std::nullopt;
    QStringList words;
    for (gint i = 0; i < argc; ++i)
        words.append(QString::fromUtf8(argv[i]));
    g_strfreev(argv);
    return words;
}

QString DefaultApplicationCommand(const QString &filePath)
{
    if (filePath.isEmpty())
        return {};
    const QByteArray name = QFile::encodeName(filePath);
    const QByteArray data = leadingBytes(filePath);
    gboolean uncertain = FALSE;
    gchar *type = g_content_type_guess(name.constData(), reinterpret_cast<const guchar *>(data.constData()),
                                       gsize(data.size()), &uncertain);
    GAppInfo *app = type ? g_app_info_get_default_for_type(type, FALSE) : nullptr;
    // A parent type's handler is not associated with this type; taken for the IDE it
    // would be started with "/make".
    if (app && !registeredForExactType(app, type)) {
        g_object_unref(app);
        app = nullptr;
    }
    g_free(type);
    if (!app)
        return {};
    const char *exec = g_app_info_get_commandline(app);
    const QString execLine = exec ? QString::fromUtf8(exec) : QString();
    g_object_unref(app);

    const std::optional<QStringList> split = SplitCommandLine(execLine);
    if (!split)
        return {};
    QStringList words = RemoveFieldCodes(*split);
    if (words.isEmpty() || words.first().isEmpty())
        return {};
    // A bare program name is given with its full path, as the shell would report it.
    if (!QDir::isAbsolutePath(words.first())) {
        gchar *found = g_find_program_in_path(QFile::encodeName(words.first()).constData());
        if (found) {
            words.first() = QFile::decodeName(found);
            g_free(found);
        }
    }
    return JoinCommandLine(words);
}

bool OpenWithDefaultHandler(const QString &target)
{
    if (target.isEmpty())
        return false;
    QByteArray uri;
    const QFileInfo local(target);
    if (local.exists()) {
        uri = QUrl::fromLocalFile(local.absoluteFilePath()).toEncoded();
    } else if (looksLikeAddress(target)) {
        uri = target.toUtf8();
    } else {
        return false;
    }
    GError *error = nullptr;
    const gboolean ok = g_app_info_launch_default_for_uri(uri.constData(), nullptr, &error);
    if (error)
        g_error_free(error);
    return ok;
}

#else

std::optional<QStringList> SplitCommandLine(const QString &commandLine)
{
    // Windows reports the associated program as a bare path, blanks and all.
    if (commandLine.trimmed().isEmpty())
        return std::nullopt;
    return QStringList {commandLine};
}

QString DefaultApplicationCommand(const QString &filePath)
{
    if (filePath.isEmpty())
        return {};
    const QFileInfo info(filePath);
    wchar_t result[MAX_PATH + 1] = {};
    const std::wstring file = QDir::toNativeSeparators(info.fileName()).toStdWString();
    const std::wstring folder = QDir::toNativeSeparators(info.absolutePath()).toStdWString();
    if (reinterpret_cast<INT_PTR>(FindExecutableW(file.c_str(), folder.c_str(), result)) <= 32)
        return {};
    return QString::fromWCharArray(result);
}

bool OpenWithDefaultHandler(const QString &target)
{
    if (target.isEmpty())
        return false;
    const std::wstring what = target.toStdWString();
    const std::wstring folder = QDir::toNativeSeparators(QDir::currentPath()).toStdWString();
    const auto result = reinterpret_cast<INT_PTR>(
        ShellExecuteW(nullptr, L"open", what.c_str(), nullptr, folder.c_str(), SW_SHOWNORMAL));
    return result > 32;
}

#endif

} // namespace platform
