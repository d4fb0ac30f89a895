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

std::optional<QStringList> SplitCommandLine(const QString &commandLine)
{
    enum class Quote { None, Double, Single };
    QStringList words;
    QString word;
    bool inWord = false;
    Quote quote = Quote::None;
    for (qsizetype i = 0; i < commandLine.size(); ++i) {
        const QChar c = commandLine[i];
        if (quote == Quote::Single) {
            if (c == u'\'')
                quote = Quote::None;
            else
                word += c;
            continue;
        }
        if (quote == Quote::Double) {
            if (c == u'"') {
                quote = Quote::None;
            } else if (c == u'\\' && i + 1 < commandLine.size()
                       && QStringView(u"\"`$\\\n").contains(commandLine[i + 1])) {
                // A backslash before a newline joins the lines.
                if (commandLine[++i] != u'\n')
                    word += commandLine[i];
            } else {
                word += c;
            }
            continue;
        }
        if (c == u' ' || c == u'\t' || c == u'\n') {
            if (inWord)
                words.append(word);
            word.clear();
            inWord = false;
            continue;
        }
        // A backslash before a newline joins the lines.
        if (c == u'\\' && i + 1 < commandLine.size() && commandLine[i + 1] == u'\n') {
            ++i;
            continue;
        }
        inWord = true;
        if (c == u'"') {
            quote = Quote::Double;
        } else if (c == u'\'') {
            quote = Quote::Single;
        } else if (c == u'\\' && i + 1 < commandLine.size()) {
            word += commandLine[++i];
        } else {
            word += c;
        }
    }
    if (quote != Quote::None)
        return std::nullopt;
    if (inWord)
        words.append(word);
    if (words.isEmpty())
        return std::nullopt;
    return words;
}

#ifndef Q_OS_WIN

namespace {

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

    // The launcher's own rules apply when the command is used; a line it cannot split is no command.
    if (!SplitCommandLine(execLine))
        return {};
    return execLine;
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
    // A path with blanks stays one word of the command.
    return JoinCommandLine({QString::fromWCharArray(result).replace(u'%', QStringLiteral("%%"))});
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
