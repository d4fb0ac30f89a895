#include "mainwindow/ui/MainMenus.h"

#include "catalogue/CatalogueFile.h"
#include "catalogue/ProjectReader.h"
#include "catalogue/cVbAnalyze.h"
#include "dialogs/ReferenceList.h"
#include "dialogs/fEdit.h"
#include "dialogs/fMove.h"
#include "dialogs/fOption.h"
#include "mainwindow/ui/BuildCommands.h"
#include "settings/Settings.h"
#include "platform/FileSystem.h"
#include "platform/ProgramFolder.h"
#include "support/ui/cCommonDlg.h"
#include "support/ui/fAbout.h"
#include "tooling/ProjectActions.h"
#include "tooling/mFunction.h"

#include <QDir>
#include <QMainWindow>
#include <QMenuBar>

using catalogue::State;

namespace {

const char *const kCatalogueFilter = "ZARUN ﾃﾞｰﾀﾌｧｲﾙ (*.zrd)|*.zrd";
constexpr quint32 kCatalogueDialogFlags = 2623492;
constexpr quint32 kAddProjectDialogFlags = 2624004;

bool ProjectSelected()
{
    const catalogue::cVbAnalyze *category = State().Current();
    return category && State().CurrentProject >= 1 && State().CurrentProject <= category->Count();
}

} // namespace

MainMenus::MainMenus(QMainWindow *window, CatalogueCommands &commands)
    : QObject(window), window_(window), commands_(commands)
{
    build();
    wire();
}

void MainMenus::build()
{
    auto add = [](QMenu *menu, const QString &text) { return menu->addAction(text); };
    QMenuBar *bar = window_->menuBar();

    mnuData = bar->addMenu(QStringLiteral("ﾃﾞｰﾀ(&D)"));
    mnuDataNew = add(mnuData, QStringLiteral("新規作成(&N)"));
    mnuDataOpen = add(mnuData, QStringLiteral("開く(&O)"));
    mnuData->addSeparator();
    mnuDataSave = add(mnuData, QStringLiteral("上書き保存(&S)"));
    mnuDataSaveName = add(mnuData, QStringLiteral("名前を付けて保存(&A)"));
    mnuData->addSeparator();
    mnuQuit = add(mnuData, QStringLiteral("終了(&X)"));
    // The keys users know from other programs, beside the access keys.
    mnuDataNew->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_N));
    mnuDataOpen->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_O));
    mnuDataSave->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_S));

    mnuCategory = bar->addMenu(QStringLiteral("ｶﾃｺﾞﾘｰ(&C)"));
    mnuCtgAdd = add(mnuCategory, QStringLiteral("追加"));
    mnuCtgEdit = add(mnuCategory, QStringLiteral("編集"));
    mnuCtgDel = add(mnuCategory, QStringLiteral("削除"));

    mnuProject = bar->addMenu(QStringLiteral("ﾌﾟﾛｼﾞｪｸﾄ(&P)"));
    mnuProjectAdd = add(mnuProject, QStringLiteral("追加"));
    mnuProjectEdit = add(mnuProject, QStringLiteral("編集"));
    mnuProjectDel = add(mnuProject, QStringLiteral("削除"));
    mnuProjectMove = add(mnuProject, QStringLiteral("移動"));
    mnuProject->addSeparator();
    mnuProjectOpen = add(mnuProject, QStringLiteral("ソースを開く"));
    mnuProjectFolder = add(mnuProject, QStringLiteral("フォルダを開く"));
    mnuProjectExe = add(mnuProject, QStringLiteral("実行ファイルを開く"));
    mnuProject->addSeparator();
    mnuProjectMakeExe = add(mnuProject, QStringLiteral("実行ファイル作成"));
    builds_ = new BuildCommands(window_, mnuCategory, mnuProject, mnuProjectMakeExe);
    mnuProjectReferences = add(mnuProject, QStringLiteral("参照の一覧"));
    mnuProjectReferences->setToolTip(QStringLiteral("参照とコントロールを、Wineでの登録の状態とともに一覧にします。"));

    mnuOption = bar->addAction(QStringLiteral("設定(&O)"));

    mnuHelp = bar->addMenu(QStringLiteral("ﾍﾙﾌﾟ(&H)"));
    mnuReadMe = add(mnuHelp, QStringLiteral("ReadMe.txtを読む"));
    mnuVersion = add(mnuHelp, QStringLiteral("ﾊﾞｰｼﾞｮﾝ情報"));
}

