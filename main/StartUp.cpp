#include "StartUp.h"

#include "AppInfo.h"
#include "Resources.h"
#include "Translations.h"
#include "USplash.h"

#include <QApplication>

namespace phonebook {

void PrepareApplication(QApplication &app)
{
    QApplication::setApplicationName(QStringLiteral("phonebook"));
    QApplication::setApplicationVersion(QStringLiteral(PHONEBOOK_VERSION));
    QGuiApplication::setDesktopFileName(DesktopFileName.toString());
    QApplication::setWindowIcon(ApplicationIcon());
    InstallRussianTranslation(app);
}

std::unique_ptr<TFrmMain> StartUp(const ProgramPaths &paths)
{
    auto splash = std::make_unique<TFrmSplash>();
    splash->show();
    QCoreApplication::processEvents();

    auto main = std::make_unique<TFrmMain>(paths, splash.get());
    QCoreApplication::processEvents();

    splash.reset();
    main->showMaximized();
    QCoreApplication::processEvents();

    CreateRemainingWindows(*main);
    return main;
}

void CreateRemainingWindows(TFrmMain &main)
{
    // The search, update, about and hidden picture windows are created here
    // as they are added, each attaching its commands with main.SetCommand().
    Q_UNUSED(main);
}

} // namespace phonebook
