// The reference check of 10,000 projects with 5 references each against a prefix's registry of a
// real size (~3 MB), beside reading the same .vbp files alone. Reported: the median of the runs,
// the registry read once on a first run and again on a fresh WineRegistry each run.
//   bench_references [runs] [projects]
#include "../common/Measure.h"
#include "catalogue/ProjectReferences.h"
#include "catalogue/ProjectScan.h"
#include "catalogue/ReferenceCheck.h"
#include "platform/FileSystem.h"
#include "platform/WineRegistry.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <cstdio>
#include <vector>

namespace {

void write(const QString &path, const QByteArray &bytes)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size())
        std::abort();
}

QByteArray guid(int n) { return QByteArray::number(0x10000000 + n, 16).toUpper() + "-1111-2222-3333-444455556666"; }

// What a prefix with some software installed holds: classes, interfaces, type libraries of both
// platforms, and the usual settings, in Wine's text form.
QByteArray registryText(int keys)
{
    QByteArray text = "WINE REGISTRY Version 2\n;; All keys relative to \\\\Machine\n\n#arch=win64\n\n";
    for (int i = 0; i < keys; ++i) {
        const QByteArray g = guid(i);
        switch (i % 4) {
        case 0:
            text += "[Software\\\\Classes\\\\CLSID\\\\{" + g + "}\\\\InprocServer32] 1700000000\n#time=1d9c0a1b2c3d4e5\n"
                    "@=\"C:\\\\windows\\\\system32\\\\lib" + QByteArray::number(i) + ".dll\"\n\"ThreadingModel\"=\"Both\"\n\n";
            break;
        case 1:
            text += "[Software\\\\Classes\\\\Interface\\\\{" + g + "}\\\\ProxyStubClsid32] 1700000000\n#time=1d9c0a1b2c3d4e5\n"
                    "@=\"{00020424-0000-0000-C000-000000000046}\"\n\n";
            break;
        case 2:
            text += "[Software\\\\Classes\\\\Typelib\\\\{" + g + "}\\\\1.0] 1700000000\n#time=1d9c0a1b2c3d4e5\n"
                    "@=\"Library " + QByteArray::number(i) + "\"\n\n"
                    "[Software\\\\Classes\\\\Typelib\\\\{" + g + "}\\\\1.0\\\\0\\\\win64] 1700000000\n#time=1d9c0a1b2c3d4e5\n"
                    "@=\"C:\\\\windows\\\\system32\\\\lib" + QByteArray::number(i) + ".dll\"\n\n";
            break;
        default:
            text += "[Software\\\\Microsoft\\\\Windows\\\\CurrentVersion\\\\Setting" + QByteArray::number(i)
                    + "] 1700000000\n#time=1d9c0a1b2c3d4e5\n\"Value\"=dword:00000001\n\"Data\"=hex:00,01,02,03,04,05,06,07,\\\n"
                      "  08,09,0a,0b,0c,0d,0e,0f\n\n";
        }
    }
    return text;
}

QByteArray win32Key(const QByteArray &g, const QByteArray &version, const QByteArray &file)
{
    return "[Software\\\\Classes\\\\Typelib\\\\{" + g + "}\\\\" + version + "\\\\0\\\\win32] 1700000000\n#time=1d9\n@=\"" + file
           + "\"\n\n";
}