void MainMenus::wire()
{
    connect(mnuDataNew, &QAction::triggered, this, [this] { commands_.NewCatalogue(); });
    connect(mnuDataOpen, &QAction::triggered, this, [this] { OpenCatalogue(); });
    connect(mnuDataSave, &QAction::triggered, this, [this] { SaveCatalogue(); });
    connect(mnuDataSaveName, &QAction::triggered, this, [this] { SaveCatalogueAs(); });
    connect(mnuQuit, &QAction::triggered, window_, [this] { window_->close(); });

    connect(mnuCtgAdd, &QAction::triggered, this, [this] { commands_.AddCategory(); });
    connect(mnuCtgEdit, &QAction::triggered, this, [this] { commands_.RenameCategory(); });
    connect(mnuCtgDel, &QAction::triggered, this, [this] { commands_.DeleteCategory(); });

    connect(mnuProjectAdd, &QAction::triggered, this, [this] { AddProjects(); });
    connect(mnuProjectEdit, &QAction::triggered, this, [this] { editSelectedProject(); });
    connect(mnuProjectDel, &QAction::triggered, this, [this] { commands_.DeleteSelectedProject(); });
    connect(mnuProjectMove, &QAction::triggered, this, [this] { moveSelectedProject(); });
    auto current = [](auto value) {
        const catalogue::cVbAnalyze *category = State().Current();
        return category ? (category->*value)(State().CurrentProject) : QString();
    };
    connect(mnuProjectOpen, &QAction::triggered, this,
            [current] { tooling::OpenSource(current(&catalogue::cVbAnalyze::ProjectFile)); });
    connect(mnuProjectFolder, &QAction::triggered, this,
            [current] { tooling::OpenFolder(current(&catalogue::cVbAnalyze::ProjectFolder)); });
    connect(mnuProjectExe, &QAction::triggered, this,
            [current] { tooling::RunExe(current(&catalogue::cVbAnalyze::ProjectExe)); });
    // The build reports back to the row it was started on.
    // During a category run it joins the run: one IDE at a time. What the project depends on and
    // needs building is offered first.
    connect(mnuProjectMakeExe, &QAction::triggered, this, [this, current] {
        const catalogue::cVbAnalyze *category = State().Current();
        const QString file = current(&catalogue::cVbAnalyze::ProjectFile);
        const std::weak_ptr<catalogue::ProjectRecord> record =
            category ? category->Shared(State().CurrentProject) : std::weak_ptr<catalogue::ProjectRecord>();
        if (!builds_->JoinRun(record, file) && !builds_->BuildWithDependencies(record))
            tooling::MakeExecutableFor(file, record);
    });

    connect(mnuProjectReferences, &QAction::triggered, this, [this, current] {
        const QString file = current(&catalogue::cVbAnalyze::ProjectFile);
        catalogue::ProjectReader *reader = commands_.Reader();
        if (!file.isEmpty())
            ReferenceList::Run(window_, current(&catalogue::cVbAnalyze::ProjectName), file,
                               reader ? reader->Registry() : nullptr);
    });

    connect(mnuOption, &QAction::triggered, this, [this] { fOption::Run(window_); });
    connect(mnuReadMe, &QAction::triggered, this, [] {
        tooling::OpenTarget(platform::JoinPath(platform::ExecutableFolder(), QStringLiteral("readme.txt")));
    });
    // Owned by the main window: it opens on that window's screen, centred with that window's frame.
    connect(mnuVersion, &QAction::triggered, this, [this] {
        fAbout dialog(window_);
        dialog.exec();
    });
}

void MainMenus::BindListKeys(QWidget *categoryList, QWidget *projectList)
{
    // The menus show the keys beside their entries.
    const auto bind = [](QAction *action, const QKeySequence &key, QWidget *list) {
        action->setShortcut(key);
        action->setShortcutContext(Qt::WidgetShortcut);
        list->addAction(action);
    };
    bind(mnuProjectDel, QKeySequence::Delete, projectList);
    bind(mnuProjectEdit, Qt::Key_F2, projectList);
    bind(mnuCtgDel, QKeySequence::Delete, categoryList);
    bind(mnuCtgEdit, Qt::Key_F2, categoryList);
}

