#pragma once

#include <QObject>
#include <QPointer>
#include <QStringList>

#include <memory>

class CatalogueCommands;
class QTimer;
class QWidget;
class fMessage;
namespace catalogue {
class cVbAnalyze;
struct PreparedCatalogue;
}

// The catalogue handed to the main window: at start-up the command line's or the start-up one,
// and later the one another start of the program hands over. What would interrupt the user (a
// catalogue to open, an important message) waits until no dialog, menu or progress window is open;
// the start-up catalogue read meanwhile waits for no dialog or progress window to be open.
class CatalogueHandOver : public QObject {
    Q_OBJECT
public:
    // progress: the window's progress window while shown.
    CatalogueHandOver(QWidget *window, CatalogueCommands &commands, const QPointer<fMessage> &progress);
    ~CatalogueHandOver() override;

    void SetCommandLineCatalogue(const QString &path) { commandLineCatalogue_ = path; }
    // Start then leaves the start-up catalogue to a worker thread and opens it once read,
    // so that the window shows and answers while a large file is parsed; a large file's first
    // category is shown first, from the file's first bytes.
    void DeferStart() { deferStart_ = true; }
    // Opens the command line's catalogue, or else the start-up catalogue of the options.
    void Start(const QString &startupCatalogue);
    // The window is closing: a start-up catalogue still being read is not opened.
    void Close() { closed_ = true; }

    // Opens a catalogue file as Open does; tells the user when it is not there.
    void OpenCatalogueFile(const QString &path, bool showProgress = true);
    // A later start of the program handed over a catalogue (or none): the window comes to the
    // front and opens it as soon as no dialog or menu is open.
    void OpenRequested(const QString &path);
    // A message box once nothing else is asked.
    void Tell(const QString &message);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    // The window's own first paint, and a menu opened at once, go before the first category's rows.
    static constexpr int kFirstAfterShownMs = 30;
    // The whole is read once the first category's rows are painted and a menu opened at once is
    // answered: the read's allocations hold the memory map, and with its processor taken the
    // window waited for a core, the X server and the paint's threads (at a million projects an
    // open stall of 56 ms at the median against 23; the fill ends about as much later as it waits).
    static constexpr int kWholeAfterFirstMs = 100;
    // Smaller files are read whole at once: at 10,000 projects (1.5 MB) waiting for the first
    // category took the fill from 1.2 to 1.9 times the floor's.
    static constexpr qint64 kWholeLaterBytes = qint64(4) << 20;
    static constexpr int kWholeAtLatestMs = 500;
    static void ReadWhole(const QPointer<CatalogueHandOver> &receiver, const QString &file);
    void readWhole();
    void showFirst();
    void takeFirst();
    void takeWhole();
    void openStart(const QString &startupCatalogue, bool showProgress);
    void startRead(catalogue::PreparedCatalogue prepared);
    void firstCategoryRead(const QString &file, std::unique_ptr<catalogue::cVbAnalyze> category);
    void openPending();

    QWidget *window_;
    CatalogueCommands &commands_;
    const QPointer<fMessage> &progress_;
    QString commandLineCatalogue_;
    bool deferStart_ = false;
    bool closed_ = false;
    QString pendingRequest_;
    QStringList pendingMessages_;
    QTimer *pendingTimer_ = nullptr;
    // A large catalogue's first category, read while the window shows, until it has shown.
    std::unique_ptr<catalogue::cVbAnalyze> first_;
    QString firstFile_;
    bool firstDue_ = false; // its moment came: taken as soon as nothing is open
    bool wholeAsked_ = false;
    std::shared_ptr<catalogue::PreparedCatalogue> whole_; // read, waiting for nothing to be open
};
