#pragma once
// The update dialog and the watch on the directory's folder, attached to the
// main window.

namespace phonebook {

class TFrmMain;
class TFrmUpdate;

// What the status bar says after a new edition copied in by hand was loaded.
inline constexpr char16_t NewEditionStatus[] = u"Загружена новая редакция справочника";

// Creates FrmUpdate as a child of `main` (it lives as long as main does),
// attaches the menu command "Обновление из архива", and starts watching the
// tables' folder: a new edition copied there by hand reloads both lists.
// Returns the dialog.
TFrmUpdate *CreateUpdateWindow(TFrmMain &main);

} // namespace phonebook
