#include "CoreTranslation.h"

#include <QCoreApplication>
#include <QDir>
#include <QTranslator>

namespace phonebook {

bool InstallCoreTranslation(const QLocale &locale, const QString &folder)
{
    QCoreApplication *app = QCoreApplication::instance();
    if (!app || locale.language() == QLocale::English || locale.language() == QLocale::C)
        return false;
    const QString where = folder.isEmpty()
        ? QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("translations"))
        : folder;
    auto *translator = new QTranslator(app);
    if (translator->load(locale, QStringLiteral("phonebook"), QStringLiteral("_"), where)
        && QCoreApplication::installTranslator(translator))
        return true;
    delete translator;
    return false;
}

} // namespace phonebook
