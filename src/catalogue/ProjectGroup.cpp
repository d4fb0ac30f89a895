#include "catalogue/ProjectGroup.h"

#include "catalogue/ProjectScan.h"
#include "catalogue/SourceList.h"
#include "platform/FileSystem.h"
#include "tooling/mFunction.h"
#include "tooling/mMain.h"

namespace catalogue {

namespace {

bool startsWithKey(QByteArrayView line, QByteArrayView key)
{
    return line.size() > key.size() && line[key.size()] == '='
           && line.first(key.size()).compare(key, Qt::CaseInsensitive) == 0;
}

} // namespace

ProjectGroup ProjectGroupIn(const QString &groupFile, QByteArrayView text, PathStyle style)
{
    ProjectGroup group;
    const QString folder = mFunction::GetFolderName(groupFile, style);
    qsizetype start = 0;
    bool header = true;
    while (start < text.size()) {
        const qsizetype end = start + mMain::ProjectLineSize(text.sliced(start));
        const QByteArrayView line = text.sliced(start, end - start).trimmed();
        start = end + 1;
        if (line.isEmpty())
            continue;
        if (header) {
            // "VBGROUP 5.0": anything else is no group.
            header = false;
            group.valid = line.size() >= 7 && line.first(7).compare("VBGROUP", Qt::CaseInsensitive) == 0
                          && (line.size() == 7 || line[7] == ' ' || line[7] == '\t');
            if (!group.valid)
                return group;
            continue;
        }
        QByteArrayView value;
        if (startsWithKey(line, "Project"))
            value = line.sliced(8);
        else if (startsWithKey(line, "StartupProject"))
            value = line.sliced(15);
        else
            continue;
        const QString written = CleanedSourceValue(value);
        if (written.isEmpty())
            continue;
        const QString path = SourcePath(folder, written, style);
        if (path.isNull())
            group.unplaced.append(written);
        else if (!group.projects.contains(path))
            group.projects.append(path);
    }
    return group;
}

ProjectGroup ReadProjectGroup(const QString &groupFile)
{
    QByteArray bytes;
    if (platform::ReadWholeFile(groupFile, mMain::kMaxProjectFileBytes, &bytes) != platform::ReadStatus::Ok)
        return {};
    ProjectGroup group = ProjectGroupIn(groupFile, bytes);
    CaseFolding folding;
    QStringList found;
    for (const QString &project : group.projects) {
        QString onDisk;
        folding.Stat(project, &onDisk);
        if (!found.contains(onDisk))
            found.append(onDisk);
    }
    group.projects = found;
    return group;
}

} // namespace catalogue
