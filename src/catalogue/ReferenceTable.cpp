#include "catalogue/ReferenceTable.h"

#include "platform/FileSystem.h"
#include "platform/WineRegistry.h"
#include "tooling/mMain.h"

namespace catalogue {

namespace {

// As the registry and the .vbp write versions: in hex.
QString versionText(quint16 major, quint16 minor)
{
    return QString::number(major, 16) + u'.' + QString::number(minor, 16);
}

bool isLibrary(const ProjectReference &reference)
{
    return !reference.malformed && reference.kind != ProjectReference::Kind::Project;
}

} // namespace

ReferenceListing ListReferences(const QString &projectFile, const std::shared_ptr<platform::WineRegistry> &registry)
{
    ReferenceListing listing;
    QByteArray vbp;
    if (platform::ReadSmallFile(projectFile, mMain::kMaxProjectFileBytes, &vbp) != platform::FileKind::Regular) {
        listing.check = ReferenceListing::Check::Unreadable;
        return listing;
    }
    std::shared_ptr<const platform::TypeLibTable> table;
    if (registry) {
        listing.prefix = registry->Prefix();
        table = registry->TypeLibs();
    }
    // As the status column: a prefix without a registry is nothing to check against.
    listing.check = !registry                   ? ReferenceListing::Check::NoPrefix
                    : !table || table->Size() == 0 ? ReferenceListing::Check::NoRegistry
                                                   : ReferenceListing::Check::Checked;
    std::optional<ReferenceCheck> check;
    if (listing.check == ReferenceListing::Check::Checked)
        check.emplace(listing.prefix, table);
    for (ProjectReference &reference : ReferencesIn(vbp)) {
        ReferenceListing::Row row;
        if (check && isLibrary(reference)) {
            row.state = check->StateOf(reference);
            if (const auto used = table->Match(reference.guid, reference.major, reference.minor))
                row.registeredFile = used->win32;
            else
                for (const platform::RegisteredTypeLib &version : table->Versions(reference.guid))
                    row.registered.append(versionText(version.major, version.minor));
        }
        row.reference = std::move(reference);
        listing.rows.append(std::move(row));
    }
    return listing;
}

QString ListingNote(const ReferenceListing &listing)
{
    switch (listing.check) {
    case ReferenceListing::Check::Unreadable:
        return QStringLiteral("プロジェクトファイル(.vbp)を読めません。");
    case ReferenceListing::Check::NoPrefix:
        return QStringLiteral("IDEがWineで動かないため、登録は確認していません。");
    case ReferenceListing::Check::NoRegistry:
        return QStringLiteral("Wineのプレフィックス ") + listing.prefix
               + QStringLiteral(" にレジストリがないため、登録は確認していません。");
    case ReferenceListing::Check::Checked:
        break;
    }
    return QStringLiteral("Wineのプレフィックス ") + listing.prefix + QStringLiteral(" の登録を確認しました。");
}

ReferenceTableModel::ReferenceTableModel(QObject *parent) : QAbstractTableModel(parent) {}

void ReferenceTableModel::SetListing(ReferenceListing listing)
{
    beginResetModel();
    listing_ = std::move(listing);
    endResetModel();
}

QString ReferenceTableModel::Text(int row, int column) const
{
    if (row < 0 || row >= listing_.rows.size())
        return QString();
    const ReferenceListing::Row &entry = listing_.rows[row];
    const ProjectReference &reference = entry.reference;
    switch (column) {
    case KindColumn:
        if (reference.kind == ProjectReference::Kind::Project)
            return QStringLiteral("プロジェクト");
        return reference.kind == ProjectReference::Kind::Control ? QStringLiteral("コントロール")
                                                                 : QStringLiteral("参照");
    case NameColumn:
        if (reference.malformed)
            return reference.text;
        // A control's line has no description: its file names it.
        return reference.description.isEmpty() ? reference.Label() : reference.description;
    case FileColumn:
        return reference.file;
    case VersionColumn:
        if (reference.malformed || reference.guid.isEmpty())
            return QString();
        return u'{' + reference.guid + QStringLiteral("}#") + versionText(reference.major, reference.minor);
    case StateColumn:
        if (listing_.check != ReferenceListing::Check::Checked)
            return ReferenceStateText(ReferenceState::Unchecked);
        if (reference.malformed)
            return QStringLiteral("読めない行");
        if (reference.kind == ProjectReference::Kind::Project)
            return QStringLiteral("対象外");
        if (entry.state == ReferenceState::NotRegistered && !entry.registered.isEmpty())
            return ReferenceStateText(entry.state) + QStringLiteral(" (登録は ") + entry.registered.join(u',')
                   + u')';
        return ReferenceStateText(entry.state);
    default:
        return QString();
    }
}

QString ReferenceTableModel::ToolTip(int row, int column) const
{
    if (row < 0 || row >= listing_.rows.size())
        return QString();
    const ReferenceListing::Row &entry = listing_.rows[row];
    if (column != StateColumn || listing_.check != ReferenceListing::Check::Checked)
        return Text(row, column);
    switch (entry.state) {
    case ReferenceState::Present:
        return QStringLiteral("登録されているファイル: ") + entry.registeredFile;
    case ReferenceState::FileMissing:
        return QStringLiteral("登録されているファイルがありません: ") + entry.registeredFile;
    case ReferenceState::NotRegistered:
        return versionText(entry.reference.major, entry.reference.minor) + QStringLiteral(" 以上の ")
               + QString::number(entry.reference.major, 16) + QStringLiteral(".x の版は登録されていません。")
               + (entry.registered.isEmpty() ? QString()
                                             : QStringLiteral("\n登録されている版: ") + entry.registered.join(QStringLiteral(", ")));
    case ReferenceState::Unchecked:
        break;
    }
    if (entry.reference.kind == ProjectReference::Kind::Project && !entry.reference.malformed)
        return QStringLiteral("同じグループのプロジェクトです。登録は要りません。");
    return Text(row, column);
}

int ReferenceTableModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(listing_.rows.size());
}

int ReferenceTableModel::columnCount(const QModelIndex &parent) const { return parent.isValid() ? 0 : ColumnCount; }

QVariant ReferenceTableModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid())
        return QVariant();
    switch (role) {
    case Qt::DisplayRole:
        return Text(index.row(), index.column());
    case Qt::ToolTipRole:
        return ToolTip(index.row(), index.column());
    default:
        return QVariant();
    }
}

QVariant ReferenceTableModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QVariant();
    switch (section) {
    case KindColumn:
        return QStringLiteral("種類");
    case NameColumn:
        return QStringLiteral("名前/説明");
    case FileColumn:
        return QStringLiteral("ファイル");
    case VersionColumn:
        return QStringLiteral("GUID#版");
    case StateColumn:
        return QStringLiteral("状態");
    default:
        return QVariant();
    }
}

Qt::ItemFlags ReferenceTableModel::flags(const QModelIndex &index) const
{
    return index.isValid() ? Qt::ItemIsSelectable | Qt::ItemIsEnabled | Qt::ItemNeverHasChildren : Qt::NoItemFlags;
}

} // namespace catalogue
