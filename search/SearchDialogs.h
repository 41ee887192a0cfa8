#pragma once
// The address and organisation search dialogs.

class QWidget;

namespace phonebook {

class DirectorySession;
class TFrmAdress;
class TFrmPred;

struct SearchDialogs {
    TFrmAdress *address = nullptr;
    TFrmPred *org = nullptr;
};

// Creates FrmAdress and then FrmPred as children of `owner` (the main window)
// over the session. The street lists are loaded once the event loop runs, and
// again whenever the session reloads the directory.
SearchDialogs CreateSearchDialogs(DirectorySession &session, QWidget *owner);

} // namespace phonebook
