#include "tooling/IdeCommand.h"

#include "platform/DesktopAssociation.h"
#include "platform/Wine.h"

#include <QRegularExpression>
#include <QUrl>

namespace idecommand {

namespace {

QString baseName(const QString &word) { return word.mid(word.lastIndexOf(u'/') + 1); }

bool isShell(const QString &word)
{
    static const QStringList shells = {QStringLiteral("sh"),   QStringLiteral("bash"), QStringLiteral("dash"),
                                       QStringLiteral("zsh"),  QStringLiteral("ksh"),  QStringLiteral("ksh93"),
                                       QStringLiteral("mksh"), QStringLiteral("ash"),  QStringLiteral("yash"),
                                       QStringLiteral("posh"), QStringLiteral("rbash"), QStringLiteral("fish")};
    return shells.contains(baseName(word));
}

// wine, wine64, wine-stable, wine64-development ...; not winepath, wineserver or winecfg.
bool isWine(const QString &word)
{
    static const QRegularExpression wine(QStringLiteral("^wine(64)?(-[a-z]+)?$"));
    return wine.match(baseName(word)).hasMatch() && baseName(word) != u"wine-preloader";
}

bool isStart(const QString &word)
{
    const QString lower = word.toLower();
    return lower == u"start" || lower == u"start.exe" || lower.endsWith(u"\\start.exe") || lower.endsWith(u"/start.exe");
}

struct Analysis {
    qsizetype program = -1;
    qsizetype wine = -1;
    bool wineStart = false;
    bool startTakesUnixPath = false;
    qsizetype shell = -1;
};

// The program a command runs, past env with its options and assignments (and, in a shell
// script, past leading assignments and exec), and whether that is Wine or a shell.
Analysis analyse(const QStringList &words, bool shellSyntax)
{
    Analysis a;
    qsizetype i = 0;
    const auto skipAssignments = [&] {
        while (i < words.size() && platform::IsEnvironmentAssignment(words[i]))
            ++i;
    };
    if (shellSyntax) {
        skipAssignments();
        if (i < words.size() && words[i] == u"exec")
            ++i;
    }
    if (i < words.size() && baseName(words[i]) == u"env") {
        ++i;
        while (i < words.size()) {
            const QString &w = words[i];
            if (w == u"--") {
                ++i;
                break;
            }
            if (w == u"-u" || w == u"--unset" || w == u"-C" || w == u"--chdir") {
                i += 2;
            } else if (w == u"-S" || w.startsWith(u"--split-string") || (w.startsWith(u"-S") && !w.startsWith(u"--"))) {
                return a; // env splits a string of its own: no telling what runs
            } else if (w.startsWith(u'-') || platform::IsEnvironmentAssignment(w)) {
                ++i;
            } else {
                break;
            }
        }
    }
    if (shellSyntax)
        skipAssignments();
    if (i >= words.size())
        return a;
    a.program = i;
    const QString name = baseName(words[i]);
    if (isWine(name)) {
        a.wine = i;
        if (i + 1 < words.size() && isStart(words[i + 1])) {
            a.wineStart = true;
            for (qsizetype j = i + 2; j < words.size(); ++j) {
                const QString option = words[j].toLower();
                if (option == u"/unix" || option == u"/progidopen")
                    a.startTakesUnixPath = true;
            }
        }
    } else if (isShell(name)) {
        a.shell = i;
    } else if (name == u"busybox" && i + 1 < words.size() && isShell(words[i + 1])) {
        a.shell = i + 1;
    }
    return a;
}

// The script of "sh [options] -c SCRIPT ...": the first operand when -c is among the options.
qsizetype shellScript(const QStringList &words, qsizetype shell)
{
    bool command = false;
    qsizetype j = shell + 1;
    while (j < words.size()) {
        const QString &w = words[j];
        if (w == u"--") {
            ++j;
            break;
        }
        if (w.size() < 2 || (w[0] != u'-' && w[0] != u'+'))
            break;
        if (w == u"-o" || w == u"+o" || w == u"-O" || w == u"+O") {
            j += 2;
            continue;
        }
        if (!w.startsWith(u"--") && w[0] == u'-' && w.contains(u'c'))
            command = true;
        ++j;
    }
    return command && j < words.size() ? j : -1;
}

// Where a shell's reading of a script stands: inside which quotes, after a backslash.
class ShellQuoting {
public:
    void Feed(QChar c)
    {
        if (escaped_) {
            escaped_ = false;
            return;
        }
        switch (state_) {
        case State::None:
            if (c == u'\\')
                escaped_ = true;
            else if (c == u'\'')
                state_ = State::Single;
            else if (c == u'"')
                state_ = State::Double;
            break;
        case State::Single:
            if (c == u'\'')
                state_ = State::None;
            break;
        case State::Double:
            if (c == u'\\')
                escaped_ = true;
            else if (c == u'"')
                state_ = State::None;
            break;
        }
    }