void MainMenus::UpdateEntryStates()
{
    const CatalogueCommands::EntryStates states = commands_.States();
    mnuCtgDel->setEnabled(states.CategoryEntries);
    mnuCtgEdit->setEnabled(states.CategoryEntries);
    mnuProjectAdd->setEnabled(states.ProjectAdd);
    for (QAction *action : {mnuProjectEdit, mnuProjectDel, mnuProjectMove, mnuProjectMakeExe, mnuProjectFolder,
                            mnuProjectOpen, mnuProjectExe, mnuProjectReferences})
        action->setEnabled(states.ProjectEntries);
}

void MainMenus::RunDoubleClickAction()
{
    if (State().CurrentProject == 0)
        return;
    switch (settings::Values().DoubleClickAction) {
    case 0:
        mnuProjectFolder->trigger();
        break;
    case 1:
        mnuProjectOpen->trigger();
        break;
    case 2:
        mnuProjectExe->trigger();
        break;
    default:
        break;
    }
}

// ---- the commands that ask first ----

bool MainMenus::SaveCatalogue()
{
    if (State().CatalogueFilePath.isEmpty())
        return SaveCatalogueAs();
    return commands_.SaveCatalogue();
}

void MainMenus::prepareCatalogueDialog(cCommonDlg &dialog, const QString &title)
{
    const QString &folder = settings::Values().LastCatalogueFolder;
    dialog.Prepare(window_, title, QString::fromUtf8(kCatalogueFilter), 0, kCatalogueDialogFlags,
                   folder.isEmpty() ? QDir::currentPath() : folder);
}

void MainMenus::OpenCatalogue()
{
    cCommonDlg dialog;
    prepareCatalogueDialog(dialog, QStringLiteral("ﾃﾞｰﾀﾌｧｲﾙを開く"));
    dialog.ShowOpen();
    if (dialog.CancelButton())
        return;
    commands_.OpenCatalogue(dialog.FileName());
}

QString MainMenus::AskCatalogueFileToSave()
{
    cCommonDlg dialog;
    prepareCatalogueDialog(dialog, QStringLiteral("ﾃﾞｰﾀﾌｧｲﾙの保存"));
    dialog.SetFileName(State().CatalogueFilePath);
    dialog.ShowSave();
    return dialog.CancelButton() ? QString() : dialog.FileName();
}

bool MainMenus::SaveCatalogueAs()
{
    const QString path = AskCatalogueFileToSave();
    return !path.isEmpty() && commands_.SaveCatalogueAs(path);
}

void MainMenus::AddProjects()
{
    if (!State().Current())
        return;
    cCommonDlg dialog;
    const QString &folder = settings::Values().LastProjectFolder;
    dialog.Prepare(window_, QStringLiteral("ﾌﾟﾛｼﾞｪｸﾄの追加"), QStringLiteral("VB Project Files (*.vbp;*.vbg)|*.vbp;*.vbg"), 1,
                   kAddProjectDialogFlags, folder.isEmpty() ? QDir::currentPath() : folder);
    dialog.ShowOpen();
    if (dialog.CancelButton())
        return;
    const QString text = dialog.FileName();
    QStringList paths;
    QString chosenFolder;
    if (!text.contains(QChar(0))) {
        paths.append(text);
        chosenFolder = mFunction::GetFolderName(text);
    } else {
        const QStringList parts = text.split(QChar(0));
        chosenFolder = parts.value(0);
        for (qsizetype k = 1; k < parts.size(); ++k)
            if (!parts[k].isEmpty())
                paths.append(platform::JoinPath(chosenFolder, parts[k]));
    }
    commands_.AddProjectFiles(paths, chosenFolder);
}

void MainMenus::editSelectedProject()
{
    if (!ProjectSelected())
        return;
    commands_.HoldFollowing();
    const bool edited = fEdit::Run(window_);
    commands_.ReleaseFollowing();
    if (edited)
        commands_.ProjectEdited();
}

void MainMenus::moveSelectedProject()
{
    if (!ProjectSelected())
        return;
    // The row is gone after a move: nothing is selected until the user picks a row again.
    commands_.HoldFollowing();
    const bool moved = fMove::Run(window_);
    commands_.ReleaseFollowing();
    if (moved)
        commands_.ProjectMovedAway();
}
