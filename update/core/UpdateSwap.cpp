#include "UpdateSwap.h"

#include "TableFiles.h"
#include "UpdateLock.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QThread>

#include <cerrno>
#include <optional>
#include <fcntl.h>
#include <stdlib.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace phonebook::update {

namespace {

QByteArray Native(const QString &path)
{
    return QFile::encodeName(path);
}

QString InDir(const QString &directory, const QString &name)
{
    return QDir(directory).filePath(name);
}

bool Lstat(const QString &path, struct stat *st)
{
    return ::lstat(Native(path).constData(), st) == 0;
}

// rename() that fails with EEXIST rather than replace `to`.
int RenameNoReplace(const QByteArray &from, const QByteArray &to)
{
#ifdef SYS_renameat2
    if (::syscall(SYS_renameat2, AT_FDCWD, from.constData(), AT_FDCWD, to.constData(), 1 /* RENAME_NOREPLACE */) == 0)
        return 0;
    if (errno != EINVAL && errno != ENOSYS)
        return errno;
#endif
    struct stat st {};
    if (::lstat(to.constData(), &st) == 0)
        return EEXIST;
    return ::rename(from.constData(), to.constData()) == 0 ? 0 : errno;
}

constexpr QByteArrayView MarkerText = "phonebook-update staging 1\n";

// The journal: which staging folder, and for each table the name of the live
// file being replaced ("-" when there was none).
struct JournalEntry {
    Table table = Table::Persons;
    QString liveName; // empty when the table had no live file
};
struct Journal {
    QString staging; // folder name inside the directory
    std::vector<JournalEntry> entries;
};

constexpr QStringView JournalMagic = u"phonebook-update journal 2";

QByteArray FormatJournal(const Journal &journal)
{
    QString text = JournalMagic.toString() + u'\n';
    text += QStringLiteral("staging %1\n").arg(journal.staging);
    for (const JournalEntry &entry : journal.entries)
        text += QStringLiteral("swap %1 %2\n").arg(TableBase(entry.table), entry.liveName.isEmpty() ? QStringLiteral("-") : entry.liveName);
    text += QStringLiteral("end\n");
    return text.toUtf8();
}

std::optional<Journal> ParseJournal(const QByteArray &bytes)
{
    const QStringList lines = QString::fromUtf8(bytes).split(u'\n', Qt::SkipEmptyParts);
    if (lines.size() < 3 || lines.first() != JournalMagic || lines.last() != u"end")
        return std::nullopt;
    Journal journal;
    for (qsizetype i = 1; i + 1 < lines.size(); ++i) {
        const QStringList words = lines[i].split(u' ');
        if (words.size() == 2 && words[0] == u"staging" && words[1].startsWith(StagingPrefix)
            && !words[1].contains(u'/')) {
            journal.staging = words[1];
            continue;
        }
        if (words.size() != 3 || words[0] != u"swap")
            return std::nullopt;
        JournalEntry entry;
        if (words[1] == TableBase(Table::Persons))
            entry.table = Table::Persons;
        else if (words[1] == TableBase(Table::Orgs))
            entry.table = Table::Orgs;
        else
            return std::nullopt;
        if (words[2] != u"-") {
            entry.liveName = words[2];
            if (entry.liveName.compare(TableFileName(entry.table), Qt::CaseInsensitive) != 0)
                return std::nullopt;
        }
        journal.entries.push_back(entry);
    }
    if (journal.staging.isEmpty() || journal.entries.empty())
        return std::nullopt;
    return journal;
}

bool SameFile(const QString &a, const QString &b)
{
    struct stat x {}, y {};
    return Lstat(a, &x) && Lstat(b, &y) && x.st_dev == y.st_dev && x.st_ino == y.st_ino;
}

// Whether another update holds the staging folder now (its marker locked).
bool StagingInUse(const QString &staging)
{
    PosixFile marker(::open(Native(InDir(staging, StagingMarkerName.toString())).constData(),
                            O_RDONLY | O_NOFOLLOW | O_CLOEXEC));
    return marker.valid() && ::flock(marker.fd(), LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK;
}

// Whether `name` in `directory` is a folder of ours: the staging name, a
// real folder (no link), this user's, mode 0700. Says why not.
bool IsOwnStagingFolder(const QString &directory, const QString &name, CoreError *why)
{
    const auto no = [&](const CoreError &reason) {
        if (why)
            *why = reason;
        return false;
    };
    if (!name.startsWith(StagingPrefix) || name.contains(u'/'))
        return no(CoreError(CoreMessage("the name is not a working folder's")));
    struct stat st {};
    if (!Lstat(InDir(directory, name), &st))
        return no(FileError(errno));
    if (S_ISLNK(st.st_mode))
        return no(CoreError(CoreMessage("it is a symbolic link")));
    if (!S_ISDIR(st.st_mode))
        return no(CoreError(CoreMessage("it is not a folder")));
    if (st.st_uid != ::geteuid())
        return no(CoreError(CoreMessage("the folder belongs to another user")));
    if ((st.st_mode & 07777) != 0700)
        return no(CoreError(CoreMessage("the folder's permissions are not 0700")));
    return true;
}

// The first bytes of a staging folder's marker, a regular file of this
// user's; nothing when there is no such file.
std::optional<QByteArray> MarkerOf(const QString &folder)
{
    const QString marker = InDir(folder, StagingMarkerName.toString());
    struct stat st {};
    QFile file(marker);
    if (!Lstat(marker, &st) || !S_ISREG(st.st_mode) || st.st_uid != ::geteuid() || !file.open(QIODevice::ReadOnly))
        return std::nullopt;
    return file.read(256);
}

// A staging folder whose update died while making it: ours, and holding
// nothing but the start of its marker, if that. Only the update lock's
// holder asks, so no other update is making one now.
bool IsHalfMadeStaging(const QString &directory, const QString &name)
{
    if (!IsOwnStagingFolder(directory, name, nullptr))
        return false;
    const QString folder = InDir(directory, name);
    const QStringList inside = QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    if (inside.isEmpty())
        return true;
    if (inside != QStringList{StagingMarkerName.toString()})
        return false;
    const std::optional<QByteArray> text = MarkerOf(folder);
    return text && text->size() < MarkerText.size() && MarkerText.startsWith(*text);
}

// The staging folders of updates that died: the program's own, and free.
QStringList DeadStagingFolders(const QString &directory)
{
    QStringList folders;
    const QStringList entries = QDir(directory).entryList(QDir::Dirs | QDir::Hidden | QDir::NoDotAndDotDot);
    for (const QString &entry : entries) {
        if (!entry.startsWith(StagingPrefix))
            continue;
        if ((IsStagingFolder(directory, entry) && !StagingInUse(InDir(directory, entry)))
            || IsHalfMadeStaging(directory, entry))
            folders << entry;
    }
    return folders;
}

CoreError RemovalFailed(const QString &what, int error)
{
    return CoreError(CoreMessage("Cannot remove %1: %2."), {QDir::toNativeSeparators(what), FileError(error).Text()});
}

} // namespace

QString CreateStaging(const QString &directory, CoreError *error, PosixFile *held)
{
    const auto fail = [&](int code) {
        if (error)
            *error = CoreError(CoreMessage("Cannot make the update's working folder in %1: %2."),
                               {QDir::toNativeSeparators(directory), FileError(code).Text()});
        return QString();
    };
    QByteArray path = Native(InDir(directory, StagingPrefix.toString() + QStringLiteral("XXXXXX")));
    if (!::mkdtemp(path.data())) // mode 0700, and never an existing name
        return fail(errno);
    const QString staging = QFile::decodeName(path);
    PosixFile marker(::open(Native(InDir(staging, StagingMarkerName.toString())).constData(),
                            O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
    int code = marker.valid() ? 0 : errno;
    if (!code)
        code = WriteAll(marker.fd(), MarkerText.data(), static_cast<size_t>(MarkerText.size()));
    if (!code && ::flock(marker.fd(), LOCK_EX | LOCK_NB) != 0)
        code = errno;
    if (!code && ::fsync(marker.fd()) != 0)
        code = errno;
    if (code) {
        marker.close();
        ::unlink(Native(InDir(staging, StagingMarkerName.toString())).constData());
        ::rmdir(path.constData());
        return fail(code);
    }
    if (held)
        *held = std::move(marker);
    return staging;
}

bool IsStagingFolder(const QString &directory, const QString &name, CoreError *why)
{
    if (!IsOwnStagingFolder(directory, name, why))
        return false;
    if (MarkerOf(InDir(directory, name)) != MarkerText.toByteArray()) {
        if (why)
            *why = CoreError(CoreMessage("it holds no working-folder mark"));
        return false;
    }
    return true;
}

bool RemoveStaging(const QString &staging)
{
    const QFileInfo info(staging);
    if (!IsStagingFolder(info.absolutePath(), info.fileName()) && !IsHalfMadeStaging(info.absolutePath(), info.fileName()))
        return !info.exists();
    // Links inside are removed themselves, never what they point to. An
    // archive program being killed may still write a file or two into it:
    // the removal is tried again for up to two seconds. The marker goes
    // last, and comes back if a file came in after it, so that a folder left
    // over still says whose it is and goes at the next opening.
    const QByteArray marker = Native(InDir(staging, StagingMarkerName.toString()));
    for (int attempt = 0; attempt < 100 && QFileInfo::exists(staging); ++attempt) {
        if (attempt > 0)
            QThread::msleep(20);
        bool othersGone = true;
        const QFileInfoList entries =
            QDir(staging).entryInfoList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
        for (const QFileInfo &entry : entries) {
            if (entry.fileName() == StagingMarkerName)
                continue;
            const bool gone = entry.isDir() && !entry.isSymLink() ? QDir(entry.filePath()).removeRecursively()
                                                                  : QFile::remove(entry.filePath());
            othersGone = othersGone && gone;
        }
        if (!othersGone || (::unlink(marker.constData()) != 0 && errno != ENOENT))
            continue;
        if (::rmdir(Native(staging).constData()) == 0)
            break;
        PosixFile again(::open(marker.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
        if (again.valid())
            WriteAll(again.fd(), MarkerText.data(), static_cast<size_t>(MarkerText.size()));
    }
    return !QFileInfo::exists(staging);
}

StagedTable TakeStaged(const QString &staging, Table table, bool copy, qint64 minFree)
{
    StagedTable staged;
    const Result<QString> lookedUp = FindTableFile(staging, TableFileName(table));
    if (!lookedUp) {
        staged.fault = lookedUp.Error();
        return staged;
    }
    if (lookedUp.Value().isEmpty())
        return staged;
    const QString found = lookedUp.Value();
    const QString name = QFileInfo(found).fileName();
    const QString target = InDir(staging, TableFileName(table));
    // The file's name, then `why` in the language shown.
    const auto fault = [&](const CoreError &why) {
        staged.fault = CoreError(CoreMessage("%1: %2"), {name, why.Text()});
        return staged;
    };
    const CoreError changed(CoreMessage("the file changed while it was read"));
    struct stat st {};
    if (!Lstat(found, &st))
        return fault(FileError(errno));
    if (S_ISLNK(st.st_mode)) {
        staged.fault = CoreError(CoreMessage("%1 is a symbolic link, not a table; such a file is not taken."), {name});
        return staged;
    }
    if (!S_ISREG(st.st_mode)) {
        staged.fault = CoreError(CoreMessage("%1 is not a table file."), {name});
        return staged;
    }
    if (st.st_size > MaxTableSize) {
        staged.fault = CoreError(CoreMessage("%1 is larger than 4 GB; no table can be that large."), {name});
        return staged;
    }
    if (copy) {
        // The file the archive wrote may still be open somewhere: what is
        // checked and installed is a copy in a file only the updater has had.
        PosixFile in(::open(Native(found).constData(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC));
        struct stat opened {};
        if (!in.valid() || ::fstat(in.fd(), &opened) != 0)
            return fault(FileError(errno));
        if (!S_ISREG(opened.st_mode) || opened.st_size > MaxTableSize)
            return fault(changed);
        const qint64 free = FreeSpace(staging);
        if (free >= 0 && free - static_cast<qint64>(opened.st_size) < minFree)
            return fault(CoreError(CoreMessage("%1 for a copy of the table (%2 MB)"),
                                   {FileError(ENOSPC).Text(), QString::number((opened.st_size >> 20) + 1)}));
        TempFile out(staging, TableFileName(table));
        if (!out.valid())
            return fault(FileError(out.error()));
        if (const int error = CopyAll(in.fd(), out.fd(), static_cast<qint64>(opened.st_size)))
            return fault(error == EIO ? changed : FileError(error));
        ::fchmod(out.fd(), 0644);
        if (const auto bad = TableFault(QFile::decodeName(out.path()), table))
            return fault(*bad);
        if (const int error = out.Commit(target))
            return fault(FileError(error));
        if (found != target)
            ::unlink(Native(found).constData()); // what the archive wrote, under another spelling
        staged.path = target;
        return staged;
    }
    if (const auto bad = TableFault(found, table))
        return fault(*bad);
    if (found != target && ::rename(Native(found).constData(), Native(target).constData()) != 0)
        return fault(FileError(errno));
    PosixFile file(::open(Native(target).constData(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC));
    if (!file.valid() || ::fsync(file.fd()) != 0)
        return fault(FileError(errno));
    staged.path = target;
    return staged;
}

SwapResult SwapIn(const QString &directory, const QString &staging, const std::vector<Table> &tables, int stopAfter)
{
    SwapResult result;
    int stepsDone = 0;
    const auto diesHere = [&] { return ++stepsDone == stopAfter; };
    Journal journal;
    journal.staging = QFileInfo(staging).fileName();
    for (Table table : tables) {
        const Result<QString> live = FindTableFile(directory, TableFileName(table));
        if (!live) {
            result.errors << live.Error();
            continue;
        }
        journal.entries.push_back({table, live.Value().isEmpty() ? QString() : QFileInfo(live.Value()).fileName()});
    }
    if (!result.errors.isEmpty()) {
        RemoveStaging(staging);
        return result;
    }

    {
        // Made in the staging folder: a failed write leaves nothing in the directory.
        TempFile file(staging, JournalFileName.toString());
        const QByteArray text = FormatJournal(journal);
        int error = file.valid() ? WriteAll(file.fd(), text.constData(), static_cast<size_t>(text.size())) : file.error();
        if (!error)
            error = file.Commit(InDir(directory, JournalFileName.toString()));
        if (error) {
            result.errors << CoreError(CoreMessage("Cannot write the update journal in %1: %2."),
                                       {QDir::toNativeSeparators(directory), FileError(error).Text()});
            ::unlink(Native(InDir(directory, JournalFileName.toString())).constData());
            RemoveStaging(staging);
            return result;
        }
    }
    if (diesHere())
        return result;

    for (const JournalEntry &entry : journal.entries) {
        const QByteArray staged = Native(InDir(staging, TableFileName(entry.table)));
        const QByteArray live = Native(InDir(directory, TableFileName(entry.table)));
        const QByteArray backup = Native(InDir(staging, OldFileName(entry.table)));
        const bool hadLive = !entry.liveName.isEmpty();
        const QByteArray liveAsFound = hadLive ? Native(InDir(directory, entry.liveName)) : live;
        bool linked = false, moved = false;
        int error = 0;
        if (hadLive) {
            // The live name stays in place while a second name in the staging
            // folder keeps the old edition; a file system without hard links
            // has it moved there instead.
            if (::link(liveAsFound.constData(), backup.constData()) == 0)
                linked = true;
            else if (errno == EEXIST)
                error = EEXIST;
            else if ((error = RenameNoReplace(liveAsFound, backup)) == 0)
                moved = true;
            if (!error && diesHere())
                return result;
        }
        if (!error && ::rename(staged.constData(), live.constData()) != 0) {
            error = errno;
            if (linked)
                ::unlink(backup.constData());
            else if (moved)
                ::rename(backup.constData(), liveAsFound.constData());
        }
        if (error) {
            result.errors << CoreError(CoreMessage("%1 was not replaced: %2."),
                                       {TableFileName(entry.table), FileError(error).Text()});
            continue;
        }
        result.swapped[static_cast<int>(entry.table)] = true;
        if (diesHere())
            return result;
        if (linked && liveAsFound != live)
            ::unlink(liveAsFound.constData()); // the old edition under another letter case; its second name keeps it
    }
    SyncDirectory(directory);
    if (diesHere())
        return result;
    ::unlink(Native(InDir(directory, JournalFileName.toString())).constData());
    SyncDirectory(directory);
    if (diesHere())
        return result;
    for (const JournalEntry &entry : journal.entries) {
        const QByteArray backup = Native(InDir(staging, OldFileName(entry.table)));
        if (::unlink(backup.constData()) != 0 && errno != ENOENT)
            result.errors << RemovalFailed(QFile::decodeName(backup), errno);
    }
    if (!RemoveStaging(staging))
        result.errors << RemovalFailed(staging, ENOTEMPTY);
    return result;
}

RestoreReport RecoverLocked(const QString &directory)
{
    RestoreReport report;
    const QString journalPath = InDir(directory, JournalFileName.toString());
    struct stat st {};
    if (Lstat(journalPath, &st)) {
        QFile file(journalPath);
        std::optional<Journal> journal;
        if (S_ISREG(st.st_mode) && st.st_size < 64 * 1024 && file.open(QIODevice::ReadOnly))
            journal = ParseJournal(file.readAll());
        if (!journal) {
            report.failed = true;
            report.messages << CoreError(CoreMessage("The journal of an interrupted update, %1, cannot be read; "
                                                     "the files in the folder are left as they are."),
                                         {QDir::toNativeSeparators(journalPath)})
                                   .Text();
            return report; // its staging folder stays too: it may hold the only new copy
        }
        CoreError why;
        if (!IsStagingFolder(directory, journal->staging, &why)) {
            // Nothing is taken from a folder that is not the program's own.
            report.failed = true;
            report.messages << CoreError(CoreMessage("The journal of an interrupted update names the folder %1, but it is "
                                                     "not an update's working folder (%2); the files in the folder are "
                                                     "left as they are."),
                                         {QDir::toNativeSeparators(InDir(directory, journal->staging)), why.Text()})
                                   .Text();
            return report;
        }
        const QString staging = InDir(directory, journal->staging);
        if (StagingInUse(staging)) {
            report.failed = true;
            report.messages << CoreError(CoreMessage("The directory in the folder %1 is still being updated."),
                                         {QDir::toNativeSeparators(directory)})
                                   .Text();
            return report;
        }
        for (const JournalEntry &entry : journal->entries) {
            const QString name = TableFileName(entry.table);
            const QString staged = InDir(staging, name);
            const QString live = InDir(directory, name);
            const QString backup = InDir(staging, OldFileName(entry.table));
            struct stat any {};
            bool finished = false;
            if (Lstat(staged, &any)) {
                // The new table was proven sound before the journal was
                // written; it is checked again before it is installed.
                if (const auto fault = S_ISREG(any.st_mode) ? TableFault(staged, entry.table)
                                                            : std::optional<CoreError>(CoreError(CoreMessage("not a file"))))
                    report.messages << CoreError(CoreMessage("Interrupted update: the new %1 was not taken (%2)."),
                                                 {name, fault->Text()})
                                           .Text();
                else if (::rename(Native(staged).constData(), Native(live).constData()) != 0) {
                    report.failed = true;
                    report.messages << CoreError(CoreMessage("Interrupted update not finished: %1 was not replaced (%2)."),
                                                 {name, FileError(errno).Text()})
                                           .Text();
                    continue;
                } else {
                    finished = true;
                    report.messages << CoreError(CoreMessage("Interrupted update finished: %1 was replaced by the new one."),
                                                 {name})
                                           .Text();
                }
            }
            const QString liveAsFound = entry.liveName.isEmpty() ? live : InDir(directory, entry.liveName);
            if (!finished && !Lstat(live, &any) && !Lstat(liveAsFound, &any) && Lstat(backup, &any)) {
                // Neither a new table nor the live one: the old edition goes back.
                if (::rename(Native(backup).constData(), Native(liveAsFound).constData()) != 0) {
                    report.failed = true;
                    report.messages << CoreError(CoreMessage("Cannot put %1 back from %2: %3."),
                                                 {name, QDir::toNativeSeparators(backup), FileError(errno).Text()})
                                           .Text();
                    continue;
                }
                report.messages << CoreError(CoreMessage("Interrupted update undone: %1 was left as it was."), {name}).Text();
            }
            // The old edition under another letter case goes once the new one is in place.
            if (liveAsFound != live && Lstat(live, &any) && SameFile(liveAsFound, backup))
                ::unlink(Native(liveAsFound).constData());
        }
        SyncDirectory(directory);
        if (!report.failed)
            ::unlink(Native(journalPath).constData());
        SyncDirectory(directory);
        if (report.failed)
            return report;
    }
    for (const QString &folder : DeadStagingFolders(directory)) {
        if (!RemoveStaging(InDir(directory, folder)))
            report.messages << RemovalFailed(InDir(directory, folder), ENOTEMPTY).Text();
    }
    return report;
}

RestoreReport RecoverInterruptedUpdate(const QString &directory)
{
    const bool journal = UpdateWasInterrupted(directory);
    if (!journal && DeadStagingFolders(directory).isEmpty())
        return {};
    // The lock file opens for anyone (it is opened read-only), but only a user
    // who may write the folder can finish an update there.
    const bool writable = CheckWritable(directory).Ok();
    UpdateLock lock(directory);
    if (lock.state() == UpdateLock::State::Busy)
        return {};
    if (!lock.held() || !writable) {
        RestoreReport report;
        if (journal) {
            report.failed = true;
            report.messages << CoreError(CoreMessage("An update of the directory in the folder %1 was interrupted. A user "
                                                     "who may write to that folder can finish it."),
                                         {QDir::toNativeSeparators(directory)})
                                   .Text();
        }
        return report;
    }
    return RecoverLocked(directory);
}

bool UpdateWasInterrupted(const QString &directory)
{
    struct stat st {};
    return Lstat(InDir(directory, JournalFileName.toString()), &st);
}

} // namespace phonebook::update
