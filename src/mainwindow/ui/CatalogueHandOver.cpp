#include "mainwindow/ui/CatalogueHandOver.h"

#include "catalogue/CatalogueFile.h"
#include "catalogue/ProjectReader.h"
#include "catalogue/cVbAnalyze.h"
#include "mainwindow/CatalogueCommands.h"
#include "platform/FileSystem.h"
#include "platform/OffThread.h"
#include "tooling/UserInterface.h"
#include "tooling/ui/fMessage.h"
#include "tooling/mFunction.h"

#include <QAbstractEventDispatcher>
#include <QApplication>
#include <QFileInfo>
#include <QTimer>
#include <QWidget>
#include <QWindow>

#include <memory>
#include <utility>

using catalogue::State;

CatalogueHandOver::CatalogueHandOver(QWidget *window, CatalogueCommands &commands, const QPointer<fMessage> &progress)
    : QObject(window), window_(window), commands_(commands), progress_(progress)
{
}

CatalogueHandOver::~CatalogueHandOver() = default;

void CatalogueHandOver::Start(const QString &startupCatalogue)
{
    const QString start = commandLineCatalogue_.isNull() ? startupCatalogue : commandLineCatalogue_;
    const QFileInfo info(start);
    if (!deferStart_ || !info.isFile()) {
        openStart(startupCatalogue, true);
        return;
    }
    // The window may be gone before a slow read ends: the results go through the application,
    // which waits for the pool's threads, and find the receiver only if it is still there. At normal
    // priority: a thread that yields would keep the catalogue read-only, and the end waiting, for as
    // long as another program keeps the processors busy.
    // A whole that is read in less than the first category waits is read at once (the fill would wait).
    const bool wholeLater = info.size() > kWholeLaterBytes;
    wholeAsked_ = !wholeLater;
    platform::Workers().start([receiver = QPointer<CatalogueHandOver>(this), start, wholeLater] {
        auto first = std::make_shared<std::unique_ptr<catalogue::cVbAnalyze>>(catalogue::PrepareFirstCategory(start));
        if (*first) {
            QMetaObject::invokeMethod(qApp, [receiver, start, first] {
                if (receiver)
                    receiver->firstCategoryRead(start, std::move(*first));
            }, Qt::QueuedConnection);
            if (wholeLater)
                return; // once the first category is on screen (readWhole)
        }
        ReadWhole(receiver, start);
    });
}

void CatalogueHandOver::ReadWhole(const QPointer<CatalogueHandOver> &receiver, const QString &file)
{
    auto prepared = std::make_shared<catalogue::PreparedCatalogue>(catalogue::PrepareCatalogue(file));
    QMetaObject::invokeMethod(qApp, [receiver, prepared] {
        if (receiver)
            receiver->startRead(std::move(*prepared));
    }, Qt::QueuedConnection);
}

void CatalogueHandOver::readWhole()
{
    if (wholeAsked_ || closed_)
        return;
    wholeAsked_ = true;
    platform::Workers().start([receiver = QPointer<CatalogueHandOver>(this), file = firstFile_] { ReadWhole(receiver, file); });
}

void CatalogueHandOver::firstCategoryRead(const QString &file, std::unique_ptr<catalogue::cVbAnalyze> category)
{
    if (closed_ || !State().CatalogueFilePath.isEmpty())
        return;
    first_ = std::move(category);
    firstFile_ = file;
    // Read whole even if the first category cannot show soon (a dialog open, a window not exposed).
    QTimer::singleShot(kWholeAtLatestMs, this, &CatalogueHandOver::readWhole);
    // Its projects are looked at while it waits for the window, so that its rows show with their
    // executables and statuses; shown, they count as looked at (a look not done by then is redone).
    if (catalogue::ProjectReader *reader = commands_.Reader())
        reader->LookAhead(*first_);
    // Once the window is on screen (a window never shown, as in a test, does not hold it).
    QWindow *handle = window_->windowHandle();
    if (handle && handle->isExposed())
        QTimer::singleShot(kFirstAfterShownMs, this, &CatalogueHandOver::showFirst);
    else if (handle)
        handle->installEventFilter(this);
    else
        showFirst();
}

void CatalogueHandOver::showFirst()
{
    firstDue_ = true;
    openPending();
}

