#include "mainwindow/fMain.h"

#include "catalogue/CatalogueFile.h"
#include "catalogue/ProjectReader.h"
#include "dialogs/fEdit.h"
#include "dialogs/fMove.h"
#include "dialogs/fOption.h"
#include "mainwindow/BuildCommands.h"
#include "mainwindow/ProjectListView.h"
#include "mainwindow/SplitHandle.h"
#include "mainwindow/mWndFunction.h"
#include "platform/ProgramFolder.h"
#include "platform/Twips.h"
#include "support/NoticeBar.h"
#include "support/cCommonDlg.h"
#include "support/fAbout.h"
#include "tooling/ProjectActions.h"
#include "tooling/fMessage.h"
#include "tooling/mFunction.h"
#include "tooling/mMain.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QDir>
#include <QFileInfo>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenuBar>
#include <QScopedValueRollback>
#include <QScreen>
#include <QShortcut>
#include <QSet>
#include <QThreadPool>
#include <QTimer>
#include <QDebug>
#include <QWindow>
#include <QWindowStateChangeEvent>

#include <utility>

using catalogue::State;
using platform::PixelsToTwips;
using platform::TwipsToPixels;

namespace {

constexpr qint32 kInitialClientWidthTwips = 9030;
constexpr qint32 kInitialClientHeightTwips = 6300;
const char *const kCatalogueFilter = "ZARUN ﾃﾞｰﾀﾌｧｲﾙ (*.zrd)|*.zrd";
constexpr quint32 kCatalogueDialogFlags = 2623492;
constexpr quint32 kAddProjectDialogFlags = 2624004;
// The rows whose folders are watched for changes: those a user can reach by scrolling a while.
constexpr int kWatchedRows = 2000;

QFont ListFont()
{
    QFont font;
    font.setFamilies({QStringLiteral("ＭＳ Ｐゴシック"), QStringLiteral("MS PGothic"), QStringLiteral("Noto Sans CJK JP")});
    font.setPointSizeF(9.75);
    return font;
}

QString ProgramName() { return QStringLiteral("ZARUN"); }

// The width a column of the project list keeps. The category column, last whenever shown, has none.
std::optional<settings::ListWidth> WidthOfColumn(int column)
{
    using catalogue::ProjectListModel;
    switch (column) {
    case ProjectListModel::NameColumn:
        return settings::ListWidth::ProjectName;
    case ProjectListModel::FileNameColumn:
        return settings::ListWidth::FileName;
    case ProjectListModel::FolderColumn:
        return settings::ListWidth::Path;
    case ProjectListModel::ExeNameColumn:
        return settings::ListWidth::ExeName;
    case ProjectListModel::StatusColumn:
        return settings::ListWidth::Status;
    default:
        return std::nullopt;
    }
}

constexpr size_t Slot(settings::ListWidth which) { return size_t(which); }

} // namespace

// Message boxes and input boxes over the main window; the progress window centred on it.
class fMain::MainUserInterface : public ui::WidgetUserInterface {
public:
    explicit MainUserInterface(fMain *owner) : ui::WidgetUserInterface(owner), owner_(owner) {}
    void ShowProgress(const QString &caption) override { owner_->showProgress(caption); }
    void HideProgress() override { owner_->hideProgress(); }
    QString AskCatalogueFileToSave() override { return owner_->askCatalogueFileToSave(); }

private:
    fMain *owner_;
};

fMain::fMain(QWidget *parent) : QMainWindow(parent), userInterface_(std::make_unique<MainUserInterface>(this))
{
    setWindowTitle(ProgramName());
    // Reads the executables and statuses of every catalogue this window opens, off this thread.
    catalogue::ProjectReader::Instance();
    buildMenus();
    buildLists();
    wireEvents();
    widths_.fill(mainwindow::kColumnWidthTwips);
    widths_[Slot(settings::ListWidth::CategoryList)] = mainwindow::kCategoryWidthTwips;
    widthsAtStart_ = widths_;
    applyColumnWidths();
    ResetSelection();
    updateEntryStates();
    resize(TwipsToPixels(kInitialClientWidthTwips),
           TwipsToPixels(kInitialClientHeightTwips) + menuBar()->sizeHint().height());
}

