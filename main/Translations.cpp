#include "Translations.h"

#include <QCoreApplication>
#include <QDir>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

namespace phonebook {

bool InstallRussianTranslation(QCoreApplication &app)
{
    QLocale::setDefault(QLocale(QLocale::Russian, QLocale::Russia));
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
