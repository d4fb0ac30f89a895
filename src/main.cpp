#include "catalogue/ProjectReader.h"
#include "catalogue/cVbAnalyze.h"
#include "mainwindow/CommandLine.h"
#include "mainwindow/HeadlessCommands.h"
#include "mainwindow/ui/InstanceChannel.h"
#include "settings/Settings.h"
#include "mainwindow/ui/ShutdownOnRequest.h"
#include "mainwindow/ui/fMain.h"
#include "platform/FontRendering.h"
#include "platform/OffThread.h"
#include "platform/SingleInstance.h"
#include "platform/TerminationSignals.h"
#include "support/ui/ProgramIcon.h"
#include "platform/Trace.h"
#include "support/ui/cILink.h"
#include "tooling/ProjectActions.h"
#include "tooling/UserInterface.h"

#include <QApplication>
#include <QCoreApplication>
#include <QFileInfo>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>
#include <QWindow>

#include <cstdio>
#include <memory>

namespace {

// Help, version and errors go to the terminal without a window, and without a display.
int printAndEnd(const commandline::Request &request)
{
    switch (request.action) {
    case commandline::Action::Help:
        std::fputs(commandline::HelpText().toLocal8Bit().constData(), stdout);
        return 0;
    case commandline::Action::Version:
        std::fputs(commandline::VersionText().toLocal8Bit().constData(), stdout);
        return 0;
    case commandline::Action::Error:
        std::fputs(("zarun: " + request.Error + u'\n' + commandline::HelpText()).toLocal8Bit().constData(), stderr);
        return 2;
    case commandline::Action::Status:
    case commandline::Action::Build:
        // Only after Qt's own options (zarun -platform xcb status ...): not a run without a window.
        std::fputs("zarun: status と build は最初の引数に指定してください\n", stderr);
        return 2;
    case commandline::Action::Run:
        break;
    }
    return -1;
}

} // namespace

int main(int argc, char *argv[])
{
    QStringList raw;
    for (int i = 1; i < argc; ++i)
        raw.append(QString::fromLocal8Bit(argv[i]));
    if (const commandline::Request early = commandline::Parse(raw);
        early.action == commandline::Action::Help || early.action == commandline::Action::Version)
        return printAndEnd(early);

    // A command word: no window, so no display and no widget application either.
    if (commandline::IsHeadless(raw)) {
        QCoreApplication app(argc, argv);
        QCoreApplication::setApplicationName(QStringLiteral("ZARUN"));
        const commandline::Request request = commandline::Parse(QCoreApplication::arguments().mid(1));
        if (request.action == commandline::Action::Status)
            return headless::RunStatus(request);
        if (request.action == commandline::Action::Build)
            return headless::RunBuild(request);
        return printAndEnd(request);
    }

    // Before the application can make its first font.
    platform::DrawCffFontsPlainly();
    QApplication app(argc, argv);
    platform::trace::Start();
    QApplication::setApplicationName(QStringLiteral("ZARUN"));
    // Lets Wayland desktops match the window to the installed desktop entry and icon.
    QApplication::setDesktopFileName(QStringLiteral(ZARUN_APP_ID));
    // Qt has taken its own options (-platform ...) out by now.
    const commandline::Request request = commandline::Parse(QApplication::arguments().mid(1));
    if (request.action != commandline::Action::Run)
        return printAndEnd(request);
    const QString catalogue = request.File.isNull() ? QString() : QFileInfo(request.File).absoluteFilePath();

    // A second start ends here, before it reads or writes anything, after handing its
    // catalogue (or only the wish to see the window) to the running instance.
    const QString settingsFile = settings::DefaultSettingsFilePath();
    platform::SingleInstance instance;
    if (!instance.TryAcquire(settingsFile)) {
        // Not handed over: say so rather than drop the catalogue without a word.
        if (!InstanceChannel::Send(platform::SingleInstance::ChannelPath(settingsFile), catalogue)) {
            std::fputs("zarun: ZARUN は既に起動していますが、応答がありません。\n", stderr);
            return 1;
        }
        return 0;
    }
    // From here a log-out or kill runs the same shut-down as closing the window.
    platform::TerminationSignals terminations;
    terminations.Start();
    InstanceChannel channel;
    channel.Listen(platform::SingleInstance::ChannelPath(settingsFile));

    // The program speaks Japanese whatever the locale; Qt's own dialogs (the file dialog) too,
    // with Japanese dates, sizes and file types.
    QLocale::setDefault(QLocale(QLocale::Japanese, QLocale::Japan));
    QTranslator qtTexts;
    if (qtTexts.load(QStringLiteral("qtbase_ja"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QApplication::installTranslator(&qtTexts);
    // Every window carries the program's icon (the X11 window icon as well).
    QApplication::setWindowIcon(support::ProgramIcon());

    cILink::SetOpener([](const QString &target) { tooling::OpenTarget(target); });
    platform::PreparePaintThreads();
    fMain window;
    ShutdownOnRequest shutdown(window, terminations);
    ui::SetCurrent(&window.UserInterface());
    QObject::connect(&channel, &InstanceChannel::Received, &window, &fMain::OpenRequested);
    if (!catalogue.isNull())
        window.SetCommandLineCatalogue(catalogue);
    // The rows are filled once every project's executable has been read from its .vbp file. Once
    // all are known only a new record can be unknown: the million are not walked again on every
    // category shown, which the stalls measured with the trace would count.
    auto allKnown = std::make_shared<bool>(false);
    const auto recordsCame = [allKnown] { *allKnown = false; };
    const catalogue::CatalogueState *records = &catalogue::State();
    QObject::connect(records, &catalogue::CatalogueState::CategoriesReset, recordsCame);
    QObject::connect(records, &catalogue::CatalogueState::CategoryInserted, recordsCame);
    QObject::connect(records, &catalogue::CatalogueState::ProjectsReset, recordsCame);
    QObject::connect(records, &catalogue::CatalogueState::ProjectInserted, recordsCame);
    QObject::connect(records, &catalogue::CatalogueState::ProjectChanged, recordsCame);
    QObject::connect(&window.Reader(), &catalogue::ProjectReader::AllRead, [allKnown] {
        if (!platform::trace::Enabled())
            return;
        const catalogue::CatalogueState &state = catalogue::State();
        if (state.File == catalogue::CatalogueState::FileState::Reading || state.CatalogueFilePath.isEmpty())
            return; // its first category alone, shown or still waiting to be
        if (!*allKnown) {
            for (qint32 i = 1; i <= state.CategoryCount; ++i)
                for (qint32 j = 1; j <= state.CategoryAt(i)->Count(); ++j)
                    if (!state.CategoryAt(i)->Record(j)->exeKnown)
                        return;
            *allKnown = true;
        }
        platform::trace::CatalogueFilled();
    });
    window.DeferStartCatalogue();
    window.Form_Load();
    window.show();
    platform::trace::MarkFirstEvent(window.windowHandle(), QEvent::Expose, "shown");
    return QApplication::exec();
}
