#pragma once
// The about window and the hidden picture window.

class QWidget;

namespace phonebook {

class TFrmAbout;
class TFrmSecret;

struct AuxWindows {
    TFrmAbout *about = nullptr;
    TFrmSecret *secret = nullptr;
};

// Creates FrmAbout and FrmSecret as children of `owner` (the main window;
// they live as long as it does).
AuxWindows CreateAuxWindows(QWidget *owner);

} // namespace phonebook
