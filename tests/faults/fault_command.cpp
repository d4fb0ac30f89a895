// Runs catalogue commands on a file and prints what the user is told, so that a script or a test
// can run them where the disk is full or file sizes are limited, or several at once:
//   fault_command add <file.zrd> <projects> [<file>]   adds that many projects to the first category in
//                                                      one change; when that fails and a file is named,
//                                                      removes that file and adds them once more
//   fault_command delete <file.zrd>                     deletes project 1 of category 1
//   fault_command ctgdelete <file.zrd>                  deletes category 1
//   fault_command edit <file.zrd> <file.vbp>            gives project 1 of category 1 that file
//   fault_command shutdown <file.zrd>                   starts with ZARUN.ini beside the catalogue, changes a
//                                                      setting and closes
//   fault_command change <file.zrd> <command> [<arg>]  a change through the commands without a window:
//                                                      add, addmany, rename, ctgdelete, edit <file.vbp>,
//                                                      move, delete, or addeach <n> <tag> (n changes, one
//                                                      project each); prints the lists as "shown: ..." and
//                                                      ends at once, without any shut-down
// Prints "message: <text>" for each message box (line breaks as " / "), then "result: ok" or
// "result: failed". Exit code 0 when the command succeeded, 1 when it failed, 2 on wrong use.
#include "catalogue/CatalogueChanges.h"
#include "catalogue/cVbAnalyze.h"
#include "common/ScriptedUserInterface.h"
#include "dialogs/fEdit.h"
#include "mainwindow/CatalogueCommands.h"
#include "mainwindow/ui/ProjectListView.h"
#include "settings/Settings.h"
#include "mainwindow/ui/MainLists.h"
#include "mainwindow/ui/MainMenus.h"
#include "mainwindow/ui/fMain.h"
#include "platform/ProgramFolder.h"

#include <QApplication>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>

#include <cstdio>
#include <unistd.h>

using catalogue::State;

