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

QString FindTableFile(const QString &directory, QStringView name)
{
    QStringView base = name;
    if (base.endsWith(u".dbf", Qt::CaseInsensitive))
        base.chop(4);
    // The exact spelling first: it is the common case and needs no listing.
    const QString exact = QDir(directory).filePath(base.toString() + QStringLiteral(".dbf"));
    if (QFileInfo(exact).isFile())
        return QFileInfo(exact).absoluteFilePath();
    for (const auto &[tableName, path] : ListTableFiles(directory)) {
        if (tableName.compare(base, Qt::CaseInsensitive) == 0)
            return path;
    }
    return {};
}

} // namespace phonebook
