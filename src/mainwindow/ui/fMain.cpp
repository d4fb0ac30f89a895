#include "mainwindow/ui/fMain.h"

#include "catalogue/cVbAnalyze.h"
#include "mainwindow/ui/CatalogueHandOver.h"
#include "mainwindow/ui/BuildCommands.h"
#include "mainwindow/ui/ColumnWidths.h"
#include "mainwindow/ui/MainLists.h"
#include "mainwindow/ui/MainMenus.h"
#include "mainwindow/ui/ProjectListView.h"
#include "settings/Settings.h"
#include "platform/Twips.h"
#include "support/ui/WidgetUserInterface.h"
#include "tooling/mFunction.h"
#include "tooling/mMain.h"

#include <QApplication>
#include <QCloseEvent>
#include <QMenuBar>
#include <QWindow>
#include <QWindowStateChangeEvent>

using catalogue::State;
using platform::TwipsToPixels;

namespace {

constexpr qint32 kInitialClientWidthTwips = 9030;
constexpr qint32 kInitialClientHeightTwips = 6300;
// The rows whose folders are watched for changes: those a user can reach by scrolling a while.
constexpr int kWatchedRows = 2000;

// The listed projects the watch covers: their records, or what the watch needs of them.
void ListedProjects(const catalogue::ProjectFilterModel &filter, const catalogue::ProjectListModel &projects,
                    std::vector<std::weak_ptr<catalogue::ProjectRecord>> *records,
                    std::vector<catalogue::FolderWatch::Project> *watched)
{
    const int rows = qMin(filter.rowCount(), kWatchedRows);
    for (int row = 0; row < rows; ++row) {
        const int source = filter.mapToSource(filter.index(row, 0)).row();
        const catalogue::ProjectRecord *record = projects.RecordAt(source);
        if (!record)
            continue;
        if (records)
            records->push_back(projects.SharedAt(source));
        if (watched)
            watched->push_back({record->StoredFile(), record->sources});
    }
}

} // namespace

// Message boxes and input boxes over the main window; the progress window centred on it.
class fMain::MainUserInterface : public ui::WidgetUserInterface {
public:
    explicit MainUserInterface(fMain *owner) : ui::WidgetUserInterface(owner), owner_(owner) {}
    void ShowProgress(const QString &caption) override { owner_->showProgress(caption); }
    void HideProgress() override { owner_->hideProgress(); }
    QString AskCatalogueFileToSave() override { return owner_->menus_->AskCatalogueFileToSave(); }

private:
    fMain *owner_;
};

fMain::fMain(QWidget *parent) : QMainWindow(parent), userInterface_(std::make_unique<MainUserInterface>(this))
{
    setWindowTitle(QStringLiteral("ZARUN"));
    commands_.SetReader(&reader_);
    menus_ = new MainMenus(this, commands_);
    lists_ = new MainLists(this, categoryModel_, projectModel_, filterModel_, commands_);
    setCentralWidget(lists_);
    lists_->SetContextMenus(menus_->mnuCategory, menus_->mnuProject);
    menus_->BindListKeys(lists_->lvwCategory(), lists_->lvwProjectList());
    handOver_ = new CatalogueHandOver(this, commands_, progress_);
    commands_.SetBuildQueue(&Builds().Queue());
    wireEvents();
    commands_.ResetSelection();
    menus_->UpdateEntryStates();
    resize(TwipsToPixels(kInitialClientWidthTwips),
           TwipsToPixels(kInitialClientHeightTwips) + menuBar()->sizeHint().height());
}

fMain::~fMain()
{
    lists_->StopWatching();
    if (&ui::Current() == userInterface_.get())
        ui::SetCurrent(nullptr);
}

ui::UserInterface &fMain::UserInterface() { return *userInterface_; }

BuildCommands &fMain::Builds() { return menus_->Builds(); }

void fMain::SetCommandLineCatalogue(const QString &path) { handOver_->SetCommandLineCatalogue(path); }

void fMain::DeferStartCatalogue() { handOver_->DeferStart(); }

void fMain::OpenRequested(const QString &path) { handOver_->OpenRequested(path); }

