#include "catalogue/CatalogueFile.h"

#include "catalogue/CatalogueNames.h"
#include "catalogue/cVbAnalyze.h"
#include "catalogue/mIniFile.h"
#include "platform/FileSystem.h"
#include "platform/ProgramFolder.h"
#include "tooling/mFunction.h"

namespace catalogue {

qint32 LoadCategories()
{
    CatalogueState &state = State();
    QStringList names;
    const qint32 n = mIniFile::ReadIniSectionNames(names, state.CatalogueFilePath);
    state.CategoryCount = n;
    if (n <= 0)
        return 0;
    state.Catalogue.clear();
    state.Catalogue.resize(size_t(n) + 1);
    for (qint32 i = 1; i <= n; ++i) {
        auto category = std::make_unique<cVbAnalyze>();
        category->SetCategory(names.value(i - 1));
        state.Catalogue[size_t(i)] = std::move(category);
    }
    return n;
}

void ClearCategories()
{
    CatalogueState &state = State();
    state.Catalogue.clear();
    state.CategoryCount = 0;
    state.CurrentCategory = 0;
    state.CurrentProject = 0;
}

platform::IniStatus SaveCategories(const QStringList &sectionNames)
{
    CatalogueState &state = State();
    const QString &file = state.CatalogueFilePath;
    if (file.isEmpty())
        return platform::IniStatus::EmptyPath;
    if (state.CategoryCount <= 0) {
        switch (platform::TruncateFileAtomically(file)) {
        case platform::WriteStatus::Ok:
            return platform::IniStatus::Ok;
        case platform::WriteStatus::ReadOnly:
            return platform::IniStatus::ReadOnly;
        case platform::WriteStatus::NotAFile:
            return platform::IniStatus::NotAFile;
        case platform::WriteStatus::IoError:
            break;
        }
        return platform::IniStatus::IoError;
    }
    mIniFile::IniBatch batch(file);
    for (qint32 i = 1; i <= state.CategoryCount; ++i) {
        cVbAnalyze *category = state.CategoryAt(i);
        if (!category)
            continue;
        const QString section = sectionNames.value(i - 1, category->Category());
        QStringList names;
        for (qint32 j = 1; j <= category->Count(); ++j)
            names.append(category->ProjectName(j));
        const QStringList distinct = DistinctProjectNames(names);
        for (qint32 j = 1; j <= category->Count(); ++j) {
            if (distinct[j - 1] != names[j - 1])
                category->SetProjectName(j, distinct[j - 1]);
            mIniFile::WriteIniString(section, distinct[j - 1], category->ProjectFile(j), file);
        }
    }
    return batch.Commit();
}

QString WindowCaption(const QString &programName, const QString &catalogueFile)
{
    if (catalogueFile.isEmpty())
        return programName;
    return programName + QStringLiteral(" - (") + mFunction::GetFileName(catalogueFile) + QLatin1Char(')');
}

QString NewCatalogueFilePath() { return platform::JoinPath(platform::ProgramFolder(), QStringLiteral("NewFile.zrd")); }

} // namespace catalogue