void print(const char *what, const std::vector<double> &runs, double floor)
{
    std::printf("%-52s median %8.1f ms   %5.2fx reading the .vbp files\n", what, Median(runs), Median(runs) / floor);
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 7;
    const int projects = argc > 2 ? std::max(1, std::atoi(argv[2])) : 10000;
    QTemporaryDir dir;
    const QString prefix = dir.filePath("prefix");

    // Registered and there: MSCOMCTL, COMDLG32, stdole2; registered, file gone: msado28; not
    // registered at all: TABCTL32.
    const QByteArray system = registryText(24000) + win32Key("831FDD16-0C5C-11D2-A9FC-0000F8754DA1", "2.2", "C:\\\\windows\\\\system32\\\\mscomctl.ocx")
                              + win32Key("F9043C88-F6F2-101A-A3C9-08002B2F49FB", "1.2", "C:\\\\windows\\\\system32\\\\comdlg32.ocx")
                              + win32Key("00020430-0000-0000-C000-000000000046", "2.0", "C:\\\\windows\\\\system32\\\\stdole2.tlb")
                              + win32Key("2A75196C-D9EB-4129-B803-931327F72D5C", "2.8", "C:\\\\Program Files (x86)\\\\Common Files\\\\System\\\\ado\\\\msado28.tlb");
    write(prefix + "/system.reg", system);
    write(prefix + "/user.reg", registryText(800));
    for (const char *file : {"mscomctl.ocx", "comdlg32.ocx", "stdole2.tlb"})
        write(prefix + "/drive_c/windows/system32/" + file, "MZ");
    QDir().mkpath(prefix + "/dosdevices");
    QFile::link("../drive_c", prefix + "/dosdevices/c:");

    std::vector<QString> files;
    for (int p = 0; p < projects; ++p) {
        const QString path = dir.filePath(QStringLiteral("src/p%1/App.vbp").arg(p, 5, 10, QLatin1Char('0')));
        write(path, "Type=Exe\r\n"
                    "Reference=*\\G{00020430-0000-0000-C000-000000000046}#2.0#0#C:\\Windows\\SysWOW64\\stdole2.tlb#OLE Automation\r\n"
                    "Reference=*\\G{2A75196C-D9EB-4129-B803-931327F72D5C}#2.8#0#C:\\Program Files (x86)\\Common Files\\System\\ado\\msado28.tlb#Microsoft ActiveX Data Objects 2.8 Library\r\n"
                    "Object={831FDD16-0C5C-11D2-A9FC-0000F8754DA1}#2.0#0; MSCOMCTL.OCX\r\n"
                    "Object={F9043C88-F6F2-101A-A3C9-08002B2F49FB}#1.2#0; COMDLG32.OCX\r\n"
                    "Object={BDC217C8-ED16-11CD-956C-0000C04E4C0A}#1.1#0; TABCTL32.OCX\r\n"
                    "Form=frmMain.frm\r\nForm=frmEdit.frm\r\nModule=basMain; basMain.bas\r\nClass=CItem; CItem.cls\r\n"
                    "Startup=\"frmMain\"\r\nExeName32=\"App.exe\"\r\nPath32=\"..\\bin\"\r\nName=\"App\"\r\n"
                    "HelpContextID=\"0\"\r\nCompatibleMode=\"0\"\r\nMajorVer=1\r\nMinorVer=0\r\nRevisionVer=0\r\n"
                    "AutoIncrementVer=0\r\nServerSupportFiles=0\r\nVersionCompanyName=\"Example\"\r\n"
                    "CompilationType=0\r\nOptimizationType=0\r\nFavorPentiumPro(tm)=0\r\nCodeViewDebugInfo=0\r\n"
                    "NoAliasing=0\r\nBoundsCheck=0\r\nOverflowCheck=0\r\nFlPointCheck=0\r\nFDIVCheck=0\r\n"
                    "UnroundedFP=0\r\nStartMode=0\r\nUnattended=0\r\nRetained=0\r\nThreadPerObject=0\r\n"
                    "MaxNumberOfThreads=1\r\n\r\n[MS Transaction Server]\r\nAutoRefresh=1\r\n");
        files.push_back(path);
    }

    const auto readAll = [&](const std::function<void(const QByteArray &)> &take) {
        for (const QString &file : files) {
            QByteArray bytes;
            if (platform::ReadSmallFile(file, 1024 * 1024, &bytes) != platform::FileKind::Regular)
                std::abort();
            take(bytes);
        }
    };
    std::vector<QByteArray> texts;
    readAll([&](const QByteArray &bytes) { texts.push_back(bytes); });
    std::vector<double> floor, checked, registryRead, alone, look, lookChecked;
    platform::WineRegistry kept(prefix);
    // The reader's own look at each project (read, sources stated), in batches of 256 as it
    // makes them, without a prefix and with one.
    const auto looks = [&](bool withPrefix) {
        for (size_t first = 0; first < files.size(); first += 256) {
            catalogue::CaseFolding folding;
            std::optional<catalogue::ReferenceCheck> check;
            catalogue::ReferenceLookup references;
            if (withPrefix) {
                auto table = kept.TypeLibs();
                references.tag = table->Tag();
                references.check = &check.emplace(prefix, std::move(table));
            }
            for (size_t i = first; i < std::min(files.size(), first + 256); ++i) {
                const catalogue::ScanResult result =
                    catalogue::ScanProject(files[i], QString(), nullptr, &folding, nullptr, &references);
                if (!result.sources || result.sources->HasMissing() != withPrefix)
                    std::abort();
            }
        }
    };
    int missing = 0;
    for (int r = 0; r < runs; ++r) {
        look.push_back(TimeMs([&] { looks(false); }));
        lookChecked.push_back(TimeMs([&] { looks(true); }));
        floor.push_back(TimeMs([&] { readAll([](const QByteArray &) {}); }));
        registryRead.push_back(TimeMs([&] { platform::WineRegistry(prefix).TypeLibs(); }));
        // As a sweep does: the table as the files are now (two stats), one check for the sweep.
        checked.push_back(TimeMs([&] {
            catalogue::ReferenceCheck check(prefix, kept.TypeLibs());
            missing = 0;
            readAll([&](const QByteArray &bytes) { missing += int(check.MissingIn(bytes).size()); });
        }));
        // The part a reader that has the bytes already adds.
        alone.push_back(TimeMs([&] {
            catalogue::ReferenceCheck check(prefix, kept.TypeLibs());
            missing = 0;
            for (const QByteArray &bytes : texts)
                missing += int(check.MissingIn(bytes).size());
        }));
    }
    if (missing != 2 * projects)
        std::abort();
    const double base = Median(floor);
    std::printf("%d projects x 5 references; registry %.1f MB; %d runs\n", projects, double(system.size()) / 1e6, runs);
    print("reading the .vbp files", floor, base);
    print("reading them and checking their references", checked, base);
    print("checking alone, on the bytes read before", alone, base);
    print("reading the registry files (once a change)", registryRead, base);
    std::printf("the reader's look: %.1f ms without a prefix, %.1f ms with the check (%.2fx)\n", Median(look),
                Median(lookChecked), Median(lookChecked) / Median(look));
    return 0;
}
