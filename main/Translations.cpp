#include "Translations.h"

#include "CoreTranslation.h"

#include <QCoreApplication>
#include <QDir>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

namespace phonebook {

bool InstallRussianTranslation(QCoreApplication &app)
{
    const QLocale russian(QLocale::Russian, QLocale::Russia);
    QLocale::setDefault(russian);
    InstallCoreTranslation(russian); // the core's messages
    auto *translator = new QTranslator(&app);
    const QString folders[] = {
        QLibraryInfo::path(QLibraryInfo::TranslationsPath),
        QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("translations")),
    };
    for (const QString &folder : folders) {
        if (translator->load(QStringLiteral("qtbase_ru"), folder))
            return QCoreApplication::installTranslator(translator);
    }
    delete translator;
    return false;
}

} // namespace phonebook
