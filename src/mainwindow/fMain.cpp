#include "mainwindow/fMain.h"

#include "catalogue/CatalogueFile.h"
#include "catalogue/NameRules.h"
#include "catalogue/mIniFile.h"
#include "dialogs/fEdit.h"
#include "dialogs/fMove.h"
#include "dialogs/fOption.h"
#include "mainwindow/ProjectListView.h"
#include "mainwindow/mWndFunction.h"
#include "platform/ProgramFolder.h"
#include "platform/Twips.h"
#include "support/cCommonDlg.h"
#include "support/fAbout.h"
#include "tooling/ProjectActions.h"
#include "tooling/fMessage.h"
#include "tooling/mFunction.h"
#include "tooling/mMain.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QFileInfo>
#include <QHeaderView>
#include <QMenuBar>
#include <QScreen>
#include <QTimer>
#include <QWindowStateChangeEvent>

using catalogue::State;
using platform::PixelsToTwips;
using platform::TwipsToPixels;

namespace {

constexpr qint32 kInitialClientWidthTwips = 9030;
constexpr qint32 kInitialClientHeightTwips = 6300;
const char *const kCatalogueFilter = "ZARUN ﾃﾞｰﾀﾌｧｲﾙ (*.zrd)|*.zrd";
constexpr quint32 kCatalogueDialogFlags = 2623492;
constexpr quint32 kAddProjectDialogFlags = 2624004;

QFont ListFont()
{
    QFont font;
    font.setFamilies({QStringLiteral("ＭＳ Ｐゴシック"), QStringLiteral("MS PGothic"), QStringLiteral("Noto Sans CJK JP")});
    font.setPointSizeF(9.75);
    return font;
}

QString ProgramName() { return QStringLiteral("ZARUN"); }

// A folder that ZARUN.ini could not give back whole (or hold at all) is not remembered.
void RememberFolder(QString &slot, const QString &folder)
{
    if (catalogue::PathProblem(folder, settings::Values().SettingsFilePath).isNull())
        slot = folder;
}

QString SaveFailureMessage(const QString &path, platform::IniStatus status)
{
    switch (status) {
    case platform::IniStatus::Ok:
        return QString();
    case platform::IniStatus::ReadOnly:
        return path + QStringLiteral(" は書き込みできないため、保存できませんでした。");
    case platform::IniStatus::NotAFile:
        return path + QStringLiteral(" はﾌｧｲﾙではないため、保存できませんでした。");
    case platform::IniStatus::BadText:
        return path + QStringLiteral(" に保存できない文字を含む項目があり、その項目は保存されませんでした。");
    case platform::IniStatus::Unreadable:
        return path + QStringLiteral(" は読み込めなかったため、上書きしませんでした。名前を付けて保存してください。");
    case platform::IniStatus::EmptyPath:
    case platform::IniStatus::IoError:
        break;
    }
    return path + QStringLiteral(" に保存できませんでした。ﾃﾞｨｽｸの空きや書き込み権限を確認してください。");
}

} // namespace

// Message boxes and input boxes over the main window; the progress window centred on it.
class fMain::MainUserInterface : public ui::WidgetUserInterface {
public:
    explicit MainUserInterface(fMain *owner) : ui::WidgetUserInterface(owner), owner_(owner) {}
    void ShowProgress(const QString &caption) override { owner_->showProgress(caption); }
    void HideProgress() override { owner_->hideProgress(); }

private:
    fMain *owner_;
};

fMain::fMain(QWidget *parent) : QMainWindow(parent), userInterface_(std::make_unique<MainUserInterface>(this))
{
    setWindowTitle(ProgramName());
    buildMenus();
    buildLists();
    wireEvents();
    catalogue::SetProjectRowSink(this);
    ResetSelection();
    resize(TwipsToPixels(kInitialClientWidthTwips),
           TwipsToPixels(kInitialClientHeightTwips) + menuBar()->sizeHint().height());
}

fMain::~fMain()
{
    if (catalogue::CurrentProjectRowSink() == this)
        catalogue::SetProjectRowSink(nullptr);
    if (&ui::Current() == userInterface_.get())
        ui::SetCurrent(nullptr);
}

ui::UserInterface &fMain::UserInterface() { return *userInterface_; }

