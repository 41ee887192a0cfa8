#pragma once
// The translation of the core's messages (table faults, the engine's errors),
// compiled from translations/phonebook_<language>.ts and shipped in the
// "translations" folder beside the program.

#include <QLocale>
#include <QString>

namespace phonebook {

// Loads the core's translation into the language of `locale` and installs it
// in the application (which must exist). Looks in `folder`, or when it is
// empty in "translations" beside the program. Returns false when there is no
// translation for that language; messages then stay in English.
bool InstallCoreTranslation(const QLocale &locale, const QString &folder = {});

} // namespace phonebook