fMain::~fMain()
{
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
    builds_ = new BuildCommands(this, mnuCategory, mnuProject, mnuProjectMakeExe);

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
    notice_ = new NoticeBar(client);

    lvwCategory = new ReportListView(client);
    lvwCategory->setObjectName(QStringLiteral("lvwCategory"));
    lvwCategory->setModel(&categoryModel_);
    // Its one column is as wide as the list, so that no scroll bar scrolls a few pixels of
    // nothing; a name cut short shows whole in its tooltip, and the split widens the list.
    lvwCategory->header()->setSectionResizeMode(0, QHeaderView::Stretch);
    // Stretched as the last section it would never be narrower than the default section.
    lvwCategory->header()->setStretchLastSection(false);
    lvwCategory->setAccessibleName(QStringLiteral("カテゴリー一覧"));

    lvwProjectList = new ReportListView(client);
    lvwProjectList->setObjectName(QStringLiteral("lvwProjectList"));
    lvwProjectList->setModel(&filterModel_);
    lvwProjectList->setItemDelegate(
        new ProjectStatusDelegate(catalogue::ProjectListModel::StatusColumn, lvwProjectList));
    lvwProjectList->setAccessibleName(QStringLiteral("プロジェクト一覧"));
    lvwProjectList->setAcceptDrops(true);
    lvwProjectList->viewport()->setAcceptDrops(true);
    lvwProjectList->FilesDropped = [this](const QStringList &files) { AddDroppedFiles(files); };

    txtFilter = new QLineEdit(client);
    txtFilter->setObjectName(QStringLiteral("txtFilter"));
    txtFilter->setPlaceholderText(QStringLiteral("プロジェクト名・ファイル名・パスで絞り込み (Ctrl+F)"));
    txtFilter->setClearButtonEnabled(true);
    txtFilter->setAccessibleName(QStringLiteral("プロジェクトの絞り込み"));
    txtFilter->installEventFilter(this);
    chkAllCategories = new QCheckBox(QStringLiteral("全カテゴリー"), client);
    chkAllCategories->setObjectName(QStringLiteral("chkAllCategories"));
    chkAllCategories->setAccessibleName(QStringLiteral("全カテゴリーから探す"));
    chkAllCategories->setToolTip(QStringLiteral("すべてのカテゴリーのプロジェクトを一覧に表示します。"));
    splLists = new SplitHandle(client);
    splLists->setObjectName(QStringLiteral("splLists"));

    for (ReportListView *list : {lvwCategory, lvwProjectList}) {
        list->setFont(ListFont());
        list->viewport()->installEventFilter(this);
    }
    lvwProjectList->installEventFilter(this);

    // Keys act on the list that has the focus: Delete deletes, F2 edits or renames, Enter runs
    // the double-click action. The menus show them beside their entries.
    const auto bind = [](QAction *action, const QKeySequence &key, QWidget *list) {
        action->setShortcut(key);
        action->setShortcutContext(Qt::WidgetShortcut);
        list->addAction(action);
    };
    bind(mnuProjectDel, QKeySequence::Delete, lvwProjectList);
    bind(mnuProjectEdit, Qt::Key_F2, lvwProjectList);
    bind(mnuCtgDel, QKeySequence::Delete, lvwCategory);
    bind(mnuCtgEdit, Qt::Key_F2, lvwCategory);
    for (const QKeySequence &key : {QKeySequence(Qt::Key_Return), QKeySequence(Qt::Key_Enter)}) {
        auto *enter = new QShortcut(key, lvwProjectList, nullptr, nullptr, Qt::WidgetShortcut);
        connect(enter, &QShortcut::activated, this, [this] { RunDoubleClickAction(); });
    }
    // Ctrl+F goes to the filter box from anywhere in the window; Esc there empties it.
    auto *find = new QShortcut(QKeySequence::Find, this);
    connect(find, &QShortcut::activated, this, [this] {
        txtFilter->setFocus(Qt::ShortcutFocusReason);
        txtFilter->selectAll();
    });
    auto *escape = new QShortcut(QKeySequence(Qt::Key_Escape), txtFilter, nullptr, nullptr, Qt::WidgetShortcut);
    connect(escape, &QShortcut::activated, txtFilter, &QLineEdit::clear);
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
    // The build reports back to the row it was started on.
    connect(mnuProjectMakeExe, &QAction::triggered, this, [current] {
        const catalogue::cVbAnalyze *category = State().Current();
        ProjectActions::MakeExecutableFor(current(&catalogue::cVbAnalyze::ProjectFile),
                                          category ? category->Shared(State().CurrentProject)
                                                   : std::weak_ptr<catalogue::ProjectRecord>());
    });

    connect(mnuOption, &QAction::triggered, this, [this] { ShowOptions(); });
    connect(mnuReadMe, &QAction::triggered, this, [this] { OpenReadMe(); });
    connect(mnuVersion, &QAction::triggered, this, [this] { ShowVersion(); });

    // Only a selected row is current: a click, the keyboard or a right click select; focus alone
    // never does, and clearing the selection clears the current project.
    connect(lvwCategory->selectionModel(), &QItemSelectionModel::selectionChanged, this, [this] {
        if (const qint32 row = lvwCategory->SelectedRow())
            commands_.SelectCategory(row);
    });
    // A click on the row already selected lists its projects again, as any category click does.
    connect(lvwCategory, &QAbstractItemView::clicked, this,
            [this](const QModelIndex &index) { commands_.SelectCategory(index.row() + 1); });
    // A project row names an entry through the filter: never the row number itself.
    connect(lvwProjectList->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            [this] { selectListedRow(lvwProjectList->SelectedRow()); });
    connect(lvwProjectList, &QAbstractItemView::clicked, this,
            [this](const QModelIndex &index) { selectListedRow(index.row() + 1); });
    connect(txtFilter, &QLineEdit::textChanged, this, [this] { applyFilter(); });
    connect(&filterModel_, &catalogue::ProjectFilterModel::Narrowed, this, [this] { keepCurrentListed(); });
    connect(chkAllCategories, &QCheckBox::toggled, this, [this](bool all) { showAllCategories(all); });

    // The folders of the listed projects are watched; a change there, or the window coming back
    // to the front, has their files looked at again.
    watchUpdate_.setSingleShot(true);
    watchUpdate_.setInterval(200);
    connect(&watchUpdate_, &QTimer::timeout, this, [this] { updateWatch(); });
    const auto listChanged = [this] { watchUpdate_.start(); };
    connect(&filterModel_, &QAbstractItemModel::modelReset, this, listChanged);
    connect(&filterModel_, &QAbstractItemModel::layoutChanged, this, listChanged);
    connect(&filterModel_, &QAbstractItemModel::rowsInserted, this, listChanged);
    connect(&filterModel_, &QAbstractItemModel::rowsRemoved, this, listChanged);
    connect(&catalogue::Events(), &catalogue::CatalogueEvents::ProjectsScanned, this, listChanged);
    connect(&folderWatch_, &catalogue::FolderWatch::Changed, this, [this] { refreshShown(); });
    connect(&folderWatch_, &catalogue::FolderWatch::LimitReached, this, [this] {
        notice_->Show(QStringLiteral("ﾌｫﾙﾀﾞの監視数が上限に達したため、一部のﾌﾟﾛｼﾞｪｸﾄの変更は"
                                     "ｳｨﾝﾄﾞｳをｱｸﾃｨﾌﾞにしたときに確認します。"));
    });
    // Back from another program: the user may have edited or built a project there.
    connect(qApp, &QGuiApplication::applicationStateChanged, this, [this](Qt::ApplicationState state) {
        if (returnFromElsewhere_.Returned(state))
            catalogue::ProjectReader::Instance().RefreshAll();
    });
    connect(lvwProjectList, &QAbstractItemView::doubleClicked, this, [this] { RunDoubleClickAction(); });

    // A column the user sizes keeps its width; the last one takes whatever is free.
    connect(lvwProjectList->header(), &QHeaderView::sectionResized, this, [this](int column, int, int size) {
        const std::optional<settings::ListWidth> which = WidthOfColumn(column);
        if (sizingColumns_ || !which || column == lvwProjectList->model()->columnCount() - 1)
            return;
        qint32 &twips = widths_[Slot(*which)];
        twips = platform::KeepTwips(twips, size);
    });
    splLists->Dragged = [this](int left) {
        // The strip starts where the category list ends, 90 twips from the window's edge.
        qint32 &twips = widths_[Slot(settings::ListWidth::CategoryList)];
        twips = mainwindow::SplitAt(qint32(PixelsToTwips(centralWidget()->width())),
                                    platform::KeepTwips(twips + 90, left) - 90);
        layoutLists();
    };

    connect(&commands_, &CatalogueCommands::EntryStatesChanged, this, [this] { updateEntryStates(); });
    connect(&commands_, &CatalogueCommands::SelectionChanged, this, [this] { showSelection(); });
    connect(&commands_, &CatalogueCommands::CaptionChanged, this, [this] { updateCaption(); });
    connect(&commands_, &CatalogueCommands::Notice, this, [this](const QString &text, bool important) {
        if (!important) {
            notice_->Show(text);
            return;
        }
        pendingMessages_.append(text);
        openPendingRequest();
    });
}