void fMain::buildMenus()
{
    auto add = [](QMenu *menu, const QString &text) { return menu->addAction(text); };
    QMenuBar *bar = menuBar();

    mnuData = bar->addMenu(QStringLiteral("ﾃﾞｰﾀ(&D)"));
    mnuDataNew = add(mnuData, QStringLiteral("新規作成(&N)"));
    mnuDataOpen = add(mnuData, QStringLiteral("開く(&O)"));
    mnuData->addSeparator();
    mnuDataSave = add(mnuData, QStringLiteral("上書き保存(&S)"));
    mnuDataSaveName = add(mnuData, QStringLiteral("名前を付けて保存(&A)"));
    mnuData->addSeparator();
    mnuQuit = add(mnuData, QStringLiteral("終了(&X)"));

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

    mnuOption = bar->addAction(QStringLiteral("設定(&O)"));

    mnuHelp = bar->addMenu(QStringLiteral("ﾍﾙﾌﾟ(&H)"));
    mnuReadMe = add(mnuHelp, QStringLiteral("ReadMe.txtを読む"));
    mnuVersion = add(mnuHelp, QStringLiteral("ﾊﾞｰｼﾞｮﾝ情報"));
}

void fMain::buildLists()
{
    auto *client = new QWidget(this);
    setCentralWidget(client);
    client->installEventFilter(this);

    lvwCategory = new ReportListView(client);
    lvwCategory->setObjectName(QStringLiteral("lvwCategory"));
    lvwCategory->setHeaderLabels({QStringLiteral("カテゴリー")});
    lvwCategory->setColumnWidth(0, TwipsToPixels(1500));

    lvwProjectList = new ReportListView(client);
    lvwProjectList->setObjectName(QStringLiteral("lvwProjectList"));
    lvwProjectList->setHeaderLabels(
        {QStringLiteral("プロジェクト名"), QStringLiteral("ファイル名"), QStringLiteral("パス"), QStringLiteral("実行ファイル名")});
    for (int column = 0; column < 4; ++column)
        lvwProjectList->setColumnWidth(column, TwipsToPixels(1440));
    lvwProjectList->setAcceptDrops(true);
    lvwProjectList->viewport()->setAcceptDrops(true);
    lvwProjectList->FilesDropped = [this](const QStringList &files) { AddDroppedFiles(files); };

    for (ReportListView *list : {lvwCategory, lvwProjectList}) {
        list->setFont(ListFont());
        list->viewport()->installEventFilter(this);
    }
    lvwProjectList->installEventFilter(this);
}

void fMain::wireEvents()
{
    connect(mnuDataNew, &QAction::triggered, this, [this] { NewCatalogue(); });
    connect(mnuDataOpen, &QAction::triggered, this, [this] { OpenCatalogue(); });
    connect(mnuDataSave, &QAction::triggered, this, [this] { SaveCatalogue(); });
    connect(mnuDataSaveName, &QAction::triggered, this, [this] { SaveCatalogueAs(); });
    connect(mnuQuit, &QAction::triggered, this, [this] { close(); });

    connect(mnuCtgAdd, &QAction::triggered, this, [this] { AddCategory(); });
    connect(mnuCtgEdit, &QAction::triggered, this, [this] { RenameCategory(); });
    connect(mnuCtgDel, &QAction::triggered, this, [this] { DeleteCategory(); });

    connect(mnuProjectAdd, &QAction::triggered, this, [this] { AddProjects(); });
    connect(mnuProjectEdit, &QAction::triggered, this, [this] { EditSelectedProject(); });
    connect(mnuProjectDel, &QAction::triggered, this, [this] { DeleteSelectedProject(); });
    connect(mnuProjectMove, &QAction::triggered, this, [this] { MoveSelectedProject(); });
    auto current = [](auto value) {
        const catalogue::cVbAnalyze *category = State().Current();
        return category ? (category->*value)(State().CurrentProject) : QString();
    };
    connect(mnuProjectOpen, &QAction::triggered, this,
            [current] { ProjectActions::OpenSource(current(&catalogue::cVbAnalyze::ProjectFile)); });
    connect(mnuProjectFolder, &QAction::triggered, this,
            [current] { ProjectActions::OpenFolder(current(&catalogue::cVbAnalyze::ProjectFolder)); });
    connect(mnuProjectExe, &QAction::triggered, this,
            [current] { ProjectActions::RunExe(current(&catalogue::cVbAnalyze::ProjectExe)); });
    connect(mnuProjectMakeExe, &QAction::triggered, this,
            [current] { ProjectActions::MakeExecutable(current(&catalogue::cVbAnalyze::ProjectFile)); });

    connect(mnuOption, &QAction::triggered, this, [this] { ShowOptions(); });
    connect(mnuReadMe, &QAction::triggered, this, [this] { OpenReadMe(); });
    connect(mnuVersion, &QAction::triggered, this, [this] { ShowVersion(); });

    connect(lvwCategory, &QTreeWidget::itemClicked, this, [this](QTreeWidgetItem *item) { lvwCategory_ItemClick(item); });
    connect(lvwProjectList, &QTreeWidget::itemClicked, this,
            [this](QTreeWidgetItem *item) { lvwProjectList_ItemClick(item); });
    // Moving with the keyboard selects as a click does, so the highlighted row is always the current one.
    connect(lvwCategory, &QTreeWidget::currentItemChanged, this, [this](QTreeWidgetItem *item) {
        if (item && QApplication::mouseButtons() == Qt::NoButton)
            lvwCategory_ItemClick(item);
    });
    connect(lvwProjectList, &QTreeWidget::currentItemChanged, this, [this](QTreeWidgetItem *item) {
        if (item && QApplication::mouseButtons() == Qt::NoButton)
            lvwProjectList_ItemClick(item);
    });
    connect(lvwProjectList, &QTreeWidget::itemDoubleClicked, this, [this] { RunDoubleClickAction(); });
}

