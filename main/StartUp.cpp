#include "StartUp.h"

#include "BackgroundBuild.h"

#include "AppInfo.h"
#include "AuxWindows.h"
#include "DbfTable.h"
#include "FocusMarkStyle.h"
#include "Resources.h"
#include "SearchButtons.h"
#include "SearchDialogs.h"
#include "TableFiles.h"
#include "Translations.h"
#include "USplash.h"
#include "UpdateWindow.h"
#include "WindowSettings.h"

#include <QApplication>
#include <QFont>
#include <QScreen>
#include <QStyle>

#include <exception>

namespace phonebook {

void PrepareApplication(QApplication &app)
{
    QApplication::setApplicationName(QStringLiteral("phonebook"));
    QApplication::setApplicationVersion(QStringLiteral(PHONEBOOK_VERSION));
    QGuiApplication::setDesktopFileName(DesktopFileName.toString());
    QApplication::setWindowIcon(ApplicationIcon());
    QApplication::setStyle(new FocusMarkStyle(QApplication::style()->name()));
    // The column widths of the lists were chosen for an 8-point interface font.
    QFont font = QApplication::font();
    font.setPointSize(InterfacePointSize);
    QApplication::setFont(font);
    InstallRussianTranslation(app);
}

namespace {

// Counting a large table's records is the longest step of the start-up: both
// tables are opened on a worker while the windows are made, and the main
// window finds them open (or waits for the one still being opened). A table
// that cannot be opened is reported when the main window opens it.
void OpenTablesAhead(const QString &directory)
{
    StartWork([directory](const StopCheck &) {
        for (const QStringView name : {PersonsTable, OrgsTable}) {
            try {
                const QString path = FindTableFile(directory, name);
                if (!path.isEmpty())
                    DbfTable::open(path);
            } catch (const std::exception &) {
            }
        }
    });
}

} // namespace

std::unique_ptr<TFrmMain> StartUp(const ProgramPaths &paths)
{
    OpenTablesAhead(paths.tables);
    auto splash = std::make_unique<TFrmSplash>();
    splash->show();
    QCoreApplication::processEvents();

    auto main = std::make_unique<TFrmMain>(paths, splash.get());
    QCoreApplication::processEvents();

    splash.reset();
    if (RestoreWindowLayout(*main)) {
        main->show();
    } else {
        // The maximised size up front, for desktops whose window manager ignores the request.
        if (const QScreen *screen = main->screen())
            main->setGeometry(screen->availableGeometry());
        main->showMaximized();
    }
    QCoreApplication::processEvents();

    CreateRemainingWindows(*main);
    return main;
}

int RunEventLoop(const TFrmMain &main)
{
    // Closing the main window quits the event loop; closed while the start-up
    // still let events through, there was no loop yet and the quit was lost.
    if (!main.isVisible())
        return 0;
    return QApplication::exec();
}

void CreateRemainingWindows(TFrmMain &main)
{
    // The tool-bar searches need no window of their own.
    main.SetCommand(Command::PhoneSearch, [&main] { SpeedButton1Click(main); });
    main.SetCommand(Command::SurnameSearch, [&main] { SpeedButton2Click(main); });
    // Then the address search and organisation search dialogs, the update
    // window, the about and hidden picture windows, in this order; each
    // attaches its commands with main.SetCommand().
    CreateSearchDialogs(main);
    CreateUpdateWindow(main);
    CreateAuxWindows(main);
}

} // namespace phonebook
