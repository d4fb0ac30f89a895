#include "mainwindow/CommandLine.h"

namespace commandline {

namespace {

Request only(Action action)
{
    Request request;
    request.action = action;
    return request;
}

Request error(const QString &text)
{
    Request request;
    request.action = Action::Error;
    request.Error = text;
    return request;
}

// zarun status|build FILE.zrd [options]: options and the file in any order.
Request parseCommand(Action action, const QStringList &arguments)
{
    Request request;
    request.action = action;
    const QString word = action == Action::Status ? QStringLiteral("status") : QStringLiteral("build");
    bool options = true;
    bool needed = false;
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString &argument = arguments[i];
        // --name=value and --name value alike.
        QString name = argument;
        QString value;
        bool hasValue = false;
        if (options && argument.startsWith(u"--") && argument.contains(u'=')) {
            name = argument.left(argument.indexOf(u'='));
            value = argument.mid(argument.indexOf(u'=') + 1);
            hasValue = true;
        }
        const auto takeValue = [&]() -> bool {
            if (hasValue)
                return true;
            if (i + 1 >= arguments.size())
                return false;
            value = arguments[++i];
            return true;
        };
        const bool takesValue = name == u"--category" || (action == Action::Status && name == u"--format")
                                || (action == Action::Build && (name == u"--ide-command" || name == u"--junit"));
        if (!options || !argument.startsWith(u'-') || argument.size() == 1) {
            if (!request.File.isNull())
                return error(QStringLiteral("開けるデータファイルは一つだけです: ") + argument);
            request.File = argument;
        } else if (argument == u"--") {
            options = false;
        } else if (takesValue) {
            if (!takeValue())
                return error(QStringLiteral("オプションに値がありません: ") + name);
            if (name == u"--category") {
                if (value.trimmed().isEmpty())
                    return error(QStringLiteral("カテゴリー名が空です"));
                request.Categories.append(value);
            } else if (name == u"--format") {
                if (value == u"text")
                    request.format = Format::Text;
                else if (value == u"tsv")
                    request.format = Format::Tsv;
                else if (value == u"json")
                    request.format = Format::Json;
                else
                    return error(QStringLiteral("不明な形式です (text, tsv, json): ") + value);
            } else if (name == u"--ide-command") {
                if (value.trimmed().isEmpty())
                    return error(QStringLiteral("IDE のコマンドが空です"));
                request.IdeCommand = value;
            } else {
                if (value.isEmpty())
                    return error(QStringLiteral("レポートのファイル名が空です"));
                request.JUnit = value;
            }
        } else if (hasValue) {
            return error(QStringLiteral("このオプションは値を取りません: ") + name);
        } else if (action == Action::Status && argument == u"--check") {
            request.Check = true;
        } else if (action == Action::Build && argument == u"--all") {
            request.All = true;
        } else if (action == Action::Build && argument == u"--needed") {
            needed = true;
        } else if (action == Action::Build && argument == u"--keep-going") {
            request.KeepGoing = true;
        } else {
            return error(word + QStringLiteral(": 不明なオプションです: ") + argument);
        }
    }
    if (needed && request.All)
        return error(QStringLiteral("--needed と --all は同時に指定できません"));
    if (request.File.isNull())
        return error(word + QStringLiteral(": データファイルを指定してください"));
    return request;
}

} // namespace

bool IsHeadless(const QStringList &arguments)
{
    return !arguments.isEmpty() && (arguments.first() == u"status" || arguments.first() == u"build");
}

Request Parse(const QStringList &arguments)
{
    Request request;
    bool options = true;
    for (const QString &argument : arguments) {
        if (argument == u"--")
            break; // what follows is a file, even "-h"
        if (argument == u"-h" || argument == u"--help")
            return only(Action::Help);
        if (argument == u"-v" || argument == u"--version")
            return only(Action::Version);
    }
    // A command word first; a catalogue of that name is opened as ./status or after "--".
    if (IsHeadless(arguments))
        return parseCommand(arguments.first() == u"status" ? Action::Status : Action::Build, arguments);
    for (const QString &argument : arguments) {
        if (options && argument == u"--") {
            options = false;
        } else if (options && argument.startsWith(u'-') && argument.size() > 1) {
            return error(QStringLiteral("不明なオプションです: ") + argument);
        } else if (!request.File.isNull()) {
            return error(QStringLiteral("開けるデータファイルは一つだけです: ") + argument);
        } else {
            request.File = argument;
        }
    }
    return request;
}

QString HelpText()
{
    return QStringLiteral(
        "使い方: zarun [オプション] [データファイル.zrd]\n"
        "       zarun status データファイル.zrd [--category 名前]... [--format text|tsv|json] [--check]\n"
        "       zarun build データファイル.zrd [--category 名前]... [--needed | --all]\n"
        "                   [--ide-command コマンド] [--junit ファイル] [--keep-going]\n"
        "\n"
        "Visual Basic 6 のプロジェクトをカテゴリーに分けて管理し、ソースを開く・実行する・\n"
        "実行ファイルを作成する（IDE を /make 付きで起動する）ことができます。\n"
        "データファイルを指定すると、起動時に開くデータファイルの代わりにそれを開きます。\n"
        "ZARUN がすでに起動しているときは、そのウィンドウで開きます。\n"
        "\n"
        "コマンド（ウィンドウを開かず、ディスプレイも要りません）:\n"
        "  status   プロジェクトごとにカテゴリー、名前、.vbp、実行ファイル、状態を表示します\n"
        "           --check: 作成が必要か参照不足のプロジェクトがあれば終了コード 1\n"
        "  build    作成が必要なプロジェクト（--all: すべて）を参照の順に一つずつ作成します\n"
        "           --junit: JUnit 形式のレポートを書きます\n"
        "           --keep-going: 失敗しても残りを作成します\n"
        "  終了コード: 0 成功、1 作成の失敗・中止（status --check: 要作成）、2 使い方の誤り・読めないデータファイル\n"
        "\n"
        "  -h, --help       この説明を表示して終了します\n"
        "  -v, --version    バージョンを表示して終了します\n"
        "\n"
        "設定は ZARUN.ini（プログラムのフォルダ、書き込めないときは ~/.config/ZARUN/）にあります。\n");
}

QString VersionText() { return QStringLiteral("zarun " ZARUN_VERSION_STRING "\n"); }

} // namespace commandline