// ---- start-up and shut-down ----

void fMain::Form_Load()
{
    mMain::VbIdePath = mMain::GetVbIdePath();
    ResetSelection();
    settings::SettingsValues &values = settings::Values();
    values.SettingsFilePath = settings::DefaultSettingsFilePath();
    settings::EnsureSettingsFile(values.SettingsFilePath);

    const QRect screenArea = screen() ? screen()->geometry() : QRect(0, 0, 1024, 768);
    const mainwindow::Box frame = FrameTwips();
    const settings::Placement placement =
        settings::ReadPlacement(values.SettingsFilePath, qint32(PixelsToTwips(screenArea.width())),
                                qint32(PixelsToTwips(screenArea.height())), frame.Width, frame.Height);
    applyPlacement(placement);
    settings::ReadValues(values.SettingsFilePath);

    if (mFunction::FileExists(values.StartupCatalogue)) {
        State().CatalogueFilePath = values.StartupCatalogue;
        LoadCatalogue();
    }
}

void fMain::applyPlacement(const settings::Placement &placement)
{
    const QSize extra = frameGeometry().size() - size();
    move(TwipsToPixels(placement.Left), TwipsToPixels(placement.Top));
    resize(qMax(1, TwipsToPixels(placement.Width) - extra.width()),
           qMax(1, TwipsToPixels(placement.Height) - extra.height()));
    recordNormalPlacement();
    if (placement.Maximized)
        setWindowState(windowState() | Qt::WindowMaximized);
}

mainwindow::Box fMain::FrameTwips() const
{
    const QRect frame = frameGeometry();
    return {qint32(PixelsToTwips(frame.left())), qint32(PixelsToTwips(frame.top())),
            qint32(PixelsToTwips(frame.width())), qint32(PixelsToTwips(frame.height()))};
}

settings::Placement fMain::PlacementForSettings() const
{
    settings::Placement placement;
    placement.Maximized = mWndFunction::IsWindowMaximized(this);
    if (placement.Maximized || isMinimized()) {
        placement.Top = NormalTop;
        placement.Left = NormalLeft;
        placement.Height = NormalHeight;
        placement.Width = NormalWidth;
    } else {
        const mainwindow::Box frame = FrameTwips();
        placement.Top = frame.Top;
        placement.Left = frame.Left;
        placement.Height = frame.Height;
        placement.Width = frame.Width;
    }
    return placement;
}

void fMain::closeEvent(QCloseEvent *event)
{
    Form_Unload();
    event->accept();
}

void fMain::Form_Unload()
{
    if (unloaded_)
        return;
    unloaded_ = true;
    const QString &file = settings::Values().SettingsFilePath;
    if (!file.isEmpty())
        settings::WriteSettings(file, PlacementForSettings());
    if (QFileInfo(State().CatalogueFilePath).isFile())
        SaveCatalogue();
}