    // value written so that the shell reads it as exactly that text, and leaves the state as it was.
    QString Quote(const QString &value)
    {
        // A stray backslash just before would take the first character: give it one of its own.
        QString out = escaped_ ? QStringLiteral("\\") : QString();
        escaped_ = false;
        switch (state_) {
        case State::None:
            out += u'\'' + QString(value).replace(u'\'', QStringLiteral("'\\''")) + u'\'';
            break;
        case State::Single:
            out += QString(value).replace(u'\'', QStringLiteral("'\\''"));
            break;
        case State::Double:
            for (QChar c : value) {
                if (c == u'\\' || c == u'"' || c == u'$' || c == u'`')
                    out += u'\\';
                out += c;
            }
            break;
        }
        return out;
    }

private:
    enum class State { None, Single, Double };
    State state_ = State::None;
    bool escaped_ = false;
};

struct Expansion {
    QStringList arguments;
    qsizetype fileArgument = -1;   // the argument that holds the file
    qsizetype scriptArgument = -1; // the argument that is the shell script
};

bool takesWindowsPaths(const Command &c)
{
    if (c.wine >= 0)
        return !(c.wineStart && c.startTakesUnixPath);
    if (!c.scriptWine.isEmpty())
        return !(c.scriptWineStart && c.scriptStartTakesUnixPath);
    return false;
}

Expansion expand(const Command &c, const QString &file, const PathConverter &toWindows)
{
    Expansion e;
    const bool windows = !file.isNull() && takesWindowsPaths(c);
    QString windowsPath;
    const auto value = [&](QChar code) {
        if (windows) {
            // Asked once, and only when used: the conversion looks at the Wine prefix's drives.
            if (windowsPath.isNull())
                windowsPath = toWindows ? toWindows(file) : file;
            return windowsPath;
        }
        if (code == u'u' || code == u'U')
            return QString::fromUtf8(QUrl::fromLocalFile(file).toEncoded());
        return file;
    };
    bool fileGiven = file.isNull();
    for (qsizetype w = 0; w < c.words.size(); ++w) {
        const QString &word = c.words[w];
        const bool script = w == c.script;
        ShellQuoting quoting;
        QString out;
        bool hadCode = false;
        bool holdsFile = false;
        for (qsizetype i = 0; i < word.size(); ++i) {
            if (word[i] != u'%') {
                out += word[i];
                if (script)
                    quoting.Feed(word[i]);
                continue;
            }
            if (i + 1 < word.size() && word[i + 1] == u'%') {
                out += u'%';
                ++i;
                continue;
            }
            hadCode = true;
            if (i + 1 >= word.size())
                break;
            const QChar code = word[++i];
            if (!fileGiven && QStringView(u"fFuU").contains(code)) {
                out += script ? quoting.Quote(value(code)) : value(code);
                fileGiven = true;
                holdsFile = true;
            }
        }
        // A word of field codes alone that gave nothing is no argument.
        if (hadCode && out.isEmpty())
            continue;
        if (holdsFile)
            e.fileArgument = e.arguments.size();
        if (script)
            e.scriptArgument = e.arguments.size();
        e.arguments.append(out);
    }
    if (!fileGiven) {
        e.fileArgument = e.arguments.size();
        e.arguments.append(value(u'f'));
    }
    return e;
}

} // namespace

Command Parse(const QString &commandLine)
{
    Command c;
    const std::optional<QStringList> words = platform::SplitCommandLine(commandLine);
    if (!words) {
        c.malformed = !commandLine.trimmed().isEmpty();
        return c;
    }
    c.words = *words;
    c.valid = true;
    const Analysis a = analyse(c.words, false);
    // No shell reads the command: its NAME=value words get "~" and $HOME expanded as one would
    // (WINEPREFIX=~/.wine-vb6 would otherwise name a folder "~" in the current folder).
    for (qsizetype i = 0; i < a.program; ++i)
        if (platform::IsEnvironmentAssignment(c.words[i]))
            c.words[i] = platform::ExpandHomeInAssignment(c.words[i]);
    c.wine = a.wine;
    c.wineStart = a.wineStart;
    c.startTakesUnixPath = a.startTakesUnixPath;
    if (a.shell < 0)
        return c;
    c.script = shellScript(c.words, a.shell);
    if (c.script < 0)
        return c;
    const QString &script = c.words[c.script];
    // Inside `...`, $(...) or ${...} the shell's quoting starts afresh, which the quoting of the
    // path cannot follow: such a script is never given a path (it could become code).
    static const QRegularExpression substitution(QStringLiteral("`|\\$\\(|\\$\\{(?![@*])"));
    static const QRegularExpression fileCode(QStringLiteral("%[fFuU]"));
    if (substitution.match(script).hasMatch() && fileCode.match(script).hasMatch()) {
        c.valid = false;
        c.substitution = true;
        return c;
    }
    static const QRegularExpression passes(QStringLiteral("\\$\\{?[@*]"));
    c.scriptPassesArguments = passes.match(script).hasMatch();
    // A script that starts Wine plainly (no expansions before it) shows which Wine and prefix it uses.
    const QStringList inner = platform::SplitCommandLine(script).value_or(QStringList());
    const Analysis ia = analyse(inner, true);
    if (ia.wine < 0)
        return c;
    QStringList wine = inner.mid(0, ia.wine + 1);
    wine.removeAll(QStringLiteral("exec"));
    static const QRegularExpression expands(QStringLiteral("[$`~%]"));
    if (!wine.filter(expands).isEmpty())
        return c;
    // Assignments before the program are the shell's; env gives them without one.
    if (wine.size() > 1 && baseName(wine.first()) != u"env")
        wine.prepend(QStringLiteral("env"));
    c.scriptWine = wine;
    c.scriptWineStart = ia.wineStart;
    c.scriptStartTakesUnixPath = ia.startTakesUnixPath;
    return c;
}

QStringList WineWords(const Command &command)
{
    if (command.wine >= 0) {
        Command wine;
        wine.words = command.words.mid(0, command.wine + 1);
        return expand(wine, QString(), {}).arguments;
    }
    return command.scriptWine;
}

QStringList Environment(const Command &command)
{
    const Analysis a = analyse(command.words, false);
    QStringList assignments;
    for (qsizetype i = 0; i < a.program; ++i)
        if (platform::IsEnvironmentAssignment(command.words[i]))
            assignments.append(command.words[i]);
    if (assignments.isEmpty())
        assignments = command.scriptWine.filter(QRegularExpression(QStringLiteral("^[A-Za-z_][A-Za-z0-9_]*=")));
    return assignments;
}

QString WineProgram(const Command &command)
{
    if (command.wine < 0 || command.wineStart || command.wine + 1 >= command.words.size())
        return QString();
    const QString &word = command.words[command.wine + 1];
    return word.contains(u'%') ? QString() : word;
}

QStringList OpenArguments(const Command &command, const QString &file, const PathConverter &toWindows)
{
    if (!command.valid)
        return {};
    return expand(command, file, toWindows).arguments;
}

Refusal BuildRefusal(const Command &command)
{
    if (!command.valid)
        return command.malformed ? Refusal::Malformed
               : command.substitution ? Refusal::Substitution
                                      : Refusal::NoCommand;
    if (command.wineStart || command.scriptWineStart)
        return Refusal::WineStart;
    if (command.script < 0)
        return Refusal::None;
    // In a script, /make must reach the IDE as one of the script's own arguments ("$@"), after $0.
    const Expansion e = expand(command, QStringLiteral("/"), [](const QString &path) { return path; });
    if (e.fileArgument <= e.scriptArgument + 1 || !command.scriptPassesArguments)
        return Refusal::ShellScript;
    return Refusal::None;
}

Build BuildArguments(const Command &command, const QString &projectFile, const PathConverter &toWindows,
                     const QString &logFile)
{
    if (const Refusal refusal = BuildRefusal(command); refusal != Refusal::None)
        return {{}, refusal};
    Expansion e = expand(command, projectFile, toWindows);
    QStringList switches {QStringLiteral("/make")};
    if (!logFile.isEmpty()) {
        const bool windows = takesWindowsPaths(command);
        switches << QStringLiteral("/out") << (windows && toWindows ? toWindows(logFile) : logFile);
    }
    for (qsizetype i = 0; i < switches.size(); ++i)
        e.arguments.insert(e.fileArgument + 1 + i, switches[i]);
    return {e.arguments, Refusal::None};
}

QStringList WineRunArguments(const Command &command, const QString &program)
{
    QStringList wine = WineWords(command);
    if (wine.isEmpty())
        return {};
    wine.append(program);
    return wine;
}

} // namespace idecommand
