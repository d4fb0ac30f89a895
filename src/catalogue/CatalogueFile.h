#pragma once

#include "platform/FileSystem.h"
#include "platform/IniStore.h"

#include <QString>
#include <QStringList>

// Reading the catalogue file into the shared state and writing it back.
namespace catalogue {

// Re-creates the catalogue from the sections of CatalogueFilePath, each category
// loading its projects; returns the number of categories (0 leaves the catalogue as it was).
// A file that cannot be read loads nothing and is marked so that no save writes it.
qint32 LoadCategories();

// How the last LoadCategories read the file: Ok, Missing, Unreadable or TooLarge.
platform::ReadStatus LastLoadStatus();

// The message for a catalogue file that could not be read (path first); null when it was read.
QString LoadFailureMessage(const QString &path, platform::ReadStatus status);

// Drops every category (New).
void ClearCategories();

// What a save found besides its own status.
struct SaveReport {
    // Entries another program changed too, which this save overwrote: "[category] project".
    QStringList Overwritten;
    // The catalogue in memory took changes another program made to the file.
    bool CatalogueChanged = false;
};

// Writes what this run added or changed under each category's section (sectionNames: the names
// shown in the category list, in order), names made distinct first, in one replace of the file.
// A key this run did not change keeps what another program wrote there (or its deletion), and the
// catalogue takes such changes and the keys others added. With no categories the file is emptied
// only when the user removed its last category in this run. A file that could not be loaded is
// never written. On failure the file keeps its old content.
platform::IniStatus SaveCategories(const QStringList &sectionNames, SaveReport *report = nullptr);

// Removes a category's section from the file at once (rename and delete); false when the file
// refused. The last category removed marks the file as emptied by the user.
bool RemoveCategorySection(const QString &name);

// Replaces a project's key by a new one in one write (the edit dialog); false, with nothing
// written, when the file refuses either change.
bool ReplaceProjectKey(const QString &section, const QString &oldKey, const QString &newKey,
                       const QString &value);

// The message for entries overwritten by a save: one for all of them.
QString OverwrittenMessage(const QString &path, const QStringList &entries);

// "ZARUN - (Tools.zrd)"; the bare program name while no catalogue file is set.
QString WindowCaption(const QString &programName, const QString &catalogueFile);

// The catalogue a New starts with: NewFile.zrd in the program's folder.
QString NewCatalogueFilePath();

} // namespace catalogue
