#include "catalogue/CatalogueWatch.h"

#include "catalogue/cVbAnalyze.h"

#include <QFileInfo>

namespace catalogue {

CatalogueWatch::CatalogueWatch(QObject *parent) : QObject(parent)
{
    pool_.setMaxThreadCount(1);
    settle_.setSingleShot(true);
    settle_.setInterval(kSettleMs);
    connect(&settle_, &QTimer::timeout, this, &CatalogueWatch::check);
    poll_.setInterval(kPollMs);
    connect(&poll_, &QTimer::timeout, this, &CatalogueWatch::check);
    const auto changed = [this] {
        rewatch();
        settle_.start();
    };
    connect(&notifier_, &platform::ChangeNotifier::Changed, this, changed);
}

CatalogueWatch::~CatalogueWatch()
{
    generation_ += 1;
    pool_.clear();
    pool_.waitForDone();
}

void CatalogueWatch::Watch(const QString &file)
{
    if (file == file_)
        return;
    generation_ += 1;
    looking_ = false;
    again_ = false;
    for (const QString &path : notifier_.Paths())
        notifier_.Remove(path);
    file_ = file;
    if (file_.isEmpty()) {
        poll_.stop();
        settle_.stop();
        return;
    }
    rewatch();
    poll_.start();
}

void CatalogueWatch::rewatch()
{
    if (file_.isEmpty())
        return;
    // A replaced file is a new one to the system: the watch on the old one has gone with it.
    // Past the system's limit on watches nothing is watched, silently: the poll still looks.
    notifier_.AddFile(file_);
    notifier_.AddFolder(QFileInfo(file_).absolutePath());
}

void CatalogueWatch::CheckSoon()
{
    if (!file_.isEmpty())
        settle_.start();
}

void CatalogueWatch::check()
{
    if (file_.isEmpty())
        return;
    if (looking_) {
        again_ = true;
        return;
    }
    looking_ = true;
    const int generation = generation_;
    const platform::FileStamp known = State().Stamp;
    // A copy shares the mirrored document's data and only reads it: compared with what the worker
    // reads, so that following a large file leaves the window only the records to move.
    platform::IniDocument mirrored = State().Document;
    // The pool is this watch's own and is joined before it goes: the result finds it through the
    // queued call, which Qt drops once the watch is gone.
    pool_.start([this, file = file_, known, generation, mirrored = std::move(mirrored)] {
        std::optional<platform::IniRead> read;
        if (platform::StatFile(file) != known)
            read = platform::IniStore::Read(file, &mirrored);
        QMetaObject::invokeMethod(this, [this, read = std::move(read), generation]() mutable {
            if (generation_ != generation)
                return;
            looking_ = false;
            if (read)
                Q_EMIT Differs(std::move(*read));
            if (std::exchange(again_, false))
                check();
        }, Qt::QueuedConnection);
    });
}

} // namespace catalogue