// ---- start-up and shut-down ----

void fMain::Form_Load()
{
    ResetSelection();
    settings::SettingsValues &values = settings::Values();
    values.SettingsFilePath = settings::DefaultSettingsFilePath();
    settings::EnsureSettingsFile(values.SettingsFilePath);

    // Placement is in outer measures (frame included). The frame is known only once the window
    // system has put it round the shown window; until then it is taken as none, and the placement
    // is applied again when the real one is known (settlePlacement).
    const QRect screenArea = screen() ? screen()->geometry() : QRect(0, 0, 1024, 768);
    const QMargins frame = frameMarginsNow();
    initialSize_ = size();
    const QSize outer = initialSize_.grownBy(frame);
    requestedPlacement_ =
        settings::ReadPlacement(values.SettingsFilePath, qint32(PixelsToTwips(screenArea.width())),
                                qint32(PixelsToTwips(screenArea.height())), qint32(PixelsToTwips(outer.width())),
                                qint32(PixelsToTwips(outer.height())));
    applyPlacement(requestedPlacement_, frame);
    placementSettled_ = false;
    settings::ReadValues(values.SettingsFilePath);
    const settings::ListWidths stored = settings::ReadListWidths(values.SettingsFilePath);
    for (size_t k = 0; k < stored.size(); ++k)
        widths_[k] = stored[k].value_or(widths_[k]);
    widthsAtStart_ = widths_;
    applyColumnWidths();
    layoutLists();
    // The desktop's association is asked only when the options name no IDE command.
    mMain::VbIdePath = values.IdeCommand.isEmpty() ? mMain::GetVbIdePath() : values.IdeCommand;

    const QString start = commandLineCatalogue_.isNull() ? values.StartupCatalogue : commandLineCatalogue_;
    if (!deferStart_ || !QFileInfo(start).isFile()) {
        openStartCatalogue(true);
        return;
    }
    // The window may be gone before a slow read ends: the result goes through the application,
    // which waits for the pool's threads, and finds the window only if it is still there.
    QThreadPool::globalInstance()->start([window = QPointer<fMain>(this), start] {
        auto prepared = std::make_shared<catalogue::PreparedCatalogue>(catalogue::PrepareCatalogue(start));
        QMetaObject::invokeMethod(qApp, [window, prepared] {
            if (window)
                window->startCatalogueRead(std::move(*prepared));
        }, Qt::QueuedConnection);
    });
}