namespace {

void print(const QString &line)
{
    std::puts(line.toUtf8().constData());
    std::fflush(stdout);
}

void printMessages(ScriptedUserInterface &ui)
{
    for (const QString &text : ui.messages)
        print(QStringLiteral("message: ") + QString(text).replace(QStringLiteral("\r\n"), QStringLiteral(" / ")));
    ui.messages.clear();
}

QList<catalogue::NewProject> newProjects(int count, const QString &tag)
{
    QList<catalogue::NewProject> projects;
    for (int k = 0; k < count; ++k)
        projects.append({QStringLiteral("/new/%1/%2.vbp").arg(tag).arg(k), QStringLiteral("%1%2").arg(tag).arg(k), QString()});
    return projects;
}

bool addToFirst(const QList<catalogue::NewProject> &projects, ScriptedUserInterface &ui)
{
    const catalogue::ChangeResult result = catalogue::AddProjects(State().CategoryAt(1)->Category(), projects);
    if (!result.Message.isNull())
        ui.Message(result.Message);
    return result.Done;
}

// A change through the commands, as the window would make it, then an end without any shut-down.
[[noreturn]] void change(const QStringList &args, ScriptedUserInterface &ui)
{
    CatalogueCommands commands;
    State().CatalogueFilePath = args[2];
    commands.LoadCatalogue(false);
    commands.SelectCategory(1);
    commands.SelectProject(1);
    const QString command = args.value(3);
    bool ok = true;
    if (command == QLatin1String("add")) {
        ok = addToFirst(newProjects(1, QStringLiteral("追加")), ui);
    } else if (command == QLatin1String("addmany")) {
        ok = addToFirst(newProjects(5, QStringLiteral("追加")), ui);
    } else if (command == QLatin1String("addeach")) {
        for (int k = 0; k < args.value(4).toInt() && ok; ++k)
            ok = addToFirst({{QStringLiteral("/new/%1.vbp").arg(k), args.value(5) + QString::number(k), QString()}}, ui);
    } else if (command == QLatin1String("rename")) {
        ui.inputAnswers << QStringLiteral("改名");
        commands.RenameCategory();
    } else if (command == QLatin1String("ctgdelete")) {
        ui.confirmAnswers << true;
        commands.DeleteCategory();
    } else if (command == QLatin1String("delete")) {
        ui.confirmAnswers << true;
        commands.DeleteSelectedProject();
    } else if (command == QLatin1String("edit")) {
        const catalogue::cVbAnalyze *category = State().Current();
        ok = catalogue::EditProject(category->Category(), category->Shared(1).lock(), QStringLiteral("編集"), args.value(4))
                 .Done;
    } else if (command == QLatin1String("move")) {
        const catalogue::cVbAnalyze *category = State().Current();
        ok = catalogue::MoveProject(category->Category(), category->Shared(1).lock(), State().CategoryAt(2)->Category())
                 .Done;
    } else {
        ::_exit(2);
    }
    printMessages(ui);
    for (qint32 i = 1; i <= State().CategoryCount; ++i) {
        const catalogue::cVbAnalyze *category = State().CategoryAt(i);
        print(QStringLiteral("shown: [") + category->Category() + u']');
        for (qint32 j = 1; j <= category->Count(); ++j)
            print(QStringLiteral("shown: ") + category->ProjectName(j) + u'=' + category->ProjectFile(j));
    }
    print(ok && ui.messages.isEmpty() ? QStringLiteral("result: ok") : QStringLiteral("result: failed"));
    // As a crash or a power cut would end it: nothing runs after the command.
    ::_exit(ok ? 0 : 1);
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() < 3)
        return 2;
    const QString command = args[1];
    settings::Values().AutoMakeExe = false;
    ScriptedUserInterface ui;
    if (command == QLatin1String("change"))
        change(args, ui);
    fMain w;
    if (command == QLatin1String("shutdown")) {
        platform::SetProgramFolderForTesting(QFileInfo(args[2]).absolutePath());
        w.Form_Load();
    }
    State().CatalogueFilePath = args[2];
    w.Commands().LoadCatalogue();
    printMessages(ui);

    bool ok = false;
    if (command == QLatin1String("add") && args.size() >= 4) {
        const QList<catalogue::NewProject> projects = newProjects(args[3].toInt(), QStringLiteral("追加"));
        ok = addToFirst(projects, ui);
        printMessages(ui);
        if (!ok && args.size() >= 5) {
            // Room made by the user, then the same change once more.
            if (!QFile::remove(args[4]))
                return 2;
            print(QStringLiteral("removed: ") + args[4]);
            ok = addToFirst(projects, ui);
            printMessages(ui);
        }
    } else if (command == QLatin1String("delete")) {
        w.Commands().SelectProject(1);
        ui.confirmAnswers << true;
        const qint32 before = w.Lists().lvwProjectList()->RowCount();
        w.Commands().DeleteSelectedProject();
        ok = w.Lists().lvwProjectList()->RowCount() == before - 1 && ui.messages.isEmpty();
        printMessages(ui);
    } else if (command == QLatin1String("ctgdelete")) {
        ui.confirmAnswers << true;
        const qint32 before = State().CategoryCount;
        w.Commands().DeleteCategory();
        ok = State().CategoryCount == before - 1 && ui.messages.isEmpty();
        printMessages(ui);
    } else if (command == QLatin1String("edit") && args.size() >= 4) {
        w.Commands().SelectProject(1);
        fEdit dialog(&w);
        dialog.txtProjectFile->setText(args[3]);
        dialog.cmdOK_Click();
        ok = dialog.Edited();
        printMessages(ui);
    } else if (command == QLatin1String("shutdown")) {
        settings::Values().DoubleClickAction = 2;
        w.close();
        ok = ui.messages.isEmpty();
        printMessages(ui);
    } else {
        return 2;
    }
    print(ok ? QStringLiteral("result: ok") : QStringLiteral("result: failed"));
    return ok ? 0 : 1;
}