// ---- layout ----

void fMain::resizeEvent(QResizeEvent *event)
{
    QMainWindow::resizeEvent(event);
    recordNormalPlacement();
}

void fMain::changeEvent(QEvent *event)
{
    QMainWindow::changeEvent(event);
    if (event->type() != QEvent::WindowStateChange)
        return;
    const auto special = Qt::WindowMinimized | Qt::WindowMaximized | Qt::WindowFullScreen;
    const Qt::WindowStates old = static_cast<QWindowStateChangeEvent *>(event)->oldState();
    if (!(old & special) && (windowState() & (Qt::WindowMaximized | Qt::WindowFullScreen))) {
        // The window system may resize before it reports the new state, so that resize may
        // have been taken for a normal one; Qt's own record of the normal geometry is right.
        const QRect normal = normalGeometry();
        const QRect frame = frameGeometry();
        const QRect client = geometry();
        if (normal.isValid()) {
            const QRect normalFrame = normal.adjusted(frame.left() - client.left(), frame.top() - client.top(),
                                                      frame.right() - client.right(), frame.bottom() - client.bottom());
            NormalTop = qint32(PixelsToTwips(normalFrame.top()));
            NormalLeft = qint32(PixelsToTwips(normalFrame.left()));
            NormalHeight = qint32(PixelsToTwips(normalFrame.height()));
            NormalWidth = qint32(PixelsToTwips(normalFrame.width()));
        }
    }
    recordNormalPlacement();
    layoutLists();
}

void fMain::recordNormalPlacement()
{
    if (windowState() & (Qt::WindowMinimized | Qt::WindowMaximized | Qt::WindowFullScreen))
        return;
    const mainwindow::Box frame = FrameTwips();
    const mainwindow::Box recorded{NormalLeft, NormalTop, NormalWidth, NormalHeight};
    if (frame == recorded)
        return;
    NormalTop = frame.Top;
    NormalLeft = frame.Left;
    NormalHeight = frame.Height;
    NormalWidth = frame.Width;
}

void fMain::layoutLists()
{
    if (isMinimized())
        return;
    const QWidget *client = centralWidget();
    const auto layout =
        mainwindow::LayoutLists(qint32(PixelsToTwips(client->width())), qint32(PixelsToTwips(client->height())));
    if (!layout)
        return;
    auto place = [](QWidget *list, const mainwindow::Box &box) {
        list->setGeometry(TwipsToPixels(box.Left), TwipsToPixels(box.Top), TwipsToPixels(box.Width),
                          TwipsToPixels(box.Height));
    };
    place(lvwCategory, layout->Category);
    place(lvwProjectList, layout->Projects);
}

bool fMain::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == centralWidget() && event->type() == QEvent::Resize) {
        layoutLists();
    } else if (event->type() == QEvent::MouseButtonPress
               && (watched == lvwCategory->viewport() || watched == lvwProjectList->viewport())) {
        auto *mouse = static_cast<QMouseEvent *>(event);
        if (mouse->button() == Qt::RightButton) {
            QMenu *menu = watched == lvwCategory->viewport() ? mnuCategory : mnuProject;
            menu->exec(mouse->globalPosition().toPoint());
            return true; // the selection stays where the click handlers put it
        }
    } else if (watched == lvwProjectList && event->type() == QEvent::FocusOut) {
        // Menus and dialogs borrow the focus; only a move to another control counts.
        const Qt::FocusReason reason = static_cast<QFocusEvent *>(event)->reason();
        if (reason != Qt::PopupFocusReason && reason != Qt::MenuBarFocusReason
            && reason != Qt::ActiveWindowFocusReason)
            lvwProjectList_LostFocus();
    }
    return QMainWindow::eventFilter(watched, event);
}

// ---- list procedures ----

void fMain::setProjectEntriesEnabled(bool enabled)
{
    for (QAction *action : {mnuProjectEdit, mnuProjectDel, mnuProjectMove, mnuProjectMakeExe, mnuProjectFolder,
                            mnuProjectOpen, mnuProjectExe})
        action->setEnabled(enabled);
}

void fMain::setCategoryEntriesEnabled(bool enabled)
{
    mnuCtgDel->setEnabled(enabled);
    mnuCtgEdit->setEnabled(enabled);
    mnuProjectAdd->setEnabled(enabled);
}

