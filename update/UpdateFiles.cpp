#include "UpdateFiles.h"

#include "DatabaseError.h"
#include "DbfTable.h"
#include "TableFiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QSaveFile>

namespace phonebook::update {

namespace {

QString InDir(const QString &directory, const QString &name)
{
    return QDir(directory).filePath(name);
}

// The ".old" copy in any letter case, or empty.
QString FindOld(const QString &directory, Table table)
{
    const QString exact = InDir(directory, OldFileName(table));
    if (QFileInfo(exact).isFile())
        return exact;
    const QStringList entries = QDir(directory).entryList(QDir::Files);
    for (const QString &entry : entries) {
        if (entry.compare(OldFileName(table), Qt::CaseInsensitive) == 0)
            return InDir(directory, entry);
    }
    return {};
}

// Replaces `to` with `from` by renaming, which is atomic within a directory.
std::optional<QString> Replace(const QString &from, const QString &to)
{
    if (QFileInfo::exists(to) && !QFile::remove(to))
        return QStringLiteral("Не удалось удалить файл %1.").arg(QDir::toNativeSeparators(to));
    QFile file(from);
    if (!file.rename(to)) {
        return QStringLiteral("Не удалось переименовать %1 в %2: %3")
            .arg(QDir::toNativeSeparators(from), QFileInfo(to).fileName(), file.errorString());
    }
    return std::nullopt;
}

} // namespace

QString TableBase(Table table)
{
    return table == Table::Persons ? QStringLiteral("sp09kw_n") : QStringLiteral("sp09pr_n");
}

QString TableFileName(Table table)
{
    return TableBase(table) + QStringLiteral(".dbf");
}

QString OldFileName(Table table)
{
    return TableBase(table) + QStringLiteral(".old");
}

QString NotUpdatedMessage(Table table)
{
    // The organisations' message keeps its spelling: users know it by it.
    return table == Table::Persons ? QStringLiteral("Обновление физических лиц не выполнено!!!")
                                   : QStringLiteral("Обновление пердприятий не выполнено!!!");
}

std::optional<QString> TableFault(const QString &path)
{
    try {
        const auto table = DbfTable::open(path);
        if (!table->warnings().isEmpty())
            return table->warnings().join(u' ');
        return std::nullopt;
    } catch (const DatabaseError &error) {
        return error.message();
    } catch (const std::exception &error) {
        return QString::fromLocal8Bit(error.what());
    }
}

std::optional<QString> SetAside(const QString &directory, Table table)
{
    const QString current = FindTableFile(directory, TableBase(table));
    if (current.isEmpty())
        return std::nullopt;
    return Replace(current, InDir(directory, OldFileName(table)));
}

std::optional<QString> PutBack(const QString &directory, Table table)
{
    const QString old = FindOld(directory, table);
    if (old.isEmpty())
        return std::nullopt;
    const QString current = FindTableFile(directory, TableBase(table));
    if (!current.isEmpty() && !QFile::remove(current))
        return QStringLiteral("Не удалось удалить файл %1.").arg(QDir::toNativeSeparators(current));
    return Replace(old, InDir(directory, TableFileName(table)));
}

void DropOld(const QString &directory, Table table)
{
    const QString old = FindOld(directory, table);
    if (!old.isEmpty())
        QFile::remove(old);
}

RestoreReport RestoreSetAsideTables(const QString &directory)
{
    RestoreReport report;
    bool anyOld = false;
    for (Table table : Tables)
        anyOld = anyOld || !FindOld(directory, table).isEmpty();
    if (!anyOld)
        return report;

    // An update running in another process owns the ".old" copies. A lock
    // left by a process that was killed is stale and taken over. A directory
    // that cannot hold a lock file (read-only) has no update running in it.
    QLockFile lock(InDir(directory, LockFileName.toString()));
    if (!lock.tryLock(0) && lock.error() == QLockFile::LockFailedError)
        return report;

    for (Table table : Tables) {
        const QString old = FindOld(directory, table);
        if (old.isEmpty())
            continue;
        const QString current = FindTableFile(directory, TableBase(table));
        if (!current.isEmpty() && !TableFault(current)) {
            DropOld(directory, table);
            continue;
        }
        if (!current.isEmpty() && TableFault(old))
            continue; // a damaged table is not traded for a damaged copy
        if (const auto error = PutBack(directory, table)) {
            report.messages << *error;
            report.failed = true;
        } else {
            report.messages << QStringLiteral("Таблица %1 восстановлена из %2: прошлое обновление не было закончено.")
                                   .arg(TableFileName(table), OldFileName(table));
        }
    }
    return report;
}

PlacedArchive PlaceArchive(const QString &archive, const QString &directory)
{
    PlacedArchive placed;
    const QFileInfo source(archive);
    if (archive.trimmed().isEmpty()) {
        placed.error = QStringLiteral("Не указан путь к архиву.");
        return placed;
    }
    if (!source.isFile()) {
        placed.error = QStringLiteral("Архив %1 не найден.").arg(QDir::toNativeSeparators(archive));
        return placed;
    }
    const QString canonicalSource = source.canonicalFilePath();
    const QString dest = InDir(directory, source.fileName());
    // The same file, however its path is spelled: a link resolves to its target.
    if (QFileInfo(canonicalSource).absolutePath() == QFileInfo(directory).canonicalFilePath()
        || QFileInfo(dest).canonicalFilePath() == canonicalSource) {
        placed.path = canonicalSource;
        return placed;
    }

    QFile in(canonicalSource);
    QSaveFile out(dest);
    if (!in.open(QIODevice::ReadOnly)) {
        placed.error = QStringLiteral("Не удалось прочесть архив %1: %2").arg(QDir::toNativeSeparators(archive), in.errorString());
        return placed;
    }
    if (!out.open(QIODevice::WriteOnly)) {
        placed.error = QStringLiteral("Не удалось скопировать архив в %1: %2").arg(QDir::toNativeSeparators(directory), out.errorString());
        return placed;
    }
    while (!in.atEnd()) {
        const QByteArray chunk = in.read(1 << 20);
        if (chunk.isEmpty() && in.error() != QFileDevice::NoError)
            break;
        if (out.write(chunk) != chunk.size())
            break;
    }
    if (in.error() != QFileDevice::NoError || !out.commit()) {
        placed.error = QStringLiteral("Не удалось скопировать архив в %1: %2")
                           .arg(QDir::toNativeSeparators(directory),
                                in.error() != QFileDevice::NoError ? in.errorString() : out.errorString());
        return placed;
    }
    // The copy may be run: it keeps the source's permissions.
    QFile::setPermissions(dest, in.permissions());
    placed.path = dest;
    placed.copied = true;
    return placed;
}

} // namespace phonebook::update