void fMain::startCatalogueRead(catalogue::PreparedCatalogue prepared)
{
    // Closed meanwhile, or the user already opened or started another catalogue.
    if (unloaded_ || !State().CatalogueFilePath.isEmpty())
        return;
    State().CatalogueFilePath = prepared.read.file;
    commands_.LoadCatalogue(std::move(prepared));
}

void fMain::openStartCatalogue(bool showProgress)
{
    const settings::SettingsValues &values = settings::Values();
    if (!commandLineCatalogue_.isNull()) {
        OpenCatalogueFile(commandLineCatalogue_, showProgress);
    } else if (mFunction::FileExists(values.StartupCatalogue)) {
        State().CatalogueFilePath = values.StartupCatalogue;
        LoadCatalogue(showProgress);
    }
}

void fMain::OpenCatalogueFile(const QString &path, bool showProgress)
{
    if (!QFileInfo(path).isFile()) {
        ui::Current().Message(path + QStringLiteral(" が存在しません。"));
        return;
    }
    State().CatalogueFilePath = path;
    LoadCatalogue(showProgress);
}

void fMain::OpenRequested(const QString &path)
{
    if (isMinimized())
        setWindowState(windowState() & ~Qt::WindowMinimized);
    raise();
    activateWindow();
    // The catalogue shown already (a double click on it in the file manager): the window is enough.
    if (path.isEmpty() || platform::SameFile(path, State().CatalogueFilePath))
        return;
    pendingRequest_ = path;
    openPendingRequest();
}