void fMain::ResetSelection()
{
    setCategoryEntriesEnabled(false);
    setProjectEntriesEnabled(false);
    catalogue::CatalogueState &state = State();
    state.CategoryCount = 0;
    state.CurrentCategory = 0;
    state.CurrentProject = 0;
}

void fMain::ShowProjectList()
{
    const QSignalBlocker blocker(lvwProjectList);
    lvwProjectList->clear();
    const catalogue::cVbAnalyze *category = State().Current();
    if (!category)
        return;
    QList<QTreeWidgetItem *> rows;
    rows.reserve(category->Count());
    for (qint32 i = 1; i <= category->Count(); ++i) {
        auto *item = new QTreeWidgetItem(QStringList{category->ProjectName(i),
                                                     mFunction::GetFileName(category->ProjectFile(i)),
                                                     category->ProjectFolder(i),
                                                     mFunction::GetFileName(category->ProjectExe(i))});
        item->setFlags(Qt::ItemIsSelectable | Qt::ItemIsEnabled);
        rows.append(item);
    }
    lvwProjectList->addTopLevelItems(rows);
}

void fMain::fillCategoryRows()
{
    QList<QTreeWidgetItem *> rows;
    for (qint32 i = 1; i <= State().CategoryCount; ++i) {
        auto *item = new QTreeWidgetItem(QStringList{State().CategoryAt(i)->Category()});
        item->setFlags(Qt::ItemIsSelectable | Qt::ItemIsEnabled);
        rows.append(item);
    }
    const QSignalBlocker blocker(lvwCategory);
    lvwCategory->clear();
    lvwCategory->addTopLevelItems(rows);
}

void fMain::showCatalogueAgain()
{
    // A save took another program's changes: the rows follow the catalogue, the category stays
    // selected and no project is, so that no command acts on a row that moved.
    catalogue::CatalogueState &state = State();
    const qint32 category = state.CurrentCategory;
    fillCategoryRows();
    markCategoryRow(category);
    state.CurrentProject = 0;
    setProjectEntriesEnabled(false);
    if (category > 0)
        ShowProjectList();
}

void fMain::AppendProjectRow(const QString &name, const QString &fileName, const QString &folder,
                             const QString &exeFileName)
{
    const QSignalBlocker blocker(lvwProjectList);
    lvwProjectList->AppendRow({name, fileName, folder, exeFileName});
}

void fMain::markCategoryRow(qint32 row)
{
    const QSignalBlocker blocker(lvwCategory);
    if (QTreeWidgetItem *item = lvwCategory->Row(row)) {
        lvwCategory->setCurrentItem(item);
        item->setSelected(true);
    } else {
        lvwCategory->setCurrentItem(nullptr);
        lvwCategory->clearSelection();
    }
}

void fMain::lvwCategory_ItemClick(QTreeWidgetItem *item)
{
    catalogue::CatalogueState &state = State();
    state.CurrentProject = 0;
    state.CurrentCategory = lvwCategory->RowOf(item);
    setCategoryEntriesEnabled(true);
    ShowProjectList();
}

void fMain::lvwProjectList_ItemClick(QTreeWidgetItem *item)
{
    setProjectEntriesEnabled(true);
    State().CurrentProject = lvwProjectList->RowOf(item);
}

void fMain::ClickCategoryRow(qint32 row)
{
    if (QTreeWidgetItem *item = lvwCategory->Row(row)) {
        markCategoryRow(row);
        lvwCategory_ItemClick(item);
    }
}

void fMain::ClickProjectRow(qint32 row)
{
    if (QTreeWidgetItem *item = lvwProjectList->Row(row)) {
        const QSignalBlocker blocker(lvwProjectList);
        lvwProjectList->setCurrentItem(item);
        item->setSelected(true);
        lvwProjectList_ItemClick(item);
    }
}

void fMain::lvwProjectList_LostFocus() { setProjectEntriesEnabled(false); }

void fMain::RunDoubleClickAction()
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

