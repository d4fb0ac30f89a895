#include "catalogue/ProjectFilter.h"

#include "catalogue/SearchIndex.h"
#include "catalogue/cVbAnalyze.h"
#include "platform/OffThread.h"
#include "platform/Trace.h"
#include "tooling/mFunction.h"

#include <QTimer>

#include <algorithm>
#include <deque>
#include <mutex>
#include <utility>

namespace catalogue {

QString FoldForSearch(const QString &text)
{
    return text.normalized(QString::NormalizationForm_KC).toCaseFolded();
}

struct ProjectFilterModel::Found {
    quint64 serial = 0;
    quint64 revision = 0;
    std::vector<int> rows;
    // Rows found among the first partOf rows only: the rest are still being made into the index.
    int partOf = 0;
};

// The rows a search index is made of, copied on the window's thread (their bytes are shared, not
// copied) and made into the index a piece at a time, ahead of the first key or by the search that
// needs it. Only the worker touches rows and index once it is handed over.
struct ProjectFilterModel::Slot {
    int rowsAPiece = kRowsAPiece;
    std::vector<SearchIndex::Row> rows;
    SearchIndex index;
    bool made = false;
    // Searches queued for it: making it ahead gives way to them, they go on making it.
    std::atomic<int> waiting{0};
    // The list it is of is gone: none of it is made further.
    std::atomic<bool> dropped{false};
    // The last searches of this index, the latest last: a key typed looks only at the rows of the
    // search its text extends, a key erased finds its rows here. At most four times the rows in all.
    std::mutex mutex;
    std::deque<std::pair<QString, std::vector<int>>> recent;
};

std::vector<int> ProjectFilterModel::search(Slot &slot, const QString &folded)
{
    if (!makeIndex(slot, [] { return false; }))
        return {}; // of a list no longer shown
    const std::lock_guard lock(slot.mutex);
    const std::vector<int> *among = nullptr;
    for (const auto &[text, rows] : slot.recent) {
        if (text == folded)
            return rows;
        // Whatever holds the new text holds each piece of it.
        if (folded.contains(text) && (!among || rows.size() < among->size()))
            among = &rows;
    }
    // Row by row costs more a byte than one pass over the whole index: worth it for a few rows only.
    std::vector<int> rows = among && among->size() < size_t(slot.index.RowCount()) / 4
                                ? slot.index.MatchingAmong(folded, *among)
                                : slot.index.Matching(folded);
    slot.recent.emplace_back(folded, rows);
    size_t kept = 0;
    for (const auto &one : slot.recent)
        kept += one.second.size();
    while (slot.recent.size() > 1 && kept > 4 * size_t(slot.index.RowCount())) {
        kept -= slot.recent.front().second.size();
        slot.recent.pop_front();
    }
    return rows;
}

void ProjectFilterModel::makePiece(Slot &slot)
{
    const int end = int(std::min(slot.rows.size(), size_t(slot.index.RowCount()) + size_t(slot.rowsAPiece)));
    slot.index.Extend(slot.rows, end);
    if (size_t(end) == slot.rows.size()) {
        slot.made = true;
        slot.rows = {};
    }
}

bool ProjectFilterModel::makeIndex(Slot &slot, const std::function<bool()> &stop)
{
    while (!slot.made) {
        if (slot.dropped.load() || stop())
            return false;
        makePiece(slot);
    }
    return true;
}

void ProjectFilterModel::makeAhead(const std::shared_ptr<Slot> &slot)
{
    pool_.start([this, slot] {
        // Behind the searches waiting for it: they go on making it, a piece at a time.
        if (!makeIndex(*slot, [&slot] { return slot->waiting.load() > 0; }) && !slot->dropped.load())
            makeAhead(slot);
    });
}

void ProjectFilterModel::keepSlotOnly(std::shared_ptr<Slot> slot)
{
    if (slot_ && slot_ != slot) {
        slot_->dropped = true;
        // A million rows' index is a few hundred MB: given back elsewhere, not while the window
        // answers a tick.
        platform::FreeElsewhere(std::move(slot_));
    }
    slot_ = std::move(slot);
}

ProjectFilterModel::ProjectFilterModel(ProjectListModel *projects, QObject *parent)
    : QAbstractProxyModel(parent), projects_(projects), latest_(std::make_shared<std::atomic<quint64>>(0))
{
    // One search at a time: a later one finds the index the one before made.
    pool_.setMaxThreadCount(1);
    QAbstractProxyModel::setSourceModel(projects);
    connect(projects, &QAbstractItemModel::modelAboutToBeReset, this, &ProjectFilterModel::sourceAboutToBeReset);
    connect(projects, &QAbstractItemModel::modelReset, this, &ProjectFilterModel::sourceReset);
    connect(projects, &QAbstractItemModel::rowsAboutToBeInserted, this,
            &ProjectFilterModel::sourceRowsAboutToBeInserted);
    connect(projects, &QAbstractItemModel::rowsInserted, this, &ProjectFilterModel::sourceRowsInserted);
    connect(projects, &QAbstractItemModel::rowsAboutToBeRemoved, this,
            &ProjectFilterModel::sourceRowsAboutToBeRemoved);
    connect(projects, &QAbstractItemModel::rowsRemoved, this, &ProjectFilterModel::sourceRowsRemoved);
    connect(projects, &QAbstractItemModel::dataChanged, this, &ProjectFilterModel::sourceDataChanged);
    // The category column, shown with every category: the rows stay as they are.
    connect(projects, &QAbstractItemModel::columnsAboutToBeInserted, this,
            [this](const QModelIndex &, int first, int last) { beginInsertColumns(QModelIndex(), first, last); });
    connect(projects, &QAbstractItemModel::columnsInserted, this, [this] { endInsertColumns(); });
    connect(projects, &QAbstractItemModel::columnsAboutToBeRemoved, this,
            [this](const QModelIndex &, int first, int last) { beginRemoveColumns(QModelIndex(), first, last); });
    connect(projects, &QAbstractItemModel::columnsRemoved, this, [this] { endRemoveColumns(); });
    // A name or path changed: the index no longer tells how the rows read.
    connect(&projects->Catalogue(), &CatalogueState::ProjectChanged, this, [this] { ++revision_; });
    if (platform::trace::Enabled())
        connect(this, &ProjectFilterModel::Narrowed, this, [] { platform::trace::Mark("narrowed"); });
}

ProjectFilterModel::~ProjectFilterModel()
{
    keepSlotOnly(nullptr);
    latest_->fetch_add(1);
    pool_.clear();
    pool_.waitForDone();
}

void ProjectFilterModel::SetText(const QString &text)
{
    if (text == text_)
        return;
    text_ = text;
    const QString folded = FoldForSearch(text.trimmed());
    if (folded == folded_ && !narrowing_)
        return;
    folded_ = folded;
    narrow();
}

void ProjectFilterModel::narrow()
{
    latest_->fetch_add(1); // whatever search runs is overtaken
    narrowing_ = false;
    if (folded_.isEmpty()) {
        if (!inUse_)
            keepSlotOnly(nullptr); // the index is made again when the filter is next used
        if (narrowed_)
            relayout(false, {});
        Q_EMIT Narrowed();
        return;
    }
    if (projects_->rowCount() <= rowsAtOnce_) {
        relayout(true, narrowHere());
        Q_EMIT Narrowed();
        return;
    }
    narrowOnWorker();
}

std::vector<int> ProjectFilterModel::narrowHere()
{
    // The same index a long list is searched with, made here: a short list makes it at once.
    keepSlot();
    return search(*slot_, folded_);
}

void ProjectFilterModel::SetInUse(bool inUse)
{
    inUse_ = inUse;
    if (!inUse) {
        if (folded_.isEmpty())
            keepSlotOnly(nullptr);
        return;
    }
    if (projects_->rowCount() <= rowsAtOnce_ || (slot_ && slotRevision_ == revision_) || listing_)
        return;
    // Made while the user reaches for the keys, the rows copied a part a turn; a search queued
    // behind it finds it made.
    listStep();
}

void ProjectFilterModel::listRows(int count)
{
    if (!listing_ || listingRevision_ != revision_) {
        listing_ = std::make_shared<Slot>();
        listing_->rowsAPiece = rowsAPiece_;
        listing_->rows.reserve(size_t(projects_->rowCount()));
        listingRevision_ = revision_;
    }
    std::vector<SearchIndex::Row> &rows = listing_->rows;
    projects_->VisitRecords(int(rows.size()), count, [&rows](const ProjectRecord &record) {
        rows.emplace_back(record.StoredName(), record.StoredFile());
    });
}

bool ProjectFilterModel::takePrepared()
{
    const int rows = projects_->rowCount();
    if (rows <= rowsATurn_ || rows <= bufferAbove_)
        return true;
    if (prepared_ && prepared_->rows.capacity() >= size_t(rows)) {
        listing_ = std::move(prepared_);
        listing_->rowsAPiece = rowsAPiece_;
        listingRevision_ = revision_;
        return true;
    }
    if (preparing_)
        return false;
    // A million rows' copies are 64 MB: their pages are first touched here, off the window's
    // thread. Touched by the turns that copy the rows, new pages from a virtual machine's host took
    // a second of the window's thread after a tick (60 µs a page), in half the starts.
    preparing_ = true;
    pool_.start(
        [this, rows] {
            auto slot = std::make_shared<Slot>();
            slot->rows.reserve(size_t(rows));
            auto *bytes = reinterpret_cast<volatile unsigned char *>(slot->rows.data());
            for (size_t at = 0; at < size_t(rows) * sizeof(SearchIndex::Row); at += 4096)
                bytes[at] = 0;
            QMetaObject::invokeMethod(
                this,
                [this, slot = std::move(slot)]() mutable {
                    preparing_ = false;
                    prepared_ = std::move(slot);
                    listStep();
                    // Not taken (a key listed the rows first, or the box lost the focus): not held.
                    if (prepared_)
                        platform::FreeElsewhere(std::move(prepared_));
                },
                Qt::QueuedConnection);
        },
        1);
    return false;
}

void ProjectFilterModel::listStep()
{
    if (!inUse_ || (slot_ && slotRevision_ == revision_)) {
        listing_.reset();
        if (std::exchange(searchAfterListing_, false))
            narrowOnWorker();
        return;
    }
    if (listing_ && listingRevision_ != revision_) {
        // Rows came or went under it (a catalogue still coming in): begun again once they settle,
        // not a part a turn thrown away each time.
        listing_.reset();
        QTimer::singleShot(listAfterResetMs_, this, &ProjectFilterModel::listStep);
        return;
    }
    if (!listing_ && !takePrepared())
        return; // again once the worker has the buffer ready
    listRows(rowsATurn_);
    if (listing_->rows.size() < size_t(projects_->rowCount())) {
        QMetaObject::invokeMethod(this, &ProjectFilterModel::listStep, Qt::QueuedConnection);
        return;
    }
    keepSlotOnly(std::move(listing_));
    slotRevision_ = listingRevision_;
    if (std::exchange(searchAfterListing_, false))
        narrowOnWorker(); // the search makes the index, showing its first piece's rows first
    else
        makeAhead(slot_);
}

void ProjectFilterModel::keepSlot()
{
    if (slot_ && slotRevision_ == revision_)
        return;
    listRows(projects_->rowCount());
    keepSlotOnly(std::move(listing_));
    slotRevision_ = listingRevision_;
}

void ProjectFilterModel::narrowOnWorker()
{
    narrowing_ = true;
    if (!(slot_ && slotRevision_ == revision_) && inUse_
        && (preparing_ || (listing_ && listingRevision_ == revision_))) {
        // A listing under way: searched once it is done. The rest listed here at once, a million
        // rows' new pages held the window for a second.
        searchAfterListing_ = true;
        return;
    }
    keepSlot();
    const quint64 serial = latest_->load();
    ++slot_->waiting;
    pool_.start([this, slot = slot_, latest = latest_, serial, revision = revision_, folded = folded_] {
        --slot->waiting;
        const auto overtaken = [&latest, serial] { return latest->load() != serial; };
        const auto tell = [this](Found result) {
            QMetaObject::invokeMethod(this, [this, result = std::move(result)] { found(result); },
                                      Qt::QueuedConnection);
        };
        if (overtaken())
            return;
        if (!slot->made) {
            // A million rows take a while: what the first piece holds is shown meanwhile (no
            // more: its rows are searched and laid out while the rest is made).
            if (slot->index.RowCount() == 0)
                makePiece(*slot);
            if (!slot->made && !overtaken())
                tell(Found{serial, revision, slot->index.Matching(folded, slot->rowsAPiece), slot->rowsAPiece});
            if (!makeIndex(*slot, overtaken))
                return;
        }
        if (!overtaken())
            tell(Found{serial, revision, search(*slot, folded)});
    });
}

void ProjectFilterModel::found(const Found &result)
{
    if (result.serial != latest_->load())
        return;
    if (result.partOf > 0) {
        // Shown only where it drops no row the whole result may keep (a selected one among them),
        // and changes a row within the piece: one that keeps them all would only drop the rows past
        // it, and the whole result brings them back (the list laid out and painted twice for nothing).
        if (result.revision == revision_ && !dropsBeyond(result.partOf)
            && !keepsShownWithin(result.partOf, result.rows)) {
            relayout(true, result.rows);
            platform::trace::Mark("narrowed-first");
        }
        return;
    }
    if (result.revision != revision_) {
        narrowOnWorker(); // rows came or went meanwhile: their numbers moved
        return;
    }
    narrowing_ = false;
    relayout(true, result.rows);
    Q_EMIT Narrowed();
}

bool ProjectFilterModel::showsSame(bool narrowed, const std::vector<int> &rows) const
{
    // Every row, in order, whether narrowed or not: the first keys often match them all.
    const int all = projects_->rowCount();
    const auto everyRow = [all](bool isNarrowed, const std::vector<int> &shown) {
        return !isNarrowed || (int(shown.size()) == all && (shown.empty() || shown.back() == all - 1));
    };
    const bool before = everyRow(narrowed_, rows_);
    const bool after = everyRow(narrowed, rows);
    return before || after ? before && after : rows_ == rows;
}

void ProjectFilterModel::relayout(bool narrowed, std::vector<int> rows)
{
    if (projects_->rowCount() > 0 && showsSame(narrowed, rows)) {
        // The same rows in the same places: nothing for the view to lay out again. An empty list
        // is told all the same: its hint says what the text found.
        narrowed_ = narrowed;
        rows_ = std::move(rows);
        return;
    }
    // As a sorting proxy does: one layout change, the selection and current row kept by their entry.
    Q_EMIT layoutAboutToBeChanged();
    const QModelIndexList before = persistentIndexList();
    std::vector<QModelIndex> sources;
    sources.reserve(size_t(before.size()));
    for (const QModelIndex &index : before)
        sources.push_back(mapToSource(index));
    narrowed_ = narrowed;
    rows_ = std::move(rows);
    QModelIndexList after;
    after.reserve(before.size());
    for (const QModelIndex &source : sources)
        after.append(mapFromSource(source));
    changePersistentIndexList(before, after);
    Q_EMIT layoutChanged();
}

bool ProjectFilterModel::keepsShownWithin(int sourceRows, const std::vector<int> &rows) const
{
    if (!narrowed_) {
        const int within = std::min(sourceRows, projects_->rowCount());
        return int(rows.size()) == within && (rows.empty() || rows.back() == within - 1);
    }
    const auto end = std::lower_bound(rows_.begin(), rows_.end(), sourceRows);
    return std::equal(rows_.begin(), end, rows.begin(), rows.end());
}

bool ProjectFilterModel::dropsBeyond(int sourceRows) const
{
    const QModelIndexList kept = persistentIndexList();
    return std::any_of(kept.begin(), kept.end(),
                       [&](const QModelIndex &index) { return mapToSource(index).row() >= sourceRows; });
}

std::pair<qsizetype, qsizetype> ProjectFilterModel::span(int first, int last) const
{
    const auto begin = std::lower_bound(rows_.begin(), rows_.end(), first);
    const auto end = std::upper_bound(begin, rows_.end(), last);
    return {begin - rows_.begin(), end - rows_.begin()};
}

void ProjectFilterModel::sourceAboutToBeReset()
{
    beginResetModel();
}

void ProjectFilterModel::sourceReset()
{
    ++revision_;
    rows_.clear();
    keepSlotOnly(nullptr); // another list: its index is made anew, the old one not held meanwhile
    if (!folded_.isEmpty()) {
        // Another category or catalogue: searched anew, the list empty until its rows are known.
        latest_->fetch_add(1);
        narrowed_ = true;
        if (projects_->rowCount() <= rowsAtOnce_) {
            narrowing_ = false;
            rows_ = narrowHere();
        } else {
            narrowOnWorker();
        }
    } else if (inUse_ && projects_->rowCount() > rowsAtOnce_) {
        // Every category ticked with the filter in use: its index made while the user reaches
        // for the keys, once the tick is answered (its rows shown first, the cores free for it).
        QTimer::singleShot(listAfterResetMs_, this, &ProjectFilterModel::listStep);
    }
    endResetModel();
}

void ProjectFilterModel::sourceRowsAboutToBeInserted(const QModelIndex &, int first, int last)
{
    if (!narrowed_)
        beginInsertRows(QModelIndex(), first, last);
}

void ProjectFilterModel::sourceRowsInserted(const QModelIndex &, int first, int last)
{
    ++revision_;
    if (!narrowed_) {
        endInsertRows();
        return;
    }
    const int count = last - first + 1;
    const qsizetype at = span(first, first).first;
    for (auto it = rows_.begin() + at; it != rows_.end(); ++it)
        *it += count;
    // New rows are judged at once: they are few, and a row the user just added must not vanish.
    std::vector<SearchIndex::Row> added;
    for (int row = first; row <= last; ++row) {
        const ProjectRecord *record = projects_->RecordAt(row);
        added.emplace_back(record ? record->StoredName() : platform::StoredText(),
                           record ? record->StoredFile() : platform::StoredText());
    }
    std::vector<int> kept = SearchIndex::Make(added).Matching(folded_);
    for (int &row : kept)
        row += first;
    if (kept.empty())
        return;
    beginInsertRows(QModelIndex(), int(at), int(at + qsizetype(kept.size())) - 1);
    rows_.insert(rows_.begin() + at, kept.begin(), kept.end());
    endInsertRows();
}

void ProjectFilterModel::sourceRowsAboutToBeRemoved(const QModelIndex &, int first, int last)
{
    if (!narrowed_) {
        beginRemoveRows(QModelIndex(), first, last);
        return;
    }
    removing_ = span(first, last);
    if (removing_.first < removing_.second)
        beginRemoveRows(QModelIndex(), int(removing_.first), int(removing_.second) - 1);
}

void ProjectFilterModel::sourceRowsRemoved(const QModelIndex &, int first, int last)
{
    ++revision_;
    if (!narrowed_) {
        endRemoveRows();
        return;
    }
    const auto [from, to] = std::exchange(removing_, {0, 0});
    const int count = last - first + 1;
    rows_.erase(rows_.begin() + from, rows_.begin() + to);
    for (auto it = rows_.begin() + from; it != rows_.end(); ++it)
        *it -= count;
    if (from < to)
        endRemoveRows();
}

void ProjectFilterModel::sourceDataChanged(const QModelIndex &topLeft, const QModelIndex &bottomRight,
                                           const QList<int> &roles)
{
    // Rows stay where a change of their status or name leaves them until the text changes.
    if (!narrowed_) {
        Q_EMIT dataChanged(index(topLeft.row(), topLeft.column()), index(bottomRight.row(), bottomRight.column()),
                           roles);
        return;
    }
    const auto [from, to] = span(topLeft.row(), bottomRight.row());
    if (from < to)
        Q_EMIT dataChanged(index(int(from), topLeft.column()), index(int(to) - 1, bottomRight.column()), roles);
}

// Asked for every row a view lays out (a million after a tick): the counts read inline.
QModelIndex ProjectFilterModel::index(int row, int column, const QModelIndex &parent) const
{
    if (row < 0 || column < 0 || row >= shownRows() || column >= projects_->Columns() || parent.isValid())
        return QModelIndex();
    return createIndex(row, column);
}

QModelIndex ProjectFilterModel::parent(const QModelIndex &) const { return QModelIndex(); }

int ProjectFilterModel::rowCount(const QModelIndex &parent) const
{
    if (parent.isValid())
        return 0;
    return shownRows();
}

// Flat: asked for every row a view lays out, so answered without the source.
bool ProjectFilterModel::hasChildren(const QModelIndex &parent) const { return !parent.isValid() && rowCount() > 0; }

// Asked twice for every row a view lays out: answered without mapping to the source.
Qt::ItemFlags ProjectFilterModel::flags(const QModelIndex &index) const
{
    return index.isValid() && index.model() == this ? ProjectListModel::kRowFlags : Qt::NoItemFlags;
}

int ProjectFilterModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : projects_->Columns();
}

