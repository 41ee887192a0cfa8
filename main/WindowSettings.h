#pragma once
// The main window's layout, kept per user between runs: its size and place,
// the column widths the user dragged in each list, the side shown last and
// the lists' size.
// A settings file that cannot be read, or holds values of another kind, is
// ignored: the window opens as it would the first time.

#include <QString>

namespace phonebook {

class TFrmMain;

// Where the layout is kept (an INI file in the user's configuration folder).
QString WindowSettingsPath();

// Puts back the side and the column widths, and the window's size and place;
// returns whether a size and place were put back (else the caller shows the
// window maximised). From then on the layout is saved when the window closes.
bool RestoreWindowLayout(TFrmMain &main);
// Writes the layout now. Returns false when the settings could not be written.
bool SaveWindowLayout(const TFrmMain &main);

} // namespace phonebook