void fMain::AddDroppedFiles(const QStringList &files)
{
    catalogue::cVbAnalyze *category = State().Current();
    if (!settings::Values().DragDropEnabled || !category)
        return;
    for (const QString &path : files) {
        if (mFunction::GetExtension(path) != QLatin1String("vbp"))
            continue;
        // A folder named like a project is no project file, as in the add dialog.
        if (!QFileInfo(path).isFile()) {
            ui::Current().Message(QStringLiteral("ﾌﾟﾛｼﾞｪｸﾄﾌｧｲﾙ　") + path + QStringLiteral("　が見つかりません。"));
            continue;
        }
        if (const QString problem = catalogue::PathProblem(path, State().CatalogueFilePath); !problem.isNull()) {
            ui::Current().Message(problem);
            continue;
        }
        QString name;
        category->AddProject(path, name);
    }
}

// ---- progress window and caption ----

void fMain::showProgress(const QString &caption)
{
    hideProgress();
    progress_ = new fMessage(this);
    progress_->SetCaption(caption);
    progress_->CentreOver(this);
    progress_->ShowNow();
}

void fMain::hideProgress()
{
    if (progress_) {
        progress_->hide();
        delete progress_;
    }
}

void fMain::updateCaption()
{
    setWindowTitle(catalogue::WindowCaption(ProgramName(), State().CatalogueFilePath));
}

// ---- catalogue commands ----

void fMain::LoadCatalogue()
{
    ui::UserInterface &ui = ui::Current();
    ui.ShowProgress(mFunction::GetFileName(State().CatalogueFilePath) + QStringLiteral(" を読み込み中"));
    {
        const QSignalBlocker categoryBlocker(lvwCategory);
        const QSignalBlocker projectBlocker(lvwProjectList);
        lvwCategory->clear();
        lvwProjectList->clear();
    }
    ResetSelection();
    const qint32 n = catalogue::LoadCategories();
    const QString failure = catalogue::LoadFailureMessage(State().CatalogueFilePath, catalogue::LastLoadStatus());
    if (!failure.isNull()) {
        // Not "no content": the file may hold a whole catalogue, and it is left as it is.
        ui.HideProgress();
        ui.Message(failure);
        mnuProjectAdd->setEnabled(false);
    } else if (n > 0) {
        fillCategoryRows();
        markCategoryRow(1);
        lvwCategory_ItemClick(lvwCategory->Row(1));
    } else {
        ui.HideProgress();
        ui.Message(QStringLiteral("中身がありません。"));
        mnuProjectAdd->setEnabled(false);
    }
    updateCaption();
    ui.HideProgress();
}

bool fMain::SaveCatalogue()
{
    if (State().CatalogueFilePath.isEmpty())
        return SaveCatalogueAs();
    ui::UserInterface &ui = ui::Current();
    const QString path = State().CatalogueFilePath;
    ui.ShowProgress(mFunction::GetFileName(path) + QStringLiteral(" を保存中"));
    QStringList sections;
    for (qint32 i = 1; i <= State().CategoryCount; ++i)
        sections.append(lvwCategory->Row(i) ? lvwCategory->Row(i)->text(0) : QString());
    catalogue::SaveReport report;
    const platform::IniStatus status = catalogue::SaveCategories(sections, &report);
    if (report.CatalogueChanged)
        showCatalogueAgain();
    updateCaption();
    ui.HideProgress();
    if (!report.Overwritten.isEmpty())
        ui.Message(catalogue::OverwrittenMessage(path, report.Overwritten));
    if (status != platform::IniStatus::Ok) {
        ui.Message(SaveFailureMessage(path, status));
        return false;
    }
    return true;
}

void fMain::NewCatalogue()
{
    {
        const QSignalBlocker projectBlocker(lvwProjectList);
        const QSignalBlocker categoryBlocker(lvwCategory);
        lvwProjectList->clear();
        lvwCategory->clear();
    }
    catalogue::ClearCategories();
    ResetSelection();
    State().CatalogueFilePath = catalogue::NewCatalogueFilePath();
    updateCaption();
}

void fMain::prepareCatalogueDialog(cCommonDlg &dialog, const QString &title)
{
    const QString &folder = settings::Values().LastCatalogueFolder;
    dialog.Prepare(this, title, QString::fromUtf8(kCatalogueFilter), 0, kCatalogueDialogFlags,
                   folder.isEmpty() ? QDir::currentPath() : folder);
}

