#include "StartUp.h"

#include "AppInfo.h"
#include "AuxWindows.h"
#include "FocusMarkStyle.h"
#include "QuickSearchBox.h"
#include "Resources.h"
#include "SecretCode.h"
#include "SearchButtons.h"
#include "SearchDialogs.h"
#include "Translations.h"
#include "UAbout.h"
#include "UAdress.h"
#include "UPred.h"
#include "USecret.h"
#include "USplash.h"
#include "UUpdate.h"
#include "UpdateWindow.h"
#include "WindowSettings.h"

#include <QApplication>
#include <QScreen>
#include <QStyle>


namespace phonebook {

void PrepareApplication(QApplication &app)
{
    QApplication::setApplicationName(QStringLiteral("phonebook"));
    QApplication::setApplicationVersion(QStringLiteral(PHONEBOOK_VERSION));
    QGuiApplication::setDesktopFileName(DesktopFileName.toString());
    QApplication::setWindowIcon(ApplicationIcon());
    QApplication::setStyle(new FocusMarkStyle(QApplication::style()->name()));
    // The font stays the desktop's: the lists and the windows follow it.
    InstallRussianTranslation(app);
}


std::unique_ptr<TFrmMain> StartUp(const ProgramPaths &paths)
{
    // The tables are opened on a worker while the windows are made.
    auto session = std::make_unique<DirectorySession>(paths.tables);
    session->OpenTablesAhead();
    auto splash = std::make_unique<TFrmSplash>();
    splash->show();
    QCoreApplication::processEvents();

    auto main = std::make_unique<TFrmMain>(std::move(session), paths, splash.get());
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
    AttachToolBarSearches(main);
    AttachSearchDialogs(main);
    AttachUpdateWindow(main);
    AttachAuxWindows(main);
}

void AttachToolBarSearches(TFrmMain &main)
{
    DirectorySession &session = main.Session();
    main.SetCommand(Command::PhoneSearch, [&main, &session] { SpeedButton1Click(session, &main); });
    main.SetCommand(Command::SurnameSearch, [&main, &session] { SpeedButton2Click(session, &main, main.Edit1()); });
}

SearchDialogs AttachSearchDialogs(TFrmMain &main)
{
    const SearchDialogs dialogs = CreateSearchDialogs(main.Session(), &main);
    TFrmAdress *address = dialogs.address;
    TFrmPred *org = dialogs.org;
    main.SetCommand(Command::PersonAddressSearch, [address] { address->ShowPersonsMode(); });
    main.SetCommand(Command::OrgAddressSearch, [address] { address->ShowOrgsMode(); });
    main.SetCommand(Command::OrgSearch, [org] { org->Open(); });
    // The quick search's indexes take seconds on a large directory: they are
    // built once the lists are, not competing with them for the processor.
    const auto prepareQuickSearch = [&main, address] {
        if (!main.OrgListPending() && address->StreetsLoaded())
            main.QuickSearch().Prepare();
    };
    QObject::connect(&main, &TFrmMain::OrgListLoaded, address, prepareQuickSearch);
    QObject::connect(address, &TFrmAdress::StreetsReady, address, prepareQuickSearch);
    return dialogs;
}

TFrmUpdate *AttachUpdateWindow(TFrmMain &main)
{
    TFrmUpdate *dialog = CreateUpdateWindow(main.Session(), &main);
    main.SetCommand(Command::Update, [dialog] { dialog->Open(); });
    return dialog;
}

AuxWindows AttachAuxWindows(TFrmMain &main)
{
    const AuxWindows windows = CreateAuxWindows(&main);
    TFrmAbout *about = windows.about;
    TFrmSecret *secret = windows.secret;
    main.SetCommand(Command::About, [&main, about] {
        about->exec();
        main.activateWindow();
    });

    // The counter lives as long as the main window's key preview does.
    auto counter = std::make_shared<SecretCodeCounter>();
    main.SetKeyPreview([&main, secret, counter](QChar key) {
        switch (counter->Feed(key)) {
        case SecretCodeCounter::Step::Advanced:
            main.FocusVisibleGrid();
            break;
        case SecretCodeCounter::Step::Complete:
            secret->exec();
            main.activateWindow();
            break;
        case SecretCodeCounter::Step::Reset:
        case SecretCodeCounter::Step::Waiting:
            break;
        }
    });
    return windows;
}

} // namespace phonebook
