#include "catalogue/ExecutableReader.h"
#include "catalogue/cVbAnalyze.h"
#include "mainwindow/Settings.h"
#include "mainwindow/fMain.h"
#include "platform/SingleInstance.h"
#include "platform/Trace.h"
#include "support/cILink.h"
#include "tooling/mFunction.h"

#include <QApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>
#include <QWindow>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    platform::trace::Start();
    QApplication::setApplicationName(QStringLiteral("ZARUN"));
    // Lets Wayland desktops match the window to the installed desktop entry and icon.
    QApplication::setDesktopFileName(QStringLiteral(ZARUN_APP_ID));

    // A second start ends here, before it reads or writes anything.
    platform::SingleInstance instance;
    if (!instance.TryAcquire(settings::DefaultSettingsFilePath()))
        return 0;

    // The program speaks Japanese whatever the locale; Qt's own dialogs (the file dialog) too,
    // with Japanese dates, sizes and file types.
    QLocale::setDefault(QLocale(QLocale::Japanese, QLocale::Japan));
    QTranslator qtTexts;
    if (qtTexts.load(QStringLiteral("qtbase_ja"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QApplication::installTranslator(&qtTexts);

    cILink::SetOpener([](const QString &target) { mFunction::ShellOpen(target); });
    fMain window;
    ui::SetCurrent(&window.UserInterface());
    // The rows are filled once every project's executable has been read from its .vbp file.
    QObject::connect(&catalogue::ExecutableReader::Instance(), &catalogue::ExecutableReader::AllRead, [] {
        const catalogue::CatalogueState &state = catalogue::State();
        for (qint32 i = 1; platform::trace::Enabled() && i <= state.CategoryCount; ++i)
            for (qint32 j = 1; j <= state.CategoryAt(i)->Count(); ++j)
                if (!state.CategoryAt(i)->Record(j)->exeKnown)
                    return;
        platform::trace::CatalogueFilled();
    });
    window.Form_Load();
    window.show();
    platform::trace::MarkFirstEvent(window.windowHandle(), QEvent::Expose, "shown");
    return QApplication::exec();
}
