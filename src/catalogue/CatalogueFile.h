#pragma once

#include "platform/IniStore.h"

#include <QString>
#include <QStringList>

// Reading the catalogue file into the shared state and writing it back.
namespace catalogue {

// Re-creates the catalogue from the sections of CatalogueFilePath, each category
// loading its projects; returns the number of categories (0 leaves the catalogue as it was).
qint32 LoadCategories();

// Drops every category (New).
void ClearCategories();

// Writes every project under its category's section (sectionNames: the names shown in
// the category list, in order), names made distinct first, in one replace of the file.
// With no categories the file becomes empty. On failure the file keeps its old content.
platform::IniStatus SaveCategories(const QStringList &sectionNames);

// "ZARUN - (Tools.zrd)"; the bare program name while no catalogue file is set.
QString WindowCaption(const QString &programName, const QString &catalogueFile);

// The catalogue a New starts with: NewFile.zrd in the program's folder.
QString NewCatalogueFilePath();

} // namespace catalogue
