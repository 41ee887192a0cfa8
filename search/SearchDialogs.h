#pragma once
// The address and organisation search dialogs, attached to the main window.

namespace phonebook {

class TFrmMain;

// Creates FrmAdress and then FrmPred as children of `main` and attaches
// SpeedButton3, SpeedButton4 and SpeedButton5 to them. The street lists are
// loaded once the event loop runs (after the main window is shown), and again
// whenever the main window loads the directory anew.
void CreateSearchDialogs(TFrmMain &main);

} // namespace phonebook
