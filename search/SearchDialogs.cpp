#include "SearchDialogs.h"

#include "QuickSearchBox.h"
#include "UAdress.h"
#include "UMain.h"
#include "UPred.h"


namespace phonebook {

void CreateSearchDialogs(TFrmMain &main)
{
    auto *address = new TFrmAdress(main);
    auto *org = new TFrmPred(main);
    main.SetCommand(Command::PersonAddressSearch, [address] { address->ShowPersonsMode(); });
    main.SetCommand(Command::OrgAddressSearch, [address] { address->ShowOrgsMode(); });
    main.SetCommand(Command::OrgSearch, [org] { org->Open(); });
    // Reading the streets takes about 100 ms on a large directory: done in the
    // background, as the organisation list is.
    address->ReloadStreets();
    QObject::connect(&main, &TFrmMain::DirectoryLoaded, address, &TFrmAdress::ReloadStreets);
    // The quick search's indexes take seconds on a large directory: they are
    // built once the lists are, not competing with them for the processor.
    const auto prepareQuickSearch = [&main, address] {
        if (!main.OrgListPending() && address->StreetsLoaded())
            main.QuickSearch().Prepare();
    };
    QObject::connect(&main, &TFrmMain::OrgListLoaded, address, prepareQuickSearch);
    QObject::connect(address, &TFrmAdress::StreetsReady, address, prepareQuickSearch);
}

} // namespace phonebook
