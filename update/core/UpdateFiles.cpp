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

CoreError NotUpdatedMessage(Table table)
{
    // The organisations' message keeps its spelling in Russian: users know it by it.
    return table == Table::Persons ? CoreError(CoreMessage("The individuals were not updated!!!"))
                                   : CoreError(CoreMessage("The organisations were not updated!!!"));
}

std::optional<CoreError> TableFault(const QString &path)
{
    try {
        const auto table = DbfTable::open(path);
        if (!table->warnings().isEmpty())
            return CoreError::AsWritten(table->warnings().join(u' ')); // translated when read
        return std::nullopt;
    } catch (const DatabaseError &error) {
        return error.error();
    } catch (const std::exception &error) {
        return CoreError::AsWritten(QString::fromLocal8Bit(error.what()));
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

std::optional<CoreError> TableFault(const QString &path, Table table)
{
    const QString name = TableFileName(table);
    try {
        const auto dbf = DbfTable::open(path);
        if (!dbf->warnings().isEmpty())
            return CoreError::AsWritten(dbf->warnings().join(u' ')); // translated when read
        const Table other = table == Table::Persons ? Table::Orgs : Table::Persons;
        if (!HasFieldsOf(*dbf, table) && HasFieldsOf(*dbf, other))
            return table == Table::Persons
                ? CoreError(CoreMessage("the file named %1 holds the organisations' table (%2), not the individuals'."),
                            {name, TableFileName(other)})
                : CoreError(CoreMessage("the file named %1 holds the individuals' table (%2), not the organisations'."),
                            {name, TableFileName(other)});
        for (const QString &field : RequiredFields(table)) {
            const int index = dbf->fieldIndex(field);
            if (index < 0)
                return CoreError(CoreMessage("The table %1 has no field %2."), {name, field});
            if (!dbf->fields()[static_cast<size_t>(index)].isCharacter())
                return CoreError(CoreMessage("In the table %1 the field %2 is not of character type."), {name, field});
        }
        if (dbf->liveCount() == 0)
            return CoreError(CoreMessage("The table %1 holds no records."), {name});
        return std::nullopt;
    } catch (const DatabaseError &error) {
        return error.error();
    } catch (const std::exception &error) {
        return CoreError::AsWritten(QString::fromLocal8Bit(error.what()));
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

CoreError FileError(int error)
{
    switch (error) {
    case ENOSPC:
    case EDQUOT:
        return CoreError(CoreMessage("not enough disk space"));
    case EACCES:
    case EPERM:
        return CoreError(CoreMessage("no access rights"));
    case EROFS:
        return CoreError(CoreMessage("the disk is read-only"));
    case ENOENT:
        return CoreError(CoreMessage("file not found"));
    case EISDIR:
        return CoreError(CoreMessage("a folder is in the way"));
    case ELOOP:
        return CoreError(CoreMessage("a symbolic link is in the way"));
    default:
        return CoreError::AsWritten(QString::fromLocal8Bit(std::strerror(error)));
    }
}

CoreError NoWriteAccessMessage(const QString &directory)
{
    return CoreError(CoreMessage("No rights to write to the folder %1."), {QDir::toNativeSeparators(directory)});
}

Result<void> CheckWritable(const QString &directory)
{
    const QByteArray path = QFile::encodeName(directory);
    struct stat st {};
    if (::stat(path.constData(), &st) != 0 || !S_ISDIR(st.st_mode))
        return CoreError(CoreMessage("The folder %1 was not found."), {QDir::toNativeSeparators(directory)});
    if (::faccessat(AT_FDCWD, path.constData(), W_OK | X_OK, AT_EACCESS) != 0)
        return NoWriteAccessMessage(directory);
    return {};
}

PlacedArchive PlaceArchive(const QString &archive, const QString &directory, qint64 minFree, const QString &scratch)
{
    PlacedArchive placed;
    if (archive.trimmed().isEmpty()) {
        placed.error = CoreError(CoreMessage("No archive path was given."));
        return placed;
    }
    const QFileInfo source(archive);
    struct stat sourceStat {};
    if (::stat(QFile::encodeName(archive).constData(), &sourceStat) != 0 || !S_ISREG(sourceStat.st_mode)) {
        placed.error = CoreError(CoreMessage("The archive %1 was not found."), {QDir::toNativeSeparators(archive)});
        return placed;
    }
    if (IsProgramFileName(source.fileName())) {
        placed.error = CoreError(CoreMessage("The archive cannot be called %1: one of the program's own files is called so. "
                                             "Rename the archive and run the update again."),
                                 {source.fileName()});
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

    // `what` went wrong, in the language shown, and the system's reason.
    const auto fail = [&](const CoreError &what, int error) {
        placed.error = CoreError(CoreMessage("Cannot copy the archive to %1: %2 (%3)."),
                                 {QDir::toNativeSeparators(directory), what.Text(), FileError(error).Text()});
        return placed;
    };
    const qint64 free = FreeSpace(directory);
    if (free >= 0 && free - static_cast<qint64>(sourceStat.st_size) < minFree)
        return fail(CoreError(CoreMessage("the archive needs %1 MB"), {QString::number((sourceStat.st_size >> 20) + 1)}),
                    ENOSPC);

    PosixFile in(::open(QFile::encodeName(archive).constData(), O_RDONLY | O_CLOEXEC));
    if (!in.valid())
        return fail(CoreError(CoreMessage("the archive cannot be read")), errno);
    TempFile out(scratch.isEmpty() ? directory : scratch, source.fileName());
    if (!out.valid())
        return fail(CoreError(CoreMessage("no temporary file can be made")), out.error());
    if (const int error = CopyAll(in.fd(), out.fd(), static_cast<qint64>(sourceStat.st_size)))
        return fail(CoreError(CoreMessage("the copy is incomplete")), error);
    ::fchmod(out.fd(), sourceStat.st_mode & 0777); // the copy may be run
    if (const int error = out.Commit(dest))
        return fail(CoreError(CoreMessage("the copy was not written")), error);
    placed.path = dest;
    placed.copied = true;
    return placed;
}

} // namespace phonebook::update
