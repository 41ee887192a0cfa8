#include "AuxWindows.h"

#include "UAbout.h"
#include "USecret.h"

namespace phonebook {

AuxWindows CreateAuxWindows(QWidget *owner)
{
    return {new TFrmAbout(owner), new TFrmSecret(owner)};
}

} // namespace phonebook
