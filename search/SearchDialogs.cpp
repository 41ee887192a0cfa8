#include "SearchDialogs.h"

#include "DirectorySession.h"
#include "UAdress.h"
#include "UPred.h"

namespace phonebook {

SearchDialogs CreateSearchDialogs(DirectorySession &session, QWidget *owner)
{
    auto *address = new TFrmAdress(session, owner);
    auto *org = new TFrmPred(session, owner);
    // Reading the streets takes about 100 ms on a large directory: done in the
    // background, as the organisation list is; with the lists, when they are
    // still to be loaded.
    if (!session.LoadPending())
        address->ReloadStreets();
    QObject::connect(&session, &DirectorySession::ListsReloaded, address, &TFrmAdress::ReloadStreets);
    return {address, org};
}

} // namespace phonebook