void fMain::openPendingRequest()
{
    // Not under an open dialog or menu, which may be working on the catalogue loaded now.
    if (QApplication::activeModalWidget() || QApplication::activePopupWidget() || progress_) {
        if (!pendingTimer_) {
            pendingTimer_ = new QTimer(this);
            pendingTimer_->setSingleShot(true);
            pendingTimer_->setInterval(200);
            connect(pendingTimer_, &QTimer::timeout, this, &fMain::openPendingRequest);
        }
        pendingTimer_->start();
        return;
    }
    for (const QString &message : std::exchange(pendingMessages_, {}))
        ui::Current().Message(message);
    if (!pendingRequest_.isNull())
        OpenCatalogueFile(std::exchange(pendingRequest_, QString()));
}

void fMain::applyPlacement(const settings::Placement &placement, const QMargins &frame)
{
    normalFrame_ = frame;
    const QPoint origin(TwipsToPixels(placement.Left), TwipsToPixels(placement.Top));
    const QSize client(qMax(1, TwipsToPixels(placement.Width) - frame.left() - frame.right()),
                       qMax(1, TwipsToPixels(placement.Height) - frame.top() - frame.bottom()));
    if (testAttribute(Qt::WA_WState_Created)) {
        // Qt's record of the frame may still be that of another state; the window system's is current.
        setGeometry(QRect(origin + QPoint(frame.left(), frame.top()), client));
    } else {
        move(origin); // before the window exists, this places its frame
        resize(client);
    }
    // The twips as read, so that an untouched window writes back the same numbers.
    NormalTop = placement.Top;
    NormalLeft = placement.Left;
    NormalHeight = placement.Height;
    NormalWidth = placement.Width;
}

QMargins fMain::frameMarginsNow() const
{
    const QWindow *window = windowHandle();
    return window ? window->frameMargins() : QMargins();
}

void fMain::settlePlacement()
{
    // The window manager frames a window before it shows it, so at the first exposure the frame
    // is known. A maximized start is shown normal for that moment, so that restoring it later
    // returns to the stored size and not to one that leaves the frame out.
    if (placementSettled_ || !windowHandle() || !windowHandle()->isExposed())
        return;
    placementSettled_ = true;
    const QMargins frame = frameMarginsNow();
    if (frame != normalFrame_) {
        settings::Placement placement = requestedPlacement_;
        const QRect screenArea = screen() ? screen()->geometry() : QRect(0, 0, 1024, 768);
        const QSize outer = initialSize_.grownBy(frame);
        if (placement.TopCentred)
            placement.Top = settings::CentredOrigin(qint32(PixelsToTwips(screenArea.height())),
                                                    qint32(PixelsToTwips(outer.height())));
        if (placement.LeftCentred)
            placement.Left = settings::CentredOrigin(qint32(PixelsToTwips(screenArea.width())),
                                                     qint32(PixelsToTwips(outer.width())));
        applyPlacement(placement, frame);
    }
    if (requestedPlacement_.Maximized)
        mWndFunction::MaximizeWindow(this);
}

QRect fMain::outerGeometry() const { return geometry().marginsAdded(frameMarginsNow()); }

mainwindow::Box fMain::FrameTwips() const
{
    const QRect frame = outerGeometry();
    return {qint32(PixelsToTwips(frame.left())), qint32(PixelsToTwips(frame.top())),
            qint32(PixelsToTwips(frame.width())), qint32(PixelsToTwips(frame.height()))};
}

settings::Placement fMain::PlacementForSettings() const
{
    settings::Placement placement;
    // A maximized start is maximized only once shown.
    placement.Maximized = mWndFunction::IsWindowMaximized(this)
                          || (!placementSettled_ && requestedPlacement_.Maximized);
    if (placement.Maximized || isMinimized()) {
        placement.Top = NormalTop;
        placement.Left = NormalLeft;
        placement.Height = NormalHeight;
        placement.Width = NormalWidth;
    } else {
        const QRect frame = outerGeometry();
        placement.Top = platform::KeepTwips(NormalTop, frame.top());
        placement.Left = platform::KeepTwips(NormalLeft, frame.left());
        placement.Height = platform::KeepTwips(NormalHeight, frame.height());
        placement.Width = platform::KeepTwips(NormalWidth, frame.width());
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
        settings::WriteSettings(file, PlacementForSettings(), changedWidths());
    // Every change is in the catalogue file already: closing writes none.
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
        // The frame of the normal state: a maximized window may have another.
        const QRect normal = normalGeometry();
        if (normal.isValid()) {
            const QRect normalFrame = normal.marginsAdded(normalFrame_);
            NormalTop = platform::KeepTwips(NormalTop, normalFrame.top());
            NormalLeft = platform::KeepTwips(NormalLeft, normalFrame.left());
            NormalHeight = platform::KeepTwips(NormalHeight, normalFrame.height());
            NormalWidth = platform::KeepTwips(NormalWidth, normalFrame.width());
        }
    }
    recordNormalPlacement();
    layoutLists();
    settlePlacement();
}

