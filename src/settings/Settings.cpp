#include "settings/Settings.h"

#include "catalogue/mIniFile.h"
#include "platform/Centring.h"
#include "platform/FileSystem.h"
#include "platform/ProgramFolder.h"

#include <QFile>
#include <QFileInfo>
#include <QSet>

using namespace mIniFile;

namespace settings {

namespace {

SettingsValues &instance()
{
    static SettingsValues values;
    return values;
}

// Settings files that could not be read at start: what the run holds for them are defaults, and
// writing those at close would replace the user's settings.
QSet<QString> &unreadAtStart()
{
    static QSet<QString> files;
    return files;
}

// Called after each start-up read: a missing file is fine, one that could not be read is not.
void noteRead(const QString &file)
{
    const platform::ReadStatus status = platform::IniStore::Instance().LastRead(file);
    if (status == platform::ReadStatus::Unreadable || status == platform::ReadStatus::TooLarge)
        unreadAtStart().insert(file);
}

// An empty string setting is removed rather than stored empty.
void writeString(const QString &section, const QString &key, const QString &value, const QString &file)
{
    WriteIniString(section, key, value.isEmpty() ? QString() : value, file);
}

// A value that begins and ends with the same quote loses that pair when read back: a command
// such as "/opt/VB 6/vb6" "%f" gets one more pair to lose.
QString keepQuotes(const QString &value)
{
    if (value.size() >= 2 && (value.front() == u'"' || value.front() == u'\'') && value.back() == value.front())
        return u'"' + value + u'"';
    return value;
}

QString readString(const QString &section, const QString &key, const QString &file)
{
    const QString value = ReadIniString(section, key, QString(), file);
    return value.isNull() ? QStringLiteral("") : value;
}

} // namespace

SettingsValues &Values() { return instance(); }
void ResetValues()
{
    instance() = SettingsValues();
    unreadAtStart().clear();
}

QString DefaultSettingsFilePath() { return platform::JoinPath(platform::ProgramFolder(), QStringLiteral("ZARUN.ini")); }

bool EnsureSettingsFile(const QString &file)
{
    if (QFileInfo::exists(file))
        return true;
    // A folder without owner write permission is read-only here, also for root.
    if (!platform::IsWritableFolder(QFileInfo(file).absolutePath()))
        return false;
    QFile created(file);
    if (!created.open(QIODevice::WriteOnly | QIODevice::NewOnly))
        return QFileInfo::exists(file);
    created.close();
    return true;
}

Placement ReadPlacement(const QString &file, qint32 screenWidth, qint32 screenHeight, qint32 windowWidth,
                        qint32 windowHeight)
{
    Placement p;
    // A key that yields its default whatever the default is gives no number of its own.
    const auto centred = [&file](const QString &key) {
        return ReadIniLong(QStringLiteral("Window"), key, 0, file) != ReadIniLong(QStringLiteral("Window"), key, 1, file);
    };
    p.Top = ReadIniLong(QStringLiteral("Window"), QStringLiteral("TOP"), platform::CentredOrigin(screenHeight, windowHeight), file);
    p.TopCentred = centred(QStringLiteral("TOP"));
    p.Left = ReadIniLong(QStringLiteral("Window"), QStringLiteral("LEFT"), platform::CentredOrigin(screenWidth, windowWidth), file);
    p.LeftCentred = centred(QStringLiteral("LEFT"));
    p.Height = ReadIniLong(QStringLiteral("Window"), QStringLiteral("HEIGHT"), kDefaultHeightTwips, file);
    p.Width = ReadIniLong(QStringLiteral("Window"), QStringLiteral("WIDTH"), kDefaultWidthTwips, file);
    p.Maximized = ReadIniBool(QStringLiteral("Window"), QStringLiteral("MAXIMIZE"), false, file);
    noteRead(file);
    return p;
}

QString ListWidthKey(ListWidth which)
{
    switch (which) {
    case ListWidth::CategoryList:
        return QStringLiteral("CategoryList");
    case ListWidth::ProjectName:
        return QStringLiteral("ProjectName");
    case ListWidth::FileName:
        return QStringLiteral("FileName");
    case ListWidth::Path:
        return QStringLiteral("Path");
    case ListWidth::ExeName:
        return QStringLiteral("ExeName");
    case ListWidth::Status:
        return QStringLiteral("Status");
    }
    return QString();
}

ListWidths ReadListWidths(const QString &file)
{
    ListWidths widths;
    for (int k = 0; k < kListWidthCount; ++k) {
        // Strictly a number: "1440px" or "wide" is no width at all.
        bool ok = false;
        const qint32 twips = readString(QStringLiteral("Column"), ListWidthKey(ListWidth(k)), file).trimmed().toInt(&ok);
        if (ok && twips >= kMinListWidthTwips && twips <= kMaxListWidthTwips)
            widths[size_t(k)] = twips;
    }
    noteRead(file);
    return widths;
}

void ReadValues(const QString &file)
{
    SettingsValues &v = instance();
    v.DoubleClickAction = ReadIniLong(QStringLiteral("Project"), QStringLiteral("WClick"), 1, file);
    v.AutoMakeExe = ReadIniBool(QStringLiteral("Project"), QStringLiteral("ExeAuto"), true, file);
    v.DragDropEnabled = ReadIniBool(QStringLiteral("Project"), QStringLiteral("DragDrop"), true, file);
    v.SortOnColumnClick = ReadIniBool(QStringLiteral("Project"), QStringLiteral("Sort"), true, file);
    v.StartupCatalogue = readString(QStringLiteral("Main"), QStringLiteral("StartFile"), file);
    v.SortOnOpen = ReadIniBool(QStringLiteral("Main"), QStringLiteral("Sort"), true, file);
    v.LastCatalogueFolder = readString(QStringLiteral("Folder"), QStringLiteral("Data"), file);
    v.LastProjectFolder = readString(QStringLiteral("Folder"), QStringLiteral("Project"), file);
    v.IdeCommand = readString(QStringLiteral("Project"), QStringLiteral("IdeCommand"), file);
    noteRead(file);
}

platform::IniStatus WriteSettings(const QString &file, const Placement &placement, const ListWidths &widths)
{
    if (unreadAtStart().contains(file))
        return platform::IniStatus::Unreadable;
    const SettingsValues &v = instance();
    IniBatch batch(file);
    WriteIniBool(QStringLiteral("Window"), QStringLiteral("MAXIMIZE"), placement.Maximized, file);
    WriteIniLong(QStringLiteral("Window"), QStringLiteral("TOP"), placement.Top, file);
    WriteIniLong(QStringLiteral("Window"), QStringLiteral("LEFT"), placement.Left, file);
    WriteIniLong(QStringLiteral("Window"), QStringLiteral("HEIGHT"), placement.Height, file);
    WriteIniLong(QStringLiteral("Window"), QStringLiteral("WIDTH"), placement.Width, file);
    WriteIniLong(QStringLiteral("Project"), QStringLiteral("WClick"), v.DoubleClickAction, file);
    WriteIniBool(QStringLiteral("Project"), QStringLiteral("ExeAuto"), v.AutoMakeExe, file);
    WriteIniBool(QStringLiteral("Project"), QStringLiteral("DragDrop"), v.DragDropEnabled, file);
    WriteIniBool(QStringLiteral("Project"), QStringLiteral("Sort"), v.SortOnColumnClick, file);
    writeString(QStringLiteral("Project"), QStringLiteral("IdeCommand"), keepQuotes(v.IdeCommand), file);
    writeString(QStringLiteral("Main"), QStringLiteral("StartFile"), v.StartupCatalogue, file);
    WriteIniBool(QStringLiteral("Main"), QStringLiteral("Sort"), v.SortOnOpen, file);
    writeString(QStringLiteral("Folder"), QStringLiteral("Data"), v.LastCatalogueFolder, file);
    writeString(QStringLiteral("Folder"), QStringLiteral("Project"), v.LastProjectFolder, file);
    for (int k = 0; k < kListWidthCount; ++k)
        if (const std::optional<qint32> twips = widths[size_t(k)])
            WriteIniLong(QStringLiteral("Column"), ListWidthKey(ListWidth(k)), *twips, file);
    return batch.Commit();
}

} // namespace settings
