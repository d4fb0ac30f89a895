#pragma once

#include "platform/ChangeNotifier.h"
#include "platform/FileSystem.h"
#include "platform/IniStore.h"

#include <QObject>
#include <QThreadPool>
#include <QTimer>

#include <memory>

namespace catalogue {

// Tells when the catalogue file differs from what this run last read or wrote: the file and its
// folder are watched (an atomic replace gives the file a new inode), and the file is looked at once
// a second besides, since a folder shared from another machine tells of no change. Every look is a
// stat, and a changed file is read and parsed, on a worker: a stuck network folder never holds the
// window.
class CatalogueWatch : public QObject {
    Q_OBJECT
public:
    static constexpr int kPollMs = 1000;
    static constexpr int kSettleMs = 100;

    explicit CatalogueWatch(QObject *parent = nullptr);
    ~CatalogueWatch() override;

    // Watches this file (none when empty); known: how it stood when this run last read or wrote it.
    void Watch(const QString &file);
    // Looks at the file soon, against how this run last knew it.
    void CheckSoon();

Q_SIGNALS:
    // The file no longer stands as known: what a read found (status, stamp, document).
    void Differs(platform::IniRead read);

private:
    void check();
    void rewatch();

    QString file_;
    platform::ChangeNotifier notifier_;
    QTimer settle_;
    QTimer poll_;
    QThreadPool pool_;
    bool looking_ = false;
    bool again_ = false;
    // Results of a look that ends after the watch went (or moved to another file) are dropped.
    int generation_ = 0;
};

} // namespace catalogue
