#pragma once
// The main window's tool-bar searches: each asks its question (in a box over
// `owner`, the main window), runs the search on the session's QTemp and has
// the session present it.

class QLineEdit;
class QWidget;

namespace phonebook {

class DirectorySession;

// SpeedButton1: the telephone-number search, on the individuals or the
// organisations page; on the organisation page it does nothing.
void SpeedButton1Click(DirectorySession &session, QWidget *owner);
// SpeedButton2: the surname search, on the individuals page only. The answer
// goes through `edit1` (the main window's upper-casing box), which keeps it.
void SpeedButton2Click(DirectorySession &session, QWidget *owner, QLineEdit &edit1);

} // namespace phonebook