void fMain::showEvent(QShowEvent *event)
{
    QMainWindow::showEvent(event);
    // Exposure is told to the window, not the widget.
    if (QWindow *window = windowHandle())
        window->installEventFilter(this);
}

void fMain::recordNormalPlacement()
{
    if (windowState() & (Qt::WindowMinimized | Qt::WindowMaximized | Qt::WindowFullScreen))
        return;
    const QRect frame = outerGeometry();
    if (windowHandle() && windowHandle()->isExposed())
        normalFrame_ = frameMarginsNow();
    NormalTop = platform::KeepTwips(NormalTop, frame.top());
    NormalLeft = platform::KeepTwips(NormalLeft, frame.left());
    NormalHeight = platform::KeepTwips(NormalHeight, frame.height());
    NormalWidth = platform::KeepTwips(NormalWidth, frame.width());
}

void fMain::layoutLists()
{
    if (isMinimized())
        return;
    const QWidget *client = centralWidget();
    const int filterHeight = qMax(txtFilter->sizeHint().height(), chkAllCategories->sizeHint().height());
    const auto layout = mainwindow::LayoutLists(
        qint32(PixelsToTwips(client->width())), qint32(PixelsToTwips(client->height())),
        qint32(PixelsToTwips(filterHeight)), widths_[Slot(settings::ListWidth::CategoryList)]);
    if (!layout)
        return;
    auto boxOf = [](const mainwindow::Box &box) {
        return QRect(TwipsToPixels(box.Left), TwipsToPixels(box.Top), TwipsToPixels(box.Width),
                     TwipsToPixels(box.Height));
    };
    lvwCategory->setGeometry(boxOf(layout->Category));
    splLists->setGeometry(boxOf(layout->Split));
    lvwProjectList->setGeometry(boxOf(layout->Projects));
    // The check box keeps its own width at the right end of the filter row; the box takes the rest.
    const QRect row = boxOf(layout->Filter);
    const int boxWidth = qMin(row.width(), chkAllCategories->sizeHint().width());
    const int gap = TwipsToPixels(90);
    chkAllCategories->setGeometry(row.right() + 1 - boxWidth, row.top(), boxWidth, row.height());
    txtFilter->setGeometry(row.left(), row.top(), qMax(0, row.width() - boxWidth - gap), row.height());
}

void fMain::applyColumnWidths()
{
    const QScopedValueRollback sizing(sizingColumns_, true);
    for (int column = 0; column < lvwProjectList->model()->columnCount(); ++column)
        if (const std::optional<settings::ListWidth> which = WidthOfColumn(column))
            lvwProjectList->setColumnWidth(column, TwipsToPixels(widths_[Slot(*which)]));
}

settings::ListWidths fMain::changedWidths() const
{
    settings::ListWidths changed;
    for (size_t k = 0; k < changed.size(); ++k)
        if (widths_[k] != widthsAtStart_[k])
            changed[k] = widths_[k];
    return changed;
}

bool fMain::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == windowHandle() && event->type() == QEvent::Expose) {
        settlePlacement();
    } else if (watched == centralWidget() && event->type() == QEvent::Resize) {
        layoutLists();
    } else if (event->type() == QEvent::MouseButtonPress
               && (watched == lvwCategory->viewport() || watched == lvwProjectList->viewport())) {
        auto *mouse = static_cast<QMouseEvent *>(event);
        if (mouse->button() == Qt::RightButton) {
            showContextMenu(watched == lvwCategory->viewport() ? lvwCategory : lvwProjectList,
                            mouse->position().toPoint());
            return true;
        }
    } else if (watched == txtFilter && event->type() == QEvent::KeyPress
               && static_cast<QKeyEvent *>(event)->key() == Qt::Key_Down && lvwProjectList->RowCount() > 0) {
        // Down from the filter box goes to the rows found, the first one chosen when none is.
        lvwProjectList->setFocus(Qt::TabFocusReason);
        if (lvwProjectList->SelectedRow() == 0)
            selectListedRow(1);
        return true;
    } else if (watched == lvwProjectList && (event->type() == QEvent::FocusOut || event->type() == QEvent::FocusIn)) {
        // Menus and dialogs borrow the focus; only a move to another control counts.
        const Qt::FocusReason reason = static_cast<QFocusEvent *>(event)->reason();
        if (reason != Qt::PopupFocusReason && reason != Qt::MenuBarFocusReason
            && reason != Qt::ActiveWindowFocusReason)
            commands_.ProjectListFocusChanged(event->type() == QEvent::FocusIn);
    }
    return QMainWindow::eventFilter(watched, event);
}

