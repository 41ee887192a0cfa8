#include "TableFiles.h"

#include <QDir>
#include <QFileInfo>

namespace phonebook {

std::vector<std::pair<QString, QString>> ListTableFiles(const QString &directory)
{
    std::vector<std::pair<QString, QString>> tables;
    const QDir dir(directory);
    const QFileInfoList entries = dir.entryInfoList(QDir::Files | QDir::Readable, QDir::Name);
    for (const QFileInfo &entry : entries) {
        if (entry.suffix().compare(u"dbf", Qt::CaseInsensitive) == 0)
            tables.emplace_back(entry.completeBaseName().toLower(), entry.absoluteFilePath());
    }
    return tables;
}

Result<QString> FindTableFile(const QString &directory, QStringView name)
{
    QString wanted = name.toString();
    if (!wanted.endsWith(u".dbf", Qt::CaseInsensitive))
        wanted += QStringLiteral(".dbf");
    // Every entry counts, readable or not, so that a second spelling is never overlooked.
    const QDir dir(directory);
    QStringList found;
    const QStringList entries = dir.entryList(QDir::Files | QDir::System | QDir::Hidden, QDir::Name);
    for (const QString &entry : entries) {
        if (entry.compare(wanted, Qt::CaseInsensitive) == 0)
            found << entry;
    }
    if (found.size() > 1)
        return CoreError(CoreMessage("The folder %1 holds the table %2 under two names, %3 and %4. "
                                     "Remove one of them (keep the current edition)."),
                         {QDir::toNativeSeparators(directory), wanted.toLower(), found[0], found[1]});
    if (found.isEmpty())
        return QString();
    return QFileInfo(dir.filePath(found.first())).absoluteFilePath();
}

} // namespace phonebook
