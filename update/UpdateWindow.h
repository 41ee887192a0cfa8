#pragma once
// The update dialog and the watch on the directory's folder.

class QWidget;

namespace phonebook {

class DirectorySession;
class TFrmUpdate;

// Creates FrmUpdate as a child of `owner` (the main window; it lives as long
// as the owner does) and has the session watch the tables' folder: a new
// edition copied there by hand reloads both lists. Returns the dialog.
TFrmUpdate *CreateUpdateWindow(DirectorySession &session, QWidget *owner);

} // namespace phonebook