void fMain::OpenCatalogue()
{
    cCommonDlg dialog;
    prepareCatalogueDialog(dialog, QStringLiteral("ﾃﾞｰﾀﾌｧｲﾙを開く"));
    dialog.ShowOpen();
    if (dialog.CancelButton())
        return;
    State().CatalogueFilePath = dialog.FileName();
    RememberFolder(settings::Values().LastCatalogueFolder, mFunction::GetFolderName(dialog.FileName()));
    LoadCatalogue();
}

bool fMain::SaveCatalogueAs()
{
    cCommonDlg dialog;
    prepareCatalogueDialog(dialog, QStringLiteral("ﾃﾞｰﾀﾌｧｲﾙの保存"));
    dialog.SetFileName(State().CatalogueFilePath);
    dialog.ShowSave();
    if (dialog.CancelButton() || dialog.FileName().isEmpty())
        return false;
    State().CatalogueFilePath = dialog.FileName();
    RememberFolder(settings::Values().LastCatalogueFolder, mFunction::GetFolderName(dialog.FileName()));
    return SaveCatalogue();
}

// ---- category commands ----

void fMain::AddCategory()
{
    const QString name = askCategoryName(QStringLiteral("ｶﾃｺﾞﾘｰ追加"), QString());
    if (name.isEmpty())
        return;
    catalogue::CatalogueState &state = State();
    state.CategoryCount += 1;
    state.CurrentCategory = state.CategoryCount;
    state.Catalogue.resize(size_t(state.CategoryCount) + 1);
    auto category = std::make_unique<catalogue::cVbAnalyze>();
    category->SetCategory(name);
    state.Catalogue[size_t(state.CategoryCount)] = std::move(category);
    {
        const QSignalBlocker blocker(lvwCategory);
        lvwCategory->AppendRow({name});
    }
    markCategoryRow(state.CurrentCategory);
    ShowProjectList();
    setCategoryEntriesEnabled(true);
}

QString fMain::askCategoryName(const QString &title, const QString &current)
{
    const catalogue::CatalogueState &state = State();
    QString text = current;
    for (;;) {
        const QString name = ui::Current().InputBox(QStringLiteral("ｶﾃｺﾞﾘｰ名を入力してください。"), title, text);
        if (name.isEmpty() || (!current.isNull() && name == current))
            return name;
        QStringList others;
        for (qint32 i = 1; i <= state.CategoryCount; ++i)
            if (current.isNull() || i != state.CurrentCategory)
                others.append(state.CategoryAt(i)->Category());
        QString problem = catalogue::CategoryNameProblem(name, state.CatalogueFilePath);
        if (problem.isNull())
            problem = catalogue::CategoryNameTaken(name, others);
        if (problem.isNull())
            return name;
        ui::Current().Message(problem);
        text = name; // asked again with what was typed, so nothing typed is lost
    }
}

void fMain::RenameCategory()
{
    catalogue::CatalogueState &state = State();
    catalogue::cVbAnalyze *category = state.Current();
    if (!category)
        return;
    const QString old = category->Category();
    const QString name = askCategoryName(QStringLiteral("ｶﾃｺﾞﾘｰ編集"), old);
    if (name.isEmpty() || name == old)
        return;
    if (!catalogue::RemoveCategorySection(old)) {
        ui::Current().Message(QStringLiteral("ﾃﾞｰﾀﾌｧｲﾙの該当するｶﾃｺﾞﾘｰの削除に失敗しました。"));
        return;
    }
    // Every project exactly as held in memory: nothing is read again, shown twice or built.
    const catalogue::cVbAnalyze carried = *category;
    category->SetCategory(name);
    if (QTreeWidgetItem *row = lvwCategory->Row(state.CurrentCategory))
        row->setText(0, name);
    for (qint32 j = 1; j <= carried.Count(); ++j)
        category->AppendEntry(carried.ProjectName(j), carried.ProjectFile(j), carried.ProjectFolder(j),
                              carried.ProjectExe(j));
    ShowProjectList();
}

