#pragma once
// The application layer: start-up (the splash while the directory loads, the
// main window, then the windows that live beside it, in their fixed order) and
// the wiring of every window's commands into the main window. The window
// libraries below it never depend on one another: each works on the directory
// session, and only this layer knows the main window's commands.

#include "AuxWindows.h"
#include "SearchDialogs.h"
#include "UMain.h"

#include <memory>

class QApplication;

namespace phonebook {

class TFrmUpdate;

// Names the application, loads Qt's Russian translation and sets the icon
// and the desktop entry. Call once, right after the QApplication exists.
void PrepareApplication(QApplication &app);

// Shows the splash, builds the main window (loading both lists while the
// splash's bar counts), shows the main window maximised and creates the
// remaining windows. The caller runs the event loop.
std::unique_ptr<TFrmMain> StartUp(const ProgramPaths &paths);

// Runs the window event loop until the program ends and returns its exit
// code. Returns at once when the main window was closed during start-up,
// before any loop ran to be quit.
int RunEventLoop(const TFrmMain &main);

// Attaches the tool-bar searches, then creates the windows that follow the
// main window, in this order: address search, organisation search, update,
// about, hidden picture, and attaches their commands to the main window.
void CreateRemainingWindows(TFrmMain &main);

// The steps of CreateRemainingWindows(), for tests that need one group alone.
// The tool-bar searches: SpeedButton1 and SpeedButton2.
void AttachToolBarSearches(TFrmMain &main);
// The address and organisation dialogs on SpeedButton3, SpeedButton4 and
// SpeedButton5; the quick search's indexes are built once the organisation
// list and the street lists are there.
SearchDialogs AttachSearchDialogs(TFrmMain &main);
// The update dialog on "Обновление из архива", and the watch on the tables' folder.
TFrmUpdate *AttachUpdateWindow(TFrmMain &main);
// The about window on "О программе", and the key preview that watches for the
// hidden picture's code.
AuxWindows AttachAuxWindows(TFrmMain &main);

} // namespace phonebook
