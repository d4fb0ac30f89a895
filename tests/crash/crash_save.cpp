// Saves once from a known old state to a known new one, through the program's own code:
//   crash_save catalogue <file.zrd>   adds 20 projects to the first category (one write of the file)
//   crash_save settings <ZARUN.ini>   changes every setting and writes them as at shut-down
// It prints "saving" just before the write, so a script can kill it while the file is replaced.
#include "catalogue/CatalogueChanges.h"
#include "catalogue/CatalogueFile.h"
#include "catalogue/cVbAnalyze.h"
#include "settings/Settings.h"

#include <QCoreApplication>
#include <QStringList>

#include <cstdio>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    if (argc != 3)
        return 2;
    const QString mode = QString::fromLocal8Bit(argv[1]);
    const QString file = QString::fromLocal8Bit(argv[2]);
    platform::IniStatus status = platform::IniStatus::Ok;
    if (mode == QLatin1String("catalogue")) {
        catalogue::State().CatalogueFilePath = file;
        const qint32 n = catalogue::LoadCategories();
        std::puts("saving");
        std::fflush(stdout);
        // One change is one write of the whole file.
        QList<catalogue::NewProject> projects;
        for (int k = 0; k < 20; ++k)
            projects.append({QStringLiteral("/new/%1.vbp").arg(k), QStringLiteral("追加%1").arg(k), QString()});
        if (n < 1 || !catalogue::AddProjects(catalogue::State().CategoryAt(1)->Category(), projects).Done)
            status = platform::IniStatus::IoError;
    } else if (mode == QLatin1String("settings")) {
        settings::ReadValues(file);
        settings::SettingsValues &v = settings::Values();
        v.DoubleClickAction = 2;
        v.AutoMakeExe = false;
        v.StartupCatalogue = QStringLiteral("/home/user/データ/Tools.zrd");
        v.LastProjectFolder = QStringLiteral("/home/user/src");
        std::puts("saving");
        std::fflush(stdout);
        status = settings::WriteSettings(file, settings::Placement{100, 200, 6000, 8000, false});
    } else {
        return 2;
    }
    return status == platform::IniStatus::Ok ? 0 : 1;
}