bool fMain::SaveCatalogue() { return menus_->SaveCatalogue(); }

void fMain::wireEvents()
{
    connect(lists_, &MainLists::DoubleClickAction, menus_, &MainMenus::RunDoubleClickAction);

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
    connect(&catalogue::State(), &catalogue::CatalogueState::ProjectsScanned, this, listChanged);
    connect(&folderWatch_, &catalogue::FolderWatch::Changed, this, [this] { refreshShown(); });
    connect(&folderWatch_, &catalogue::FolderWatch::LimitReached, this, [this] {
        lists_->ShowNotice(QStringLiteral("ﾌｫﾙﾀﾞの監視数が上限に達したため、一部のﾌﾟﾛｼﾞｪｸﾄの変更は"
                                          "ｳｨﾝﾄﾞｳをｱｸﾃｨﾌﾞにしたときに確認します。"));
    });
    // Back from another program: the user may have edited or built a project there.
    connect(qApp, &QGuiApplication::applicationStateChanged, this, [this](Qt::ApplicationState state) {
        if (returnFromElsewhere_.Returned(state))
            reader_.RefreshAll();
    });

    connect(&commands_, &CatalogueCommands::EntryStatesChanged, menus_, &MainMenus::UpdateEntryStates);
    connect(&commands_, &CatalogueCommands::SelectionChanged, lists_, &MainLists::ShowSelection);
    connect(&commands_, &CatalogueCommands::CaptionChanged, this,
            [this] { setWindowTitle(commands_.WindowCaption()); });
    connect(&commands_, &CatalogueCommands::Notice, this, [this](const QString &text, bool important) {
        if (important)
            handOver_->Tell(text);
        else
            lists_->ShowNotice(text);
    });
}

// ---- start-up and shut-down ----

void fMain::Form_Load()
{
    commands_.ResetSelection();
    settings::SettingsValues &values = settings::Values();
    values.SettingsFilePath = settings::DefaultSettingsFilePath();
    settings::EnsureSettingsFile(values.SettingsFilePath);
    placement_.Start(values.SettingsFilePath);
    settings::ReadValues(values.SettingsFilePath);
    lists_->Widths().Read(values.SettingsFilePath);
    lists_->Lay();
    // The desktop's association is asked only when the options name no IDE command.
    mMain::VbIdePath = values.IdeCommand.isEmpty() ? mMain::GetVbIdePath() : values.IdeCommand;
    handOver_->Start(values.StartupCatalogue);
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
    handOver_->Close();
    const QString &file = settings::Values().SettingsFilePath;
    if (!file.isEmpty())
        settings::WriteSettings(file, placement_.ForSettings(), lists_->Widths().Changed());
    // Every change is in the catalogue file already: closing writes none.
}

// ---- placement ----

void fMain::resizeEvent(QResizeEvent *event)
{
    QMainWindow::resizeEvent(event);
    placement_.RecordNormal();
}

void fMain::changeEvent(QEvent *event)
{
    QMainWindow::changeEvent(event);
    if (event->type() != QEvent::WindowStateChange)
        return;
    placement_.StateChanged(static_cast<QWindowStateChangeEvent *>(event)->oldState());
    lists_->Lay();
    placement_.Settle();
}

void fMain::showEvent(QShowEvent *event)
{
    QMainWindow::showEvent(event);
    // Exposure is told to the window, not the widget.
    if (QWindow *window = windowHandle())
        window->installEventFilter(this);
}

bool fMain::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == windowHandle() && event->type() == QEvent::Expose)
        placement_.Settle();
    return QMainWindow::eventFilter(watched, event);
}

// ---- the watch on the listed projects ----

void fMain::updateWatch()
{
    std::vector<catalogue::FolderWatch::Project> watched;
    ListedProjects(filterModel_, projectModel_, nullptr, &watched);
    folderWatch_.WatchProjects(std::move(watched));
}

void fMain::refreshShown()
{
    std::vector<std::weak_ptr<catalogue::ProjectRecord>> records;
    ListedProjects(filterModel_, projectModel_, &records, nullptr);
    reader_.Refresh(records, true);
}

// ---- progress window ----

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