void CatalogueHandOver::takeFirst()
{
    firstDue_ = false;
    std::unique_ptr<catalogue::cVbAnalyze> first = std::move(first_);
    if (!first || closed_ || !State().CatalogueFilePath.isEmpty())
        return;
    State().CatalogueFilePath = firstFile_;
    commands_.ShowFirstCategory(std::move(first));
    QTimer::singleShot(kWholeAfterFirstMs, this, &CatalogueHandOver::readWhole);
}

bool CatalogueHandOver::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::Expose && watched == window_->windowHandle()) {
        watched->removeEventFilter(this);
        // Counted from when the loop first waits: a slow first paint, and the input that came
        // meanwhile, are through by then.
        auto *dispatcher = QAbstractEventDispatcher::instance();
        auto idle = std::make_shared<QMetaObject::Connection>();
        *idle = connect(dispatcher, &QAbstractEventDispatcher::aboutToBlock, this, [this, idle] {
            disconnect(*idle);
            QTimer::singleShot(kFirstAfterShownMs, this, &CatalogueHandOver::showFirst);
        });
    }
    return QObject::eventFilter(watched, event);
}

void CatalogueHandOver::startRead(catalogue::PreparedCatalogue prepared)
{
    first_.reset(); // not shown yet: the whole goes in its place
    whole_ = std::make_shared<catalogue::PreparedCatalogue>(std::move(prepared));
    openPending();
}

void CatalogueHandOver::takeWhole()
{
    catalogue::PreparedCatalogue prepared = std::move(*std::exchange(whole_, nullptr));
    // Closed meanwhile, or the user already opened or started another catalogue (the first category
    // shown meanwhile aside).
    const catalogue::CatalogueState &state = State();
    if (closed_ || (!state.CatalogueFilePath.isEmpty()
                    && (state.File != catalogue::CatalogueState::FileState::Reading
                        || state.CatalogueFilePath != prepared.read.file)))
        return;
    State().CatalogueFilePath = prepared.read.file;
    commands_.LoadCatalogue(std::move(prepared));
}

void CatalogueHandOver::openStart(const QString &startupCatalogue, bool showProgress)
{
    if (!commandLineCatalogue_.isNull()) {
        OpenCatalogueFile(commandLineCatalogue_, showProgress);
    } else if (mFunction::FileExists(startupCatalogue)) {
        State().CatalogueFilePath = startupCatalogue;
        commands_.LoadCatalogue(showProgress);
    }
}

void CatalogueHandOver::OpenCatalogueFile(const QString &path, bool showProgress)
{
    if (!QFileInfo(path).isFile()) {
        ui::Current().Message(path + QStringLiteral(" が存在しません。"));
        return;
    }
    State().CatalogueFilePath = path;
    commands_.LoadCatalogue(showProgress);
}

void CatalogueHandOver::OpenRequested(const QString &path)
{
    if (window_->isMinimized())
        window_->setWindowState(window_->windowState() & ~Qt::WindowMinimized);
    window_->raise();
    window_->activateWindow();
    // The catalogue shown already (a double click on it in the file manager): the window is enough.
    if (path.isEmpty() || platform::SameFile(path, State().CatalogueFilePath))
        return;
    pendingRequest_ = path;
    openPending();
}

void CatalogueHandOver::Tell(const QString &message)
{
    pendingMessages_.append(message);
    openPending();
}

void CatalogueHandOver::openPending()
{
    // Not under an open dialog, which may hold a category of the lists, nor during a change's write:
    // its commit would put the written catalogue's document back over the new one.
    const bool dialog = QApplication::activeModalWidget() || progress_ || catalogue::ChangeBeingWritten();
    if (!dialog && whole_)
        takeWhole();
    else if (!dialog && firstDue_)
        takeFirst();
    // What interrupts the user, or opens another catalogue, waits for an open menu too.
    if (dialog || QApplication::activePopupWidget()) {
        if (!pendingTimer_) {
            pendingTimer_ = new QTimer(this);
            pendingTimer_->setSingleShot(true);
            pendingTimer_->setInterval(200);
            connect(pendingTimer_, &QTimer::timeout, this, &CatalogueHandOver::openPending);
        }
        if (whole_ || firstDue_ || !pendingMessages_.isEmpty() || !pendingRequest_.isNull())
            pendingTimer_->start();
        return;
    }
    for (const QString &message : std::exchange(pendingMessages_, {}))
        ui::Current().Message(message);
    if (!pendingRequest_.isNull())
        OpenCatalogueFile(std::exchange(pendingRequest_, QString()));
}
