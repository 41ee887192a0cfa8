#include "UpdateWindow.h"

#include "DirectorySession.h"
#include "UUpdate.h"

namespace phonebook {

TFrmUpdate *CreateUpdateWindow(DirectorySession &session, QWidget *owner)
{
    session.WatchFolder();
    return new TFrmUpdate(session, owner);
}

} // namespace phonebook
