#include "ArchiveReader.h"

#include "CoreResult.h"
#include "PosixFile.h"
#include "UpdateFiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <archive.h>
#include <archive_entry.h>

#include <cerrno>
#include <fcntl.h>
#include <memory>

namespace phonebook::update {

namespace {

struct ArchiveCloser {
    void operator()(archive *a) const { archive_read_free(a); }
};

// libarchive's own account of its last error, with `arguments` before it;
// `withReason` shows it as the last argument, `withoutReason` is used when
// libarchive gives none.
CoreError ArchiveError(archive *a, const char *withReason, const char *withoutReason, QStringList arguments)
{
    const char *text = archive_error_string(a);
    if (!text)
        return CoreError(withoutReason, std::move(arguments));
    arguments << QString::fromLocal8Bit(text);
    return CoreError(withReason, std::move(arguments));
}

// The table an entry holds, by the entry's file name, or nothing.
std::optional<Table> TableOfEntry(archive_entry *entry)
{
    const char *utf8 = archive_entry_pathname_utf8(entry);
    const char *raw = utf8 ? utf8 : archive_entry_pathname(entry);
    if (!raw)
        return std::nullopt;
    QString name = QString::fromUtf8(raw);
    name.replace(u'\\', u'/');
    name = name.mid(name.lastIndexOf(u'/') + 1);
    for (Table table : Tables) {
        if (name.compare(TableFileName(table), Qt::CaseInsensitive) == 0)
            return table;
    }
    return std::nullopt;
}

} // namespace

ArchiveKind ArchiveKindOf(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return ArchiveKind::Archive; // libarchive then says why it cannot be read
    const QByteArray head = file.read(4);
    if (head.startsWith("\x7f" "ELF") || head.startsWith("#!"))
        return ArchiveKind::Program;
    return ArchiveKind::Archive;
}

Extraction ExtractTables(const QString &archivePath, const QString &staging, const std::function<bool()> &cancel,
                         const std::function<void(int)> &progress, qint64 minFree)
{
    Extraction result;
    std::unique_ptr<archive, ArchiveCloser> reader(archive_read_new());
    archive_read_support_filter_all(reader.get());
    archive_read_support_format_all(reader.get());
    const QByteArray nativePath = QFile::encodeName(archivePath);
    if (archive_read_open_filename(reader.get(), nativePath.constData(), 64 * 1024) != ARCHIVE_OK) {
        result.error = ArchiveError(reader.get(),
                                    CoreMessage("Cannot read the archive %1: it is not an archive this program can read (%2)."),
                                    CoreMessage("Cannot read the archive %1: it is not an archive this program can read (unknown error)."),
                                    {QDir::toNativeSeparators(archivePath)});
        return result;
    }
    const qint64 archiveSize = std::max<qint64>(1, QFileInfo(archivePath).size());
    const auto report = [&] {
        if (progress) {
            const qint64 read = archive_filter_bytes(reader.get(), -1);
            progress(static_cast<int>(std::clamp<qint64>(read * 100 / archiveSize, 0, 100)));
        }
    };
    const auto tooLarge = [](const QString &name) {
        return CoreError(CoreMessage("The file %1 in the archive is larger than 4 GB; no table can be that large. The update has stopped."),
                         {name});
    };
    const auto diskFull = [&](const QString &name) {
        return CoreError(CoreMessage("Not enough disk space for %1: less than %2 MB would be left after unpacking. "
                                     "The update has stopped."),
                         {name, QString::number(std::max<qint64>(1, minFree >> 20))});
    };

    bool seen[2] = {false, false};
    archive_entry *entry = nullptr;
    for (;;) {
        const int status = archive_read_next_header(reader.get(), &entry);
        if (status == ARCHIVE_EOF)
            break;
        if (status < ARCHIVE_WARN) {
            result.error = ArchiveError(reader.get(), CoreMessage("The archive %1 is damaged: %2"),
                                        CoreMessage("The archive %1 is damaged: unknown error"),
                                        {QDir::toNativeSeparators(archivePath)});
            return result;
        }
        const std::optional<Table> table = TableOfEntry(entry);
        if (!table || seen[static_cast<int>(*table)]) {
            archive_read_data_skip(reader.get());
            report();
            continue;
        }
        seen[static_cast<int>(*table)] = true;
        const QString name = TableFileName(*table);
        if (archive_entry_hardlink(entry) || archive_entry_filetype(entry) != AE_IFREG) {
            result.faults << (archive_entry_hardlink(entry) || archive_entry_filetype(entry) == AE_IFLNK
                                  ? CoreError(CoreMessage("%1 in the archive is a link, not a file; it was not taken."), {name})
                                  : CoreError(CoreMessage("%1 in the archive is not a file; it was not taken."), {name}));
            archive_read_data_skip(reader.get());
            report();
            continue;
        }
        if (archive_entry_size_is_set(entry)) {
            const qint64 size = archive_entry_size(entry);
            if (size > MaxTableSize) {
                result.error = tooLarge(name);
                return result;
            }
            const qint64 free = FreeSpace(staging);
            if (free >= 0 && free - size < minFree) {
                result.error = diskFull(name);
                return result;
            }
        }
        PosixFile out(::open(QFile::encodeName(QDir(staging).filePath(name)).constData(),
                             O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644));
        if (!out.valid()) {
            result.error = CoreError(CoreMessage("Cannot write %1: %2."), {name, FileError(errno).Text()});
            return result;
        }
        static constexpr qint64 CheckEvery = qint64(16) << 20;
        qint64 written = 0, nextCheck = CheckEvery;
        char buffer[64 * 1024];
        for (;;) {
            if (cancel && cancel()) {
                result.error = CoreError(CoreMessage("The update was interrupted."));
                return result;
            }
            const la_ssize_t size = archive_read_data(reader.get(), buffer, sizeof buffer);
            if (size == 0)
                break;
            if (size < 0) {
                result.error = ArchiveError(reader.get(), CoreMessage("Cannot unpack %1 from the archive: %2"),
                                            CoreMessage("Cannot unpack %1 from the archive: unknown error"), {name});
                return result;
            }
            written += size;
            if (written > MaxTableSize) {
                result.error = tooLarge(name);
                return result;
            }
            if (written >= nextCheck) {
                nextCheck += CheckEvery;
                const qint64 free = FreeSpace(staging);
                if (free >= 0 && free < minFree) {
                    result.error = diskFull(name);
                    return result;
                }
            }
            if (const int error = WriteAll(out.fd(), buffer, static_cast<size_t>(size))) {
                result.error = error == ENOSPC || error == EDQUOT
                    ? diskFull(name)
                    : CoreError(CoreMessage("Cannot write %1: %2."), {name, FileError(error).Text()});
                return result;
            }
            report();
        }
        if (const int error = out.close()) {
            result.error = CoreError(CoreMessage("Cannot write %1: %2."), {name, FileError(error).Text()});
            return result;
        }
        result.written << name;
    }
    if (result.written.isEmpty() && result.faults.isEmpty()) {
        result.error = CoreError(CoreMessage("The archive %1 holds none of the directory's tables (%2, %3)."),
                                 {QDir::toNativeSeparators(archivePath), TableFileName(Table::Persons),
                                  TableFileName(Table::Orgs)});
        return result;
    }
    if (progress)
        progress(100);
    return result;
}

} // namespace phonebook::update
