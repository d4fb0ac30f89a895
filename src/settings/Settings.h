#pragma once

#include "platform/IniStore.h"

#include <QString>

#include <array>
#include <optional>

// The settings of ZARUN.ini: read once at start-up, written once at shut-down.
namespace settings {

struct SettingsValues {
    qint32 DoubleClickAction = 1; // 0 open folder, 1 open source, 2 run executable
    bool AutoMakeExe = true;
    bool DragDropEnabled = true;
    bool SortOnColumnClick = true;
    QString StartupCatalogue;
    bool SortOnOpen = true;
    QString LastCatalogueFolder;
    QString LastProjectFolder;
    // The IDE command set in the options (an Exec-style line); empty: the .vbp association.
    QString IdeCommand;
    QString SettingsFilePath;
    friend bool operator==(const SettingsValues &, const SettingsValues &) = default;
};

SettingsValues &Values();
// Back to the defaults, and no file counts as unread any more (tests).
void ResetValues();

// The main window's placement in twips.
struct Placement {
    qint32 Top = 0;
    qint32 Left = 0;
    qint32 Height = 0;
    qint32 Width = 0;
    bool Maximized = false;
    // Top or Left was not stored and is the centring default, which depends on the window's size.
    bool TopCentred = false;
    bool LeftCentred = false;
    friend bool operator==(const Placement &, const Placement &) = default;
};

inline constexpr qint32 kDefaultHeightTwips = 6000;
inline constexpr qint32 kDefaultWidthTwips = 8000;

// ZARUN.ini in the program's folder (or the fallback folder when that cannot be written).
QString DefaultSettingsFilePath();

// Creates the file empty when it does not exist; false when it cannot be created.
bool EnsureSettingsFile(const QString &file);

// The stored placement; without one the window keeps its size, centred on the screen.
Placement ReadPlacement(const QString &file, qint32 screenWidth, qint32 screenHeight, qint32 windowWidth,
                        qint32 windowHeight);

// Widths the user set in the main window, in twips, kept in section Column: the category list's
// (where the two lists meet) and those of the project list's columns, each by the column's name.
enum class ListWidth { CategoryList, ProjectName, FileName, Path, ExeName, Status };
inline constexpr int kListWidthCount = 6;
// Unset: not stored or not usable, so the window's own width; when writing, leave the key alone.
using ListWidths = std::array<std::optional<qint32>, kListWidthCount>;

// The key in section Column.
QString ListWidthKey(ListWidth which);

// A stored width counts when it is a plain number from kMinListWidthTwips to kMaxListWidthTwips.
inline constexpr qint32 kMinListWidthTwips = 150;     // 10 pixels
inline constexpr qint32 kMaxListWidthTwips = 150000;  // 10,000 pixels
ListWidths ReadListWidths(const QString &file);

// Section Project, Main and Folder into Values().
void ReadValues(const QString &file);

// Every key in its documented order, in one replace of the file; empty strings remove their keys.
// Refused (Unreadable, the file untouched) when ReadPlacement, ReadValues or ReadListWidths could not
// read the file (not merely missing): the values held are then defaults, not the user's.
// The IDE command is the Project section's last key, so a file without it keeps its order. The widths
// that are set go last, in section Column.
platform::IniStatus WriteSettings(const QString &file, const Placement &placement, const ListWidths &widths = {});

} // namespace settings