QModelIndex ProjectFilterModel::mapToSource(const QModelIndex &proxyIndex) const
{
    if (!proxyIndex.isValid() || proxyIndex.model() != this)
        return QModelIndex();
    const int row = proxyIndex.row();
    if (narrowed_ && size_t(row) >= rows_.size())
        return QModelIndex();
    return projects_->index(narrowed_ ? rows_[size_t(row)] : row, proxyIndex.column());
}

QModelIndex ProjectFilterModel::mapFromSource(const QModelIndex &sourceIndex) const
{
    if (!sourceIndex.isValid())
        return QModelIndex();
    int row = sourceIndex.row();
    if (narrowed_) {
        const auto it = std::lower_bound(rows_.begin(), rows_.end(), row);
        if (it == rows_.end() || *it != row)
            return QModelIndex();
        row = int(it - rows_.begin());
    }
    return index(row, sourceIndex.column());
}

QVariant ProjectFilterModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    return orientation == Qt::Horizontal ? projects_->headerData(section, orientation, role) : QVariant();
}

ProjectListModel::Entry ProjectFilterModel::EntryAt(qint32 row) const
{
    const QModelIndex source = mapToSource(index(row - 1, 0));
    return source.isValid() ? projects_->EntryAt(source.row()) : ProjectListModel::Entry();
}

qint32 ProjectFilterModel::RowOf(const ProjectListModel::Entry &entry) const
{
    const int row = projects_->RowOf(entry);
    if (row < 0)
        return 0;
    const QModelIndex proxy = mapFromSource(projects_->index(row, 0));
    return proxy.isValid() ? proxy.row() + 1 : 0;
}

} // namespace catalogue
