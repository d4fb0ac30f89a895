#include "mainwindow/Settings.h"
#include "mainwindow/ShutdownOnRequest.h"
#include "mainwindow/fMain.h"
#include "platform/SingleInstance.h"
#include "platform/TerminationSignals.h"
#include "support/cILink.h"
#include "tooling/mFunction.h"

#include <QApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("ZARUN"));
    // Lets Wayland desktops match the window to the installed desktop entry and icon.
    QApplication::setDesktopFileName(QStringLiteral(ZARUN_APP_ID));

    // A second start ends here, before it reads or writes anything.
    platform::SingleInstance instance;
    if (!instance.TryAcquire(settings::DefaultSettingsFilePath()))
        return 0;
    // From here a log-out or kill runs the same shut-down as closing the window.
    platform::TerminationSignals terminations;
    terminations.Start();

    // The program speaks Japanese whatever the locale; Qt's own dialogs (the file dialog) too,
    // with Japanese dates, sizes and file types.
    QLocale::setDefault(QLocale(QLocale::Japanese, QLocale::Japan));
    QTranslator qtTexts;
    if (qtTexts.load(QStringLiteral("qtbase_ja"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QApplication::installTranslator(&qtTexts);

    cILink::SetOpener([](const QString &target) { mFunction::ShellOpen(target); });
    fMain window;
    ShutdownOnRequest shutdown(window, terminations);
    ui::SetCurrent(&window.UserInterface());
    window.Form_Load();
    window.show();
    return QApplication::exec();
}
