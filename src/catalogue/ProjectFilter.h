#pragma once

#include "catalogue/CatalogueModels.h"

#include <QAbstractProxyModel>
#include <QThreadPool>

#include <functional>
#include <memory>
#include <vector>

namespace catalogue {

// Text as the filter compares it: compatibility forms unified (ｶﾀｶﾅ and カタカナ, ＡＢＣ and ABC)
// and letter case folded.
QString FoldForSearch(const QString &text);
// The project list narrowed to the rows whose name, file name or folder holds the typed text, in
// the catalogue's order. Rows here are 1-based like the list's; the entries are the catalogue's.
// A short list is narrowed at once; a long one on a worker, against a search index made the first
// time, while the window shows the rows of the text before until the new ones are known.
class ProjectFilterModel final : public QAbstractProxyModel {
    Q_OBJECT
public:
    // Lists up to this long are narrowed on the spot: it costs less than a key's repaint.
    static constexpr int kRowsNarrowedAtOnce = 4000;

    explicit ProjectFilterModel(ProjectListModel *projects, QObject *parent = nullptr);
    ~ProjectFilterModel() override;

    void SetText(const QString &text);
    QString Text() const { return text_; }
    // Whether rows for the text are still being found.
    bool Narrowing() const { return narrowing_; }
    void SetRowsNarrowedAtOnce(int rows) { rowsAtOnce_ = rows; }
    void SetRowsListedATurn(int rows) { rowsATurn_ = rows; }
    void SetListedAfterReset(int ms) { listAfterResetMs_ = ms; }
    // Listings of more rows first have their buffer made by the worker (see takePrepared).
    void SetBufferMadeAbove(int rows) { bufferAbove_ = rows; }
    // The index is made this many rows at a time; a search waiting for it shows what the first
    // piece holds meanwhile. A piece takes about 15 ms of two cores.
    static constexpr int kRowsAPiece = 64 * 1024;
    void SetRowsAPiece(int rows) { rowsAPiece_ = qMax(1, rows); }
    // The filter box or its all-categories box has the focus (or lost it): a long list's search
    // index is made ahead of the first key, and dropped again once the box is left empty.
    void SetInUse(bool inUse);

    // The catalogue entry of a row (1-based), {} for none; and the row of an entry, 0 when not listed.
    ProjectListModel::Entry EntryAt(qint32 row) const;
    qint32 RowOf(const ProjectListModel::Entry &entry) const;

    QModelIndex index(int row, int column, const QModelIndex &parent = QModelIndex()) const override;
    QModelIndex parent(const QModelIndex &child) const override;
    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    bool hasChildren(const QModelIndex &parent = QModelIndex()) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QModelIndex mapToSource(const QModelIndex &proxyIndex) const override;
    QModelIndex mapFromSource(const QModelIndex &sourceIndex) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

Q_SIGNALS:
    // The rows for the text now shown are all there.
    void Narrowed();

private:
    struct Found;
    struct Slot;
    void narrow();
    std::vector<int> narrowHere();
    void narrowOnWorker();
    // The rows the index is made of, copied when missing or stale (what a listing under way has
    // copied so far is kept).
    void keepSlot();
    // Copies the next rows for the index on this turn of the event loop, and has the index made on
    // the worker once every row is there: a million rows copied at once would hold the window. Rows
    // changed under it, it begins again a while later.
    void listStep();
    // Copies up to count more rows into the listing under way, begun anew when the rows changed.
    void listRows(int count);
    // Begins a listing of more rows than a turn copies in a buffer the worker made ready, or has
    // the worker make one and returns false.
    bool takePrepared();
    // Makes the next piece of the slot's index.
    static void makePiece(Slot &slot);
    // Makes the rest of it, unless stop() says to leave it to another first: whether it is whole.
    static bool makeIndex(Slot &slot, const std::function<bool()> &stop);
    // Has it made on the worker ahead of the first key.
    void makeAhead(const std::shared_ptr<Slot> &slot);
    // The slot searches use from now on; one no longer used is made no further.
    void keepSlotOnly(std::shared_ptr<Slot> slot);
    // Whether a row kept by a persistent index (selected, current) lies at or past that source row.
    bool dropsBeyond(int sourceRows) const;
    // Whether rows (ascending source rows, all before sourceRows) are the rows shown before it.
    bool keepsShownWithin(int sourceRows, const std::vector<int> &rows) const;
    static std::vector<int> search(Slot &slot, const QString &folded);
    void found(const Found &result);
    bool showsSame(bool narrowed, const std::vector<int> &rows) const;
    void relayout(bool narrowed, std::vector<int> rows);
    // Source rows (0-based) within [first, last]: where they start and end in rows_.
    std::pair<qsizetype, qsizetype> span(int first, int last) const;

    void sourceAboutToBeReset();
    void sourceReset();
    void sourceRowsAboutToBeInserted(const QModelIndex &parent, int first, int last);
    void sourceRowsInserted(const QModelIndex &parent, int first, int last);
    void sourceRowsAboutToBeRemoved(const QModelIndex &parent, int first, int last);
    void sourceRowsRemoved(const QModelIndex &parent, int first, int last);
    void sourceDataChanged(const QModelIndex &topLeft, const QModelIndex &bottomRight, const QList<int> &roles);

    ProjectListModel *projects_;
    QString text_;
    QString folded_;
    int rowsAtOnce_ = kRowsNarrowedAtOnce;
    // The rows shown, as rowCount() of the root; inline, as index() asks it of every row.
    int shownRows() const { return narrowed_ ? int(rows_.size()) : projects_->Rows(); }
    // Narrowed: the source rows listed, ascending. Else every row, as the source has them.
    bool narrowed_ = false;
    std::vector<int> rows_;
    std::pair<qsizetype, qsizetype> removing_{0, 0};
    // Every change of the source's rows counts: a result or index of an earlier count is stale.
    quint64 revision_ = 0;
    std::shared_ptr<Slot> slot_;
    quint64 slotRevision_ = 0;
    // Rows copied so far for the next slot while the box has the focus, of the source at that revision.
    std::shared_ptr<Slot> listing_;
    quint64 listingRevision_ = 0;
    // The next listing's buffer, from the worker (see takePrepared).
    std::shared_ptr<Slot> prepared_;
    bool preparing_ = false;
    int bufferAbove_ = 256 * 1024;
    // A key came while the rows were being listed: searched once they are.
    bool searchAfterListing_ = false;
    int rowsATurn_ = 64 * 1024;
    int listAfterResetMs_ = 250;
    int rowsAPiece_ = kRowsAPiece;
    // Only the latest text's search is wanted; workers skip the ones overtaken.
    std::shared_ptr<std::atomic<quint64>> latest_;
    bool narrowing_ = false;
    bool inUse_ = false;
    QThreadPool pool_;
};

} // namespace catalogue
