#include "UpdateFiles.h"

#include "DatabaseError.h"
#include "DbfTable.h"
#include "PosixFile.h"
#include "TableFiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

namespace phonebook::update {

QString TableBase(Table table)
{
    return TableName(table).toString();
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

namespace {

// The fields the program reads, all of character type.
QStringList RequiredFields(Table table)
{
    if (table == Table::Persons)
        return {QStringLiteral("nt"), QStringLiteral("fio"), QStringLiteral("street"), QStringLiteral("hous"),
                QStringLiteral("flat")};
    return {QStringLiteral("nt"), QStringLiteral("naim"), QStringLiteral("knaim"), QStringLiteral("mesto"),
            QStringLiteral("street"), QStringLiteral("hous")};
}

// Whether the table has every field `table` is read by.
bool HasFieldsOf(const DbfTable &dbf, Table table)
{
    for (const QString &name : RequiredFields(table)) {
        const int index = dbf.fieldIndex(name);
        if (index < 0 || !dbf.fields()[static_cast<size_t>(index)].isCharacter())
            return false;
    }
    return true;
}

} // namespace

std::optional<QString> TableFault(const QString &path, Table table)
{
    const QString name = TableFileName(table);
    try {
        const auto dbf = DbfTable::open(path);
        if (!dbf->warnings().isEmpty())
            return dbf->warnings().join(u' ');
        const Table other = table == Table::Persons ? Table::Orgs : Table::Persons;
        if (!HasFieldsOf(*dbf, table) && HasFieldsOf(*dbf, other))
            return table == Table::Persons
                ? QStringLiteral("под именем %1 пришла таблица организаций (%2), а не физических лиц.").arg(name, TableFileName(other))
                : QStringLiteral("под именем %1 пришла таблица физических лиц (%2), а не организаций.").arg(name, TableFileName(other));
        for (const QString &field : RequiredFields(table)) {
            const int index = dbf->fieldIndex(field);
            if (index < 0)
                return QStringLiteral("В таблице %1 нет поля %2.").arg(name, field);
            if (!dbf->fields()[static_cast<size_t>(index)].isCharacter())
                return QStringLiteral("В таблице %1 поле %2 не символьное.").arg(name, field);
        }
        if (dbf->liveCount() == 0)
            return QStringLiteral("В таблице %1 нет ни одной записи.").arg(name);
        return std::nullopt;
    } catch (const DatabaseError &error) {
        return error.message();
    } catch (const std::exception &error) {
        return QString::fromLocal8Bit(error.what());
    }
}

bool SurvivesLocaleEncoding(const QByteArray &path)
{
    return QFile::encodeName(QFile::decodeName(path)) == path;
}

bool IsProgramFileName(QStringView name)
{
    if (name.startsWith(StagingPrefix, Qt::CaseInsensitive))
        return true;
    for (Table table : Tables) {
        for (QStringView suffix : {u".dbf", u".old", u".fpt", u".dbt"}) {
            if (name.compare(TableBase(table) + suffix.toString(), Qt::CaseInsensitive) == 0)
                return true;
        }
    }
    for (QStringView own : {LockFileName, JournalFileName, StagingMarkerName, QStringView(u"phonebook"), QStringView(u"phonebook-find"),
                            QStringView(u"phonebook-update"), QStringView(u"phonebook-gen")}) {
        if (name.compare(own, Qt::CaseInsensitive) == 0)
            return true;
    }
    return false;
}

qint64 FreeSpace(const QString &path)
{
    struct statvfs fs {};
    if (::statvfs(QFile::encodeName(path).constData(), &fs) != 0)
        return -1;
    return static_cast<qint64>(fs.f_bavail) * static_cast<qint64>(fs.f_frsize);
}

QString FileErrorText(int error)
{
    switch (error) {
    case ENOSPC:
    case EDQUOT:
        return QStringLiteral("на диске не хватает места");
    case EACCES:
    case EPERM:
        return QStringLiteral("нет прав доступа");
    case EROFS:
        return QStringLiteral("диск доступен только для чтения");
    case ENOENT:
        return QStringLiteral("файл не найден");
    case EISDIR:
        return QStringLiteral("на этом месте папка");
    case ELOOP:
        return QStringLiteral("на этом месте символическая ссылка");
    default:
        return QString::fromLocal8Bit(std::strerror(error));
    }
}

QString NoWriteAccessMessage(const QString &directory)
{
    return QStringLiteral("Нет прав на запись в папку %1.").arg(QDir::toNativeSeparators(directory));
}

std::optional<QString> CheckWritable(const QString &directory)
{
    const QByteArray path = QFile::encodeName(directory);
    struct stat st {};
    if (::stat(path.constData(), &st) != 0 || !S_ISDIR(st.st_mode))
        return QStringLiteral("Папка %1 не найдена.").arg(QDir::toNativeSeparators(directory));
    if (::faccessat(AT_FDCWD, path.constData(), W_OK | X_OK, AT_EACCESS) != 0)
        return NoWriteAccessMessage(directory);
    return std::nullopt;
}

PlacedArchive PlaceArchive(const QString &archive, const QString &directory, qint64 minFree, const QString &scratch)
{
    PlacedArchive placed;
    if (archive.trimmed().isEmpty()) {
        placed.error = QStringLiteral("Не указан путь к архиву.");
        return placed;
    }
    const QFileInfo source(archive);
    struct stat sourceStat {};
    if (::stat(QFile::encodeName(archive).constData(), &sourceStat) != 0 || !S_ISREG(sourceStat.st_mode)) {
        placed.error = QStringLiteral("Архив %1 не найден.").arg(QDir::toNativeSeparators(archive));
        return placed;
    }
    if (IsProgramFileName(source.fileName())) {
        placed.error = QStringLiteral("Архив не может называться %1: так называется файл самой программы. "
                                      "Переименуйте архив и повторите обновление.")
                           .arg(source.fileName());
        return placed;
    }
    const QString canonicalSource = source.canonicalFilePath();
    const QString dest = QDir(directory).filePath(source.fileName());
    // The same file, however its path is spelled: a link resolves to its target.
    struct stat destStat {};
    const bool sameAsDest = ::stat(QFile::encodeName(dest).constData(), &destStat) == 0
        && destStat.st_dev == sourceStat.st_dev && destStat.st_ino == sourceStat.st_ino;
    if (sameAsDest || QFileInfo(canonicalSource).absolutePath() == QFileInfo(directory).canonicalFilePath()) {
        placed.path = canonicalSource;
        return placed;
    }

    const auto fail = [&](const QString &what, int error) {
        placed.error = QStringLiteral("Не удалось скопировать архив в %1: %2 (%3).")
                           .arg(QDir::toNativeSeparators(directory), what, FileErrorText(error));
        return placed;
    };
    const qint64 free = FreeSpace(directory);
    if (free >= 0 && free - static_cast<qint64>(sourceStat.st_size) < minFree)
        return fail(QStringLiteral("архиву нужно %1 МБ").arg((sourceStat.st_size >> 20) + 1), ENOSPC);

    PosixFile in(::open(QFile::encodeName(archive).constData(), O_RDONLY | O_CLOEXEC));
    if (!in.valid())
        return fail(QStringLiteral("архив не читается"), errno);
    TempFile out(scratch.isEmpty() ? directory : scratch, source.fileName());
    if (!out.valid())
        return fail(QStringLiteral("не создаётся временный файл"), out.error());
    if (const int error = CopyAll(in.fd(), out.fd(), static_cast<qint64>(sourceStat.st_size)))
        return fail(QStringLiteral("копия неполна"), error);
    ::fchmod(out.fd(), sourceStat.st_mode & 0777); // the copy may be run
    if (const int error = out.Commit(dest))
        return fail(QStringLiteral("копия не записана"), error);
    placed.path = dest;
    placed.copied = true;
    return placed;
}

} // namespace phonebook::update
