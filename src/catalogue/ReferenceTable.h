#pragma once

#include "catalogue/ReferenceCheck.h"

#include <QAbstractTableModel>
#include <QList>
#include <QString>

#include <memory>

namespace platform {
class WineRegistry;
}

// Every reference and control of one project with its state in the IDE's Wine prefix: what the
// project's list of references shows, row by row.
namespace catalogue {

struct ReferenceListing {
    enum class Check : quint8 {
        Checked,    // looked up in the prefix's registry
        NoPrefix,   // the IDE does not run under Wine: there is nothing to look up in
        NoRegistry, // the prefix has no registry to read (not made yet, or not a prefix)
        Unreadable, // the .vbp could not be read
    };
    struct Row {
        ProjectReference reference;
        ReferenceState state = ReferenceState::Unchecked;
        QString registeredFile;     // what the registry names for the version used (registered ones)
        QStringList registered;     // the versions registered at all ("2.0"), for one that is not
        friend bool operator==(const Row &, const Row &) = default;
    };
    Check check = Check::NoPrefix;
    QString prefix;
    QList<Row> rows;
};

// Reads the .vbp and looks each of its references up in the registry (the IDE's prefix's, kept
// read by whoever holds it; null without one). Reads files: not on the user-interface thread.
ReferenceListing ListReferences(const QString &projectFile, const std::shared_ptr<platform::WineRegistry> &registry);

// The sentence above the table: what was checked, or why nothing was.
QString ListingNote(const ReferenceListing &listing);

// The listing as a read-only table.
class ReferenceTableModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column { KindColumn, NameColumn, FileColumn, VersionColumn, StateColumn, ColumnCount };

    explicit ReferenceTableModel(QObject *parent = nullptr);

    void SetListing(ReferenceListing listing);
    const ReferenceListing &Listing() const { return listing_; }

    // A cell's text and its tooltip (empty when it has none).
    QString Text(int row, int column) const;
    QString ToolTip(int row, int column) const;

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;

private:
    ReferenceListing listing_;
};

} // namespace catalogue
