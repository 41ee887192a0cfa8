#pragma once
// The about window and the hidden picture window, attached to the main window.

namespace phonebook {

class TFrmMain;

// Creates FrmAbout and FrmSecret as children of `main` (they live as long as
// it does), attaches the menu command "О программе" and the key preview that
// watches for the hidden picture's code.
void CreateAuxWindows(TFrmMain &main);

} // namespace phonebook