// ---- list procedures ----

void fMain::updateEntryStates()
{
    const CatalogueCommands::EntryStates states = commands_.States();
    mnuCtgDel->setEnabled(states.CategoryEntries);
    mnuCtgEdit->setEnabled(states.CategoryEntries);
    mnuProjectAdd->setEnabled(states.ProjectAdd);
    for (QAction *action : {mnuProjectEdit, mnuProjectDel, mnuProjectMove, mnuProjectMakeExe, mnuProjectFolder,
                            mnuProjectOpen, mnuProjectExe})
        action->setEnabled(states.ProjectEntries);
}

void fMain::showSelection()
{
    const catalogue::CatalogueState &state = State();
    if (!projectModel_.ShowsAllCategories() && projectModel_.ShownCategory() != state.Current())
        projectModel_.ShowCategory(state.Current());
    lvwCategory->ShowSelected(state.CurrentCategory);
    lvwProjectList->ShowSelected(filterModel_.RowOf({state.CurrentCategory, state.CurrentProject}));
}

void fMain::selectListedRow(qint32 row)
{
    const catalogue::ProjectListModel::Entry entry = filterModel_.EntryAt(row);
    if (entry.Category != 0 && entry.Category != State().CurrentCategory)
        commands_.SelectEntry(entry.Category, entry.Project);
    else
        commands_.SelectProject(entry.Project);
}

void fMain::applyFilter()
{
    filterModel_.SetText(txtFilter->text());
    // A long list is narrowed on a worker: its rows are judged when they are known.
    if (!filterModel_.Narrowing())
        keepCurrentListed();
}

void fMain::keepCurrentListed()
{
    // Only a highlighted row is current: a project the text hides is current no more.
    const catalogue::CatalogueState &state = State();
    const qint32 row = filterModel_.RowOf({state.CurrentCategory, state.CurrentProject});
    if (state.CurrentProject != 0 && row == 0)
        commands_.SelectProject(0);
    else
        lvwProjectList->ShowSelected(row);
}

void fMain::showAllCategories(bool all)
{
    {
        // The status column stops or starts being the last one: the view sizes it anew.
        const QScopedValueRollback sizing(sizingColumns_, true);
        if (all)
            projectModel_.ShowAllCategories();
        else
            projectModel_.ShowCategory(State().Current());
    }
    applyColumnWidths();
    applyFilter();
}

namespace {

// The listed projects the watch covers, and the folders their files lie in.
void ListedProjects(const catalogue::ProjectFilterModel &filter, const catalogue::ProjectListModel &projects,
                    std::vector<std::weak_ptr<catalogue::ProjectRecord>> *records, QStringList *folders)
{
    const int rows = qMin(filter.rowCount(), kWatchedRows);
    // The watch takes the first folders it can hold: the rest are not worth making.
    QSet<QString> distinct;
    qsizetype counted = 0;
    for (int row = 0; row < rows && (!folders || distinct.size() < catalogue::FolderWatch::kMaxFolders); ++row) {
        const int source = filter.mapToSource(filter.index(row, 0)).row();
        const catalogue::ProjectRecord *record = projects.RecordAt(source);
        if (!record)
            continue;
        if (records)
            records->push_back(projects.SharedAt(source));
        if (folders) {
            folders->append(mFunction::GetFolderName(record->File()));
            if (record->sources)
                *folders += catalogue::SourceFoldersOf(record->File(), *record->sources);
            for (qsizetype i = counted; i < folders->size(); ++i)
                if (!folders->at(i).isEmpty())
                    distinct.insert(folders->at(i));
            counted = folders->size();
        }
    }
}

} // namespace

void fMain::updateWatch()
{
    QStringList folders;
    ListedProjects(filterModel_, projectModel_, nullptr, &folders);
    folderWatch_.Watch(folders);
}

