#include "mainwindow/HeadlessCommands.h"

#include "catalogue/CatalogueFile.h"
#include "catalogue/ProjectReader.h"
#include "catalogue/ProjectScan.h"
#include "catalogue/ReferenceCheck.h"
#include "catalogue/cVbAnalyze.h"
#include "platform/FileSystem.h"
#include "platform/TerminationSignals.h"
#include "platform/WineRegistry.h"
#include "settings/Settings.h"
#include "tooling/BuildQueue.h"
#include "tooling/IdeBuild.h"
#include "tooling/mMain.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>
#include <QXmlStreamWriter>

#include <cstdio>
#include <optional>

namespace headless {

namespace {

void printError(const QString &text) { std::fputs(("zarun: " + text + u'\n').toLocal8Bit().constData(), stderr); }

// The categories asked for as the catalogue's indexes, in the catalogue's order; all for none.
QList<qint32> chosenCategories(const QStringList &names)
{
    const catalogue::CatalogueState &state = catalogue::State();
    QList<qint32> chosen;
    for (qint32 i = 1; i <= state.CategoryCount; ++i) {
        bool wanted = names.isEmpty();
        for (const QString &name : names)
            wanted = wanted || state.IndexOfCategory(name) == i;
        if (wanted)
            chosen.append(i);
    }
    return chosen;
}

// The settings' IDE command, read without creating or writing ZARUN.ini.
QString settingsIdeCommand()
{
    const QString file = settings::DefaultSettingsFilePath();
    if (!QFileInfo::exists(file))
        return QString();
    settings::ReadValues(file);
    return settings::Values().IdeCommand;
}

QString readLog(const QString &file)
{
    QByteArray bytes;
    if (platform::ReadSmallFile(file, 4 * 1024 * 1024, &bytes) != platform::FileKind::Regular)
        return QString();
    return QString::fromUtf8(bytes);
}

QString seconds(double value) { return QString::number(value, 'f', 1); }

} // namespace

bool LoadCatalogue(const QString &file, const QStringList &categories, QString *error)
{
    const QString path = QFileInfo(file).absoluteFilePath();
    catalogue::PreparedCatalogue prepared = catalogue::PrepareCatalogue(path);
    if (prepared.read.status == platform::ReadStatus::Missing) {
        *error = path + QStringLiteral(" が見つかりません。");
        return false;
    }
    if (prepared.read.status != platform::ReadStatus::Ok) {
        *error = catalogue::LoadFailureMessage(path, prepared.read.status);
        return false;
    }
    catalogue::State().CatalogueFilePath = path;
    catalogue::LoadCategories(std::move(prepared));
    for (const QString &name : categories) {
        if (catalogue::State().IndexOfCategory(name) == 0) {
            *error = QStringLiteral("ｶﾃｺﾞﾘｰ　[") + name + QStringLiteral("]　はありません。");
            return false;
        }
    }
    return true;
}

std::vector<ProjectLine> StatusLines(const QStringList &categories, const QString &ideCommand)
{
    // The same look as the background reader's: one scan per project, references against the
    // prefix's registry when it has one.
    std::optional<catalogue::ReferenceCheck> check;
    catalogue::ReferenceLookup references;
    if (const QString prefix = catalogue::WinePrefixOfIde(ideCommand); !prefix.isEmpty()) {
        platform::WineRegistry registry(prefix);
        if (std::shared_ptr<const platform::TypeLibTable> table = registry.TypeLibs(); table->Size() > 0) {
            references.tag = table->Tag();
            references.check = &check.emplace(prefix, std::move(table));
        }
    }
    catalogue::CaseFolding folding;
    std::vector<ProjectLine> lines;
    const catalogue::CatalogueState &state = catalogue::State();
    for (qint32 index : chosenCategories(categories)) {
        const catalogue::cVbAnalyze *category = state.CategoryAt(index);
        for (qint32 j = 1; j <= category->Count(); ++j) {
            const catalogue::ProjectRecord *record = category->Record(j);
            ProjectLine line;
            line.category = category->Category();
            line.name = record->Name();
            line.projectFile = record->File();
            const catalogue::ScanResult scan =
                catalogue::ScanProject(line.projectFile, QString(), nullptr, &folding, nullptr, &references);
            line.exe = scan.exe.In(line.projectFile);
            line.state = scan.state;
            if (scan.sources && scan.sources->HasMissing()) {
                line.state = catalogue::ProjectState::ReferenceMissing;
                line.reason = scan.sources->MissingText().split(u'\n', Qt::SkipEmptyParts).join(QStringLiteral(", "));
            } else if (scan.state == catalogue::ProjectState::OutOfDate
                       || scan.state == catalogue::ProjectState::SourceMissing) {
                line.reason = scan.statusFile.In(line.projectFile); // the newer source, or the one missing
            }
            lines.push_back(std::move(line));
        }
    }
    return lines;
}

QString StateWord(catalogue::ProjectState state)
{
    switch (state) {
    case catalogue::ProjectState::Unknown:
        return QStringLiteral("unreadable");
    case catalogue::ProjectState::VbpMissing:
        return QStringLiteral("vbp-missing");
    case catalogue::ProjectState::ExeMissing:
        return QStringLiteral("exe-missing");
    case catalogue::ProjectState::OutOfDate:
        return QStringLiteral("out-of-date");
    case catalogue::ProjectState::UpToDate:
        return QStringLiteral("up-to-date");
    case catalogue::ProjectState::Building:
        return QStringLiteral("building");
    case catalogue::ProjectState::Failed:
        return QStringLiteral("failed");
    case catalogue::ProjectState::ReferenceMissing:
        return QStringLiteral("reference-missing");
    case catalogue::ProjectState::SourceMissing:
        return QStringLiteral("source-missing");
    }
    return QString();
}

bool Unbuildable(catalogue::ProjectState state)
{
    return state == catalogue::ProjectState::VbpMissing || state == catalogue::ProjectState::Unknown;
}

bool NeedsWork(catalogue::ProjectState state)
{
    return state == catalogue::ProjectState::ExeMissing || state == catalogue::ProjectState::OutOfDate
           || state == catalogue::ProjectState::ReferenceMissing || state == catalogue::ProjectState::SourceMissing
           || Unbuildable(state);
}

QString FormatLines(const std::vector<ProjectLine> &lines, commandline::Format format)
{
    // An unread .vbp has no status word of its own in the column ("確認中" is a look under way).
    const auto statusText = [](catalogue::ProjectState state) {
        return state == catalogue::ProjectState::Unknown ? QStringLiteral("読込不可") : catalogue::StatusText(state);
    };
    if (format == commandline::Format::Json) {
        QJsonArray array;
        for (const ProjectLine &line : lines) {
            array.append(QJsonObject{{QStringLiteral("category"), line.category},
                                     {QStringLiteral("name"), line.name},
                                     {QStringLiteral("project"), line.projectFile},
                                     {QStringLiteral("executable"), line.exe},
                                     {QStringLiteral("state"), StateWord(line.state)},
                                     {QStringLiteral("status"), statusText(line.state)},
                                     {QStringLiteral("reason"), line.reason}});
        }
        QString json = QString::fromUtf8(QJsonDocument(array).toJson(QJsonDocument::Indented));
        if (!json.endsWith(u'\n'))
            json += u'\n';
        return json;
    }
    QString text;
    for (const ProjectLine &line : lines) {
        if (format == commandline::Format::Tsv) {
            // A tab or line break in a field would break the columns.
            QStringList fields{line.category, line.name, line.projectFile, line.exe, StateWord(line.state),
                               statusText(line.state), line.reason};
            for (QString &field : fields)
                field.replace(u'\t', u' ').replace(u'\n', u' ').replace(u'\r', u' ');
            text += fields.join(u'\t') + u'\n';
        } else {
            text += QStringLiteral("[%1] %2  %3  %4  %5").arg(line.category, line.name, line.projectFile,
                                                              line.exe.isEmpty() ? QStringLiteral("-") : line.exe,
                                                              statusText(line.state));
            if (!line.reason.isEmpty())
                text += QStringLiteral(" (") + line.reason + u')';
            text += u'\n';
        }
    }
    return text;
}

QString FirstLines(const QString &log, int lines)
{
    const QStringList all = log.split(u'\n');
    return all.mid(0, lines).join(u'\n').trimmed();
}

QByteArray JUnitReport(const std::vector<BuildCase> &cases)
{
    // Suites in the order their categories first come.
    QStringList suites;
    for (const BuildCase &one : cases)
        if (!suites.contains(one.category))
            suites.append(one.category);
    const auto counts = [&](const QString *suite, BuildCase::Result result) {
        int n = 0;
        for (const BuildCase &one : cases)
            n += (!suite || one.category == *suite) && one.result == result;
        return n;
    };
    const auto totalTime = [&](const QString *suite) {
        double total = 0;
        for (const BuildCase &one : cases)
            if (!suite || one.category == *suite)
                total += one.seconds;
        return total;
    };
    QByteArray xml;
    QXmlStreamWriter writer(&xml);
    writer.setAutoFormatting(true);
    writer.writeStartDocument();
    writer.writeStartElement(QStringLiteral("testsuites"));
    writer.writeAttribute(QStringLiteral("name"), QStringLiteral("zarun build"));
    writer.writeAttribute(QStringLiteral("tests"), QString::number(cases.size()));
    writer.writeAttribute(QStringLiteral("failures"), QString::number(counts(nullptr, BuildCase::Result::Failed)));
    writer.writeAttribute(QStringLiteral("skipped"), QString::number(counts(nullptr, BuildCase::Result::Skipped)));
    writer.writeAttribute(QStringLiteral("errors"), QStringLiteral("0"));
    writer.writeAttribute(QStringLiteral("time"), seconds(totalTime(nullptr)));
    for (const QString &suite : suites) {
        int tests = 0;
        for (const BuildCase &one : cases)
            tests += one.category == suite;
        writer.writeStartElement(QStringLiteral("testsuite"));
        writer.writeAttribute(QStringLiteral("name"), suite);
        writer.writeAttribute(QStringLiteral("tests"), QString::number(tests));
        writer.writeAttribute(QStringLiteral("failures"), QString::number(counts(&suite, BuildCase::Result::Failed)));
        writer.writeAttribute(QStringLiteral("skipped"), QString::number(counts(&suite, BuildCase::Result::Skipped)));
        writer.writeAttribute(QStringLiteral("errors"), QStringLiteral("0"));
        writer.writeAttribute(QStringLiteral("time"), seconds(totalTime(&suite)));
        for (const BuildCase &one : cases) {
            if (one.category != suite)
                continue;
            writer.writeStartElement(QStringLiteral("testcase"));
            writer.writeAttribute(QStringLiteral("classname"), one.category);
            writer.writeAttribute(QStringLiteral("name"), one.name);
            writer.writeAttribute(QStringLiteral("file"), one.projectFile);
            writer.writeAttribute(QStringLiteral("time"), seconds(one.seconds));
            if (one.result == BuildCase::Result::Failed) {
                writer.writeStartElement(QStringLiteral("failure"));
                writer.writeAttribute(QStringLiteral("message"), one.message);
                writer.writeAttribute(QStringLiteral("type"), QStringLiteral("build"));
                writer.writeCharacters(one.log.isEmpty() ? one.message + u'\n' + one.projectFile : FirstLines(one.log, 20));
                writer.writeEndElement();
            } else if (one.result == BuildCase::Result::Skipped) {
                writer.writeEmptyElement(QStringLiteral("skipped"));
                writer.writeAttribute(QStringLiteral("message"), one.message);
            }
            if (!one.log.isEmpty())
                writer.writeTextElement(QStringLiteral("system-out"), one.log);
            writer.writeEndElement();
        }
        writer.writeEndElement();
    }
    writer.writeEndElement();
    writer.writeEndDocument();
    return xml;
}

int RunStatus(const commandline::Request &request)
{
    QString error;
    if (!LoadCatalogue(request.File, request.Categories, &error)) {
        printError(error);
        return 2;
    }
    // The IDE the window would build with: the settings', else the association's (asked only when
    // there is a project to check, as the lookup costs more than an empty catalogue's whole run).
    QString command = settingsIdeCommand();
    bool anyProject = false;
    for (qint32 index : chosenCategories(request.Categories))
        anyProject = anyProject || catalogue::State().CategoryAt(index)->Count() > 0;
    if (command.isEmpty() && anyProject)
        command = mMain::GetVbIdePath();
    const std::vector<ProjectLine> lines = StatusLines(request.Categories, command);
    std::fputs(FormatLines(lines, request.format).toUtf8().constData(), stdout);
    std::fflush(stdout);
    if (request.Check)
        for (const ProjectLine &line : lines)
            if (NeedsWork(line.state))
                return 1;
    return 0;
}

int RunBuild(const commandline::Request &request)
{
    QString error;
    if (!LoadCatalogue(request.File, request.Categories, &error)) {
        printError(error);
        return 2;
    }
    // The IDE command as the window's build takes it: the option's, the settings', the association's.
    QString command = request.IdeCommand;
    if (command.isNull())
        command = settingsIdeCommand();
    if (command.isEmpty())
        command = mMain::GetVbIdePath();
    mMain::VbIdePath = command;

    // Each project once, the categories asked for in the catalogue's order; where each is listed.
    const catalogue::CatalogueState &state = catalogue::State();
    std::vector<std::weak_ptr<catalogue::ProjectRecord>> projects;
    QHash<QString, std::pair<QString, QString>> where; // .vbp -> category, name
    const QList<qint32> chosen = chosenCategories(request.Categories);
    for (qint32 i : chosen) {
        const catalogue::cVbAnalyze *category = state.CategoryAt(i);
        for (qint32 j = 1; j <= category->Count(); ++j) {
            const QString file = category->ProjectFile(j);
            if (where.contains(file))
                continue;
            where.insert(file, {category->Category(), category->ProjectName(j)});
            projects.push_back(category->Shared(j));
        }
    }
    // A dependency elsewhere that the build pulls in is reported under its own category.
    for (qint32 i = 1; i <= state.CategoryCount; ++i) {
        const catalogue::cVbAnalyze *category = state.CategoryAt(i);
        for (qint32 j = 1; j <= category->Count(); ++j)
            if (!where.contains(category->ProjectFile(j)))
                where.insert(category->ProjectFile(j), {category->Category(), category->ProjectName(j)});
    }

    // Shows each build in its record and looks at the project again after it, as the window's
    // reader does; joined before the command returns.
    catalogue::ProjectReader reader(catalogue::State());
    tooling::BuildQueue queue;
    queue.SetBuildAll(request.All);
    queue.SetStopOnFailure(!request.KeepGoing);
    std::vector<BuildCase> cases;
    QStringList order;
    QElapsedTimer timer;
    const auto caseOf = [&](const QString &file) {
        BuildCase one;
        one.projectFile = file;
        one.category = where.value(file).first;
        one.name = where.value(file).second;
        return one;
    };
    QObject::connect(&queue, &tooling::BuildQueue::Ordered, &queue,
                     [&](const QStringList &names, const QList<QStringList> &cycles, const QStringList &files) {
                         order = files;
                         for (const QStringList &cycle : cycles)
                             printError(tooling::CycleText(cycle));
                         if (!names.isEmpty())
                             std::fputs((QStringLiteral("順序: ") + names.join(QStringLiteral(" → ")) + u'\n')
                                            .toLocal8Bit()
                                            .constData(),
                                        stderr);
                     });
    QObject::connect(&queue, &tooling::BuildQueue::Progress, &queue, [&](int, int, const QString &) { timer.start(); });
    QObject::connect(&queue, &tooling::BuildQueue::Built, &queue,
                     [&](int number, const QString &file, bool built, bool stopped) {
                         BuildCase one = caseOf(file);
                         one.seconds = double(timer.elapsed()) / 1000.0;
                         one.result = built ? BuildCase::Result::Built
                                            : stopped ? BuildCase::Result::Skipped : BuildCase::Result::Failed;
                         one.message = built ? QString() : stopped ? QStringLiteral("中止") : QStringLiteral("作成失敗");
                         if (!stopped)
                             one.log = readLog(tooling::BuildLogOf(file));
                         const QString word = built ? QStringLiteral("作成完了")
                                                    : stopped ? QStringLiteral("中止") : QStringLiteral("作成失敗");
                         std::fputs(QStringLiteral("[%1/%2] %3 ... %4 (%5 s)\n")
                                        .arg(number)
                                        .arg(order.size())
                                        .arg(one.name, word, seconds(one.seconds))
                                        .toLocal8Bit()
                                        .constData(),
                                    stderr);
                         cases.push_back(std::move(one));
                     });
    int status = 0;
    QObject::connect(&queue, &tooling::BuildQueue::Finished, &queue, [&](const tooling::BuildQueue::Summary &summary) {
        // Those that were to be built but were not reached (a cancel, a failure without --keep-going).
        for (qsizetype k = qsizetype(cases.size()); k < order.size(); ++k) {
            bool done = false;
            for (const BuildCase &one : cases)
                done = done || one.projectFile == order[k];
            if (done)
                continue;
            BuildCase one = caseOf(order[k]);
            one.message = QStringLiteral("未作成");
            cases.push_back(std::move(one));
        }
        bool unbuildable = false;
        for (const auto &[file, projectState] : summary.notNeeded) {
            BuildCase one = caseOf(file);
            one.message = projectState == catalogue::ProjectState::Unknown ? QStringLiteral("読込不可")
                                                                            : catalogue::StatusText(projectState);
            // A .vbp that is gone or cannot be read makes nothing: unattended, that is a failure.
            if (Unbuildable(projectState)) {
                one.result = BuildCase::Result::Failed;
                printError(one.name + QStringLiteral(": ") + one.message + QStringLiteral(" (") + file + u')');
                unbuildable = true;
            }
            cases.push_back(std::move(one));
        }
        if (!summary.error.isEmpty())
            printError(summary.error);
        for (const QString &cause : summary.causes)
            printError(cause);
        QStringList names;
        for (qint32 index : chosen)
            names.append(state.CategoryAt(index)->Category());
        std::fputs(tooling::SummaryText(names.join(u','), summary).toLocal8Bit().constData(), stderr);
        std::fputs("\n", stderr);
        status = summary.failed > 0 || summary.notBuilt > 0 || summary.cancelled || !summary.error.isEmpty()
                         || unbuildable
                     ? 1
                     : 0;
        QCoreApplication::exit(status);
    });

    // A signal cancels as ｷｬﾝｾﾙ does: the IDE and everything it started end; the report is written.
    platform::TerminationSignals terminations;
    terminations.Start();
    QObject::connect(&terminations, &platform::TerminationSignals::Requested, &queue, [&](int) {
        printError(QStringLiteral("中止します。"));
        queue.Cancel();
    });

    if (!queue.Start(projects, &error)) {
        printError(error.isEmpty() ? QStringLiteral("作成を始められません。") : error);
        return 2;
    }
    QCoreApplication::exec();

    if (!request.JUnit.isNull()) {
        QSaveFile report(request.JUnit);
        const QByteArray xml = JUnitReport(cases);
        if (!report.open(QIODevice::WriteOnly) || report.write(xml) != xml.size() || !report.commit()) {
            printError(request.JUnit + QStringLiteral(" を書き込めません。"));
            return status == 0 ? 1 : status;
        }
    }
    return status;
}

} // namespace headless
