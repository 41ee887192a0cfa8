#include "AuxWindows.h"

#include "SecretCode.h"
#include "UAbout.h"
#include "UMain.h"
#include "USecret.h"

#include <memory>

namespace phonebook {

void CreateAuxWindows(TFrmMain &main)
{
    auto *about = new TFrmAbout(&main);
    auto *secret = new TFrmSecret(&main);

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
}

} // namespace phonebook
