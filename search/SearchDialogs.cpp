#include "SearchDialogs.h"

#include "UAdress.h"
#include "UMain.h"
#include "UPred.h"

#include <QTimer>

namespace phonebook {

void CreateSearchDialogs(TFrmMain &main)
{
    auto *address = new TFrmAdress(main);
    auto *org = new TFrmPred(main);
    main.SetCommand(Command::PersonAddressSearch, [address] { address->ShowPersonsMode(); });
    main.SetCommand(Command::OrgAddressSearch, [address] { address->ShowOrgsMode(); });
    main.SetCommand(Command::OrgSearch, [org] { org->Open(); });
    // Reading the streets takes about 100 ms on a large directory: done once
    // the main window is up rather than before it is painted.
    QTimer::singleShot(0, address, &TFrmAdress::EnsureStreets);
    QObject::connect(&main, &TFrmMain::DirectoryLoaded, address, &TFrmAdress::ReloadStreets);
}

} // namespace phonebook