void fMain::refreshShown()
{
    std::vector<std::weak_ptr<catalogue::ProjectRecord>> records;
    ListedProjects(filterModel_, projectModel_, &records, nullptr);
    catalogue::ProjectReader::Instance().Refresh(records, true);
}

void fMain::ResetSelection() { commands_.ResetSelection(); }

void fMain::ShowProjectList()
{
    if (!projectModel_.ShowsAllCategories())
        projectModel_.ShowCategory(State().Current());
    lvwProjectList->ShowSelected(0);
}

void fMain::ClickCategoryRow(qint32 row) { commands_.SelectCategory(row); }

void fMain::ClickProjectRow(qint32 row) { commands_.SelectProject(row); }

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

void fMain::AddDroppedFiles(const QStringList &files) { commands_.AddDroppedFiles(files); }

void fMain::showContextMenu(ReportListView *list, const QPoint &viewportPos)
{
    // The row under the pointer is selected first, as every list does; empty space selects none.
    const qint32 row = list->RowAt(viewportPos);
    if (list == lvwCategory) {
        if (row)
            commands_.SelectCategory(row);
        mnuCategory->exec(list->viewport()->mapToGlobal(viewportPos));
    } else {
        selectListedRow(row);
        mnuProject->exec(list->viewport()->mapToGlobal(viewportPos));
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

void fMain::updateCaption() { setWindowTitle(commands_.WindowCaption()); }

// ---- catalogue commands ----

void fMain::LoadCatalogue(bool showProgress) { commands_.LoadCatalogue(showProgress); }

bool fMain::SaveCatalogue()
{
    if (State().CatalogueFilePath.isEmpty())
        return SaveCatalogueAs();
    return commands_.SaveCatalogue();
}

void fMain::NewCatalogue() { commands_.NewCatalogue(); }

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
    commands_.OpenCatalogue(dialog.FileName());
}

QString fMain::askCatalogueFileToSave()
{
    cCommonDlg dialog;
    prepareCatalogueDialog(dialog, QStringLiteral("ﾃﾞｰﾀﾌｧｲﾙの保存"));
    dialog.SetFileName(State().CatalogueFilePath);
    dialog.ShowSave();
    return dialog.CancelButton() ? QString() : dialog.FileName();
}

bool fMain::SaveCatalogueAs()
{
    const QString path = askCatalogueFileToSave();
    return !path.isEmpty() && commands_.SaveCatalogueAs(path);
}

// ---- category commands ----

void fMain::AddCategory() { commands_.AddCategory(); }

void fMain::RenameCategory() { commands_.RenameCategory(); }

void fMain::DeleteCategory() { commands_.DeleteCategory(); }

// ---- project commands ----

void fMain::AddProjects()
{
    if (!State().Current())
        return;
    cCommonDlg dialog;
    const QString &folder = settings::Values().LastProjectFolder;
    dialog.Prepare(this, QStringLiteral("ﾌﾟﾛｼﾞｪｸﾄの追加"), QStringLiteral("VB Project Files (*.vbp;*.vbg)|*.vbp;*.vbg"), 1,
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

void fMain::DeleteSelectedProject() { commands_.DeleteSelectedProject(); }

void fMain::EditSelectedProject()
{
    const catalogue::cVbAnalyze *category = State().Current();
    if (!category || State().CurrentProject < 1 || State().CurrentProject > category->Count())
        return;
    commands_.HoldFollowing();
    const bool edited = fEdit::Run(this);
    commands_.ReleaseFollowing();
    if (edited)
        commands_.ProjectEdited();
}

void fMain::MoveSelectedProject()
{
    const catalogue::cVbAnalyze *category = State().Current();
    if (!category || State().CurrentProject < 1 || State().CurrentProject > category->Count())
        return;
    // The row is gone after a move: nothing is selected until the user picks a row again.
    commands_.HoldFollowing();
    const bool moved = fMove::Run(this);
    commands_.ReleaseFollowing();
    if (moved)
        commands_.ProjectMovedAway();
}

void fMain::ShowOptions() { fOption::Run(this); }

void fMain::OpenReadMe()
{
    ProjectActions::OpenTarget(platform::JoinPath(platform::ExecutableFolder(), QStringLiteral("readme.txt")));
}

void fMain::ShowVersion()
{
    fAbout dialog;
    dialog.exec();
}
