#include "mainwindow/CommandLine.h"

namespace commandline {

Request Parse(const QStringList &arguments)
{
    Request request;
    bool options = true;
    for (const QString &argument : arguments) {
        if (argument == u"--")
            break; // what follows is a file, even "-h"
        if (argument == u"-h" || argument == u"--help")
            return {Action::Help, QString(), QString()};
        if (argument == u"-v" || argument == u"--version")
            return {Action::Version, QString(), QString()};
    }
    for (const QString &argument : arguments) {
        if (options && argument == u"--") {
            options = false;
        } else if (options && argument.startsWith(u'-') && argument.size() > 1) {
            return {Action::Error, QString(), QStringLiteral("不明なオプションです: ") + argument};
        } else if (!request.File.isNull()) {
            return {Action::Error, QString(), QStringLiteral("開けるデータファイルは一つだけです: ") + argument};
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
        "\n"
        "Visual Basic 6 のプロジェクトをカテゴリーに分けて管理し、ソースを開く・実行する・\n"
        "実行ファイルを作成する（IDE を /make 付きで起動する）ことができます。\n"
        "データファイルを指定すると、起動時に開くデータファイルの代わりにそれを開きます。\n"
        "ZARUN がすでに起動しているときは、そのウィンドウで開きます。\n"
        "\n"
        "  -h, --help       この説明を表示して終了します\n"
        "  -v, --version    バージョンを表示して終了します\n"
        "\n"
        "設定は ZARUN.ini（プログラムのフォルダ、書き込めないときは ~/.config/ZARUN/）にあります。\n");
}

QString VersionText() { return QStringLiteral("zarun " ZARUN_VERSION_STRING "\n"); }

} // namespace commandline
