#pragma once
// The program's Russian: the core's messages, and Qt's own translation so
// that the standard dialogs and buttons ("Отмена", "Открыть", ...) speak it too.

class QCoreApplication;

namespace phonebook {

// Installs the core's Russian messages, and loads qtbase_ru from Qt's translations folder (or from "translations"
// beside the program) and installs it in the application. Returns false when
// no translation was found; the program then goes on in English.
bool InstallRussianTranslation(QCoreApplication &app);

} // namespace phonebook