void fMain::DeleteCategory()
{
    catalogue::CatalogueState &state = State();
    QTreeWidgetItem *row = lvwCategory->Row(state.CurrentCategory);
    if (!row || !state.Current())
        return;
    const QString name = row->text(0);
    const QString text = QStringLiteral("ｶﾃｺﾞﾘｰ　[") + name + QStringLiteral("]　を削除します。\r\n\r\n")
                         + QStringLiteral("登録したﾌﾟﾛｼﾞｪｸﾄﾘｽﾄも一緒に削除されますがよろしいですか。");
    if (!ui::Current().Confirm(text, QStringLiteral("ｶﾃｺﾞﾘｰ削除")))
        return;
    if (!catalogue::RemoveCategorySection(state.Current()->Category())) {
        ui::Current().Message(QStringLiteral("ﾃﾞｰﾀﾌｧｲﾙの該当するｶﾃｺﾞﾘｰの削除に失敗しました。"));
        return;
    }
    if (state.CategoryCount == 1) {
        {
            const QSignalBlocker blocker(lvwCategory);
            delete row;
        }
        state.Catalogue.clear();
        ResetSelection();
        const QSignalBlocker blocker(lvwProjectList);
        lvwProjectList->clear();
        return;
    }
    state.Catalogue.erase(state.Catalogue.begin() + state.CurrentCategory);
    {
        const QSignalBlocker blocker(lvwCategory);
        delete row;
    }
    state.CategoryCount -= 1;
    if (state.CurrentCategory != 1)
        state.CurrentCategory -= 1;
    setCategoryEntriesEnabled(false);
    markCategoryRow(state.CurrentCategory);
    ShowProjectList();
}

// ---- project commands ----

void fMain::AddProjects()
{
    catalogue::cVbAnalyze *category = State().Current();
    if (!category)
        return;
    cCommonDlg dialog;
    const QString &folder = settings::Values().LastProjectFolder;
    dialog.Prepare(this, QStringLiteral("ﾌﾟﾛｼﾞｪｸﾄの追加"), QStringLiteral("VB Project Files (*.vbp)|*.vbp"), 1,
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
    for (const QString &path : paths) {
        // A typed name may name no file; there is nothing to read a project from.
        if (!QFileInfo(path).isFile()) {
            ui::Current().Message(QStringLiteral("ﾌﾟﾛｼﾞｪｸﾄﾌｧｲﾙ　") + path + QStringLiteral("　が見つかりません。"));
            continue;
        }
        if (const QString problem = catalogue::PathProblem(path, State().CatalogueFilePath); !problem.isNull()) {
            ui::Current().Message(problem);
            continue;
        }
        QString name;
        category->AddProject(path, name);
    }
    RememberFolder(settings::Values().LastProjectFolder, chosenFolder);
}

void fMain::DeleteSelectedProject()
{
    catalogue::CatalogueState &state = State();
    catalogue::cVbAnalyze *category = state.Current();
    QTreeWidgetItem *row = lvwProjectList->Row(state.CurrentProject);
    if (!category || !row)
        return;
    const QString text = QStringLiteral("ﾌﾟﾛｼﾞｪｸﾄ　[") + row->text(0) + QStringLiteral("]　を削除しますか?");
    if (!ui::Current().Confirm(text, QStringLiteral("ﾌﾟﾛｼﾞｪｸﾄ削除")))
        return;
    // The row goes only with its entry, so rows and entries keep matching.
    if (!category->DeleteProject(state.CurrentProject))
        return;
    {
        const QSignalBlocker blocker(lvwProjectList);
        delete row;
        lvwProjectList->setCurrentItem(nullptr);
        lvwProjectList->clearSelection();
    }
    state.CurrentProject = 0;
    setProjectEntriesEnabled(false);
}

void fMain::EditSelectedProject()
{
    if (State().Current() && lvwProjectList->Row(State().CurrentProject))
        fEdit::Run(lvwProjectList, this);
}

void fMain::MoveSelectedProject()
{
    if (!State().Current() || !lvwProjectList->Row(State().CurrentProject))
        return;
    // The row is gone after a move: nothing is selected until the user picks a row again.
    if (fMove::Run(lvwProjectList, this)) {
        const QSignalBlocker blocker(lvwProjectList);
        lvwProjectList->setCurrentItem(nullptr);
        lvwProjectList->clearSelection();
        setProjectEntriesEnabled(false);
    }
}

void fMain::ShowOptions() { fOption::Run(this); }

void fMain::OpenReadMe() { mFunction::ShellOpen(platform::JoinPath(platform::ExecutableFolder(), QStringLiteral("readme.txt"))); }

void fMain::ShowVersion()
{
    fAbout dialog;
    dialog.exec();
}
