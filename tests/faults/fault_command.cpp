// Runs one catalogue command of the main window on a file and prints what the user is told,
// so that a script can run it where the disk is full or file sizes are limited:
//   fault_command save <file.zrd> <projects> [<file>]  adds that many projects to every category and
//                                                      saves; when the save fails and a file is named,
//                                                      removes that file and saves once more
//   fault_command delete <file.zrd>                     deletes project 1 of category 1
//   fault_command ctgdelete <file.zrd>                  deletes category 1
//   fault_command edit <file.zrd> <file.vbp>            gives project 1 of category 1 that file
//   fault_command shutdown <file.zrd> <projects>        starts with ZARUN.ini beside the catalogue, adds
//                                                      that many projects to every category and closes
// Prints "message: <text>" for each message box, then "result: ok" or "result: failed".
// Exit code 0 when the command succeeded, 1 when it failed, 2 on wrong use.
#include "catalogue/cVbAnalyze.h"
#include "common/ScriptedUserInterface.h"
#include "dialogs/fEdit.h"
#include "mainwindow/ProjectListView.h"
#include "mainwindow/Settings.h"
#include "mainwindow/fMain.h"
#include "platform/ProgramFolder.h"

#include <QApplication>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>

#include <cstdio>

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
        print(QStringLiteral("message: ") + text);
    ui.messages.clear();
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
    fMain w;
    if (command == QLatin1String("shutdown")) {
        platform::SetProgramFolderForTesting(QFileInfo(args[2]).absolutePath());
        w.Form_Load();
    }
    State().CatalogueFilePath = args[2];
    w.LoadCatalogue();
    printMessages(ui);

    bool ok = false;
    if (command == QLatin1String("save") && args.size() >= 4) {
        const int projects = args[3].toInt();
        for (qint32 i = 1; i <= State().CategoryCount; ++i) {
            for (int k = 0; k < projects; ++k) {
                QString name = QStringLiteral("追加%1").arg(k);
                State().CategoryAt(i)->AddProject(QStringLiteral("/new/%1/%2.vbp").arg(i).arg(k), name);
            }
        }
        ok = w.SaveCatalogue();
        printMessages(ui);
        if (!ok && args.size() >= 5) {
            // Room made by the user, then the same catalogue saved again.
            if (!QFile::remove(args[4]))
                return 2;
            print(QStringLiteral("removed: ") + args[4]);
            ok = w.SaveCatalogue();
            printMessages(ui);
        }
    } else if (command == QLatin1String("delete")) {
        w.ClickProjectRow(1);
        ui.confirmAnswers << true;
        const qint32 before = w.lvwProjectList->RowCount();
        w.DeleteSelectedProject();
        ok = w.lvwProjectList->RowCount() == before - 1 && ui.messages.isEmpty();
        printMessages(ui);
    } else if (command == QLatin1String("ctgdelete")) {
        ui.confirmAnswers << true;
        const qint32 before = State().CategoryCount;
        w.DeleteCategory();
        ok = State().CategoryCount == before - 1 && ui.messages.isEmpty();
        printMessages(ui);
    } else if (command == QLatin1String("edit") && args.size() >= 4) {
        w.ClickProjectRow(1);
        fEdit dialog(&w);
        dialog.txtProjectFile->setText(args[3]);
        dialog.cmdOK_Click();
        ok = dialog.Edited();
        printMessages(ui);
    } else if (command == QLatin1String("shutdown") && args.size() >= 4) {
        settings::Values().DoubleClickAction = 2;
        for (qint32 i = 1; i <= State().CategoryCount; ++i) {
            for (int k = 0; k < args[3].toInt(); ++k) {
                QString name = QStringLiteral("追加%1").arg(k);
                State().CategoryAt(i)->AddProject(QStringLiteral("/new/%1/%2.vbp").arg(i).arg(k), name);
            }
        }
        w.close();
        ok = ui.messages.isEmpty();
        printMessages(ui);
    } else {
        return 2;
    }
    print(ok ? QStringLiteral("result: ok") : QStringLiteral("result: failed"));
    return ok ? 0 : 1;
}
