#pragma once
// Qt's own Russian translation, so that the standard dialogs and buttons
// ("Отмена", "Открыть", ...) speak the program's language.

class QCoreApplication;

namespace phonebook {

// Loads qtbase_ru from Qt's translations folder (or from "translations"
// beside the program) and installs it in the application. Returns false when
// no translation was found; the program then goes on in English.
bool InstallRussianTranslation(QCoreApplication &app);

} // namespace phonebook
