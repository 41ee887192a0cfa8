#include "UpdateSwap.h"

#include "PosixFile.h"
#include "UpdateLock.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QThread>

#include <cerrno>
#include <fcntl.h>
#include <stdlib.h>
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

// Names in `directory` equal to `name` in any letter case; the exact spelling first.
QStringList Spellings(const QString &directory, const QString &name)
{
    QStringList found;
    const QStringList entries =
        QDir(directory).entryList(QDir::Files | QDir::Dirs | QDir::System | QDir::Hidden | QDir::NoDotAndDotDot);
    for (const QString &entry : entries) {
        if (entry.compare(name, Qt::CaseInsensitive) == 0)
            entry == name ? found.prepend(entry) : found.append(entry);
    }
    return found;
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

// The journal: which staging folder, and for each table the live file being
// replaced (its name and identity), so that a ".old" copy is known to be ours.
struct JournalEntry {
    Table table = Table::Persons;
    bool hadLive = false;
    dev_t dev = 0;
    ino_t ino = 0;
    QString liveName;
};
struct Journal {
    QString staging; // folder name inside the directory
    std::vector<JournalEntry> entries;
};

constexpr QStringView JournalMagic = u"phonebook-update journal 1";

QByteArray FormatJournal(const Journal &journal)
{
    QString text = JournalMagic.toString() + u'\n';
    text += QStringLiteral("staging %1\n").arg(journal.staging);
    for (const JournalEntry &entry : journal.entries) {
        if (entry.hadLive)
            text += QStringLiteral("swap %1 %2 %3 %4\n")
                        .arg(TableBase(entry.table))
                        .arg(static_cast<qulonglong>(entry.dev))
                        .arg(static_cast<qulonglong>(entry.ino))
                        .arg(entry.liveName);
        else
            text += QStringLiteral("swap %1 - - -\n").arg(TableBase(entry.table));
    }
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
        if (words.size() != 5 || words[0] != u"swap")
            return std::nullopt;
        JournalEntry entry;
        if (words[1] == TableBase(Table::Persons))
            entry.table = Table::Persons;
        else if (words[1] == TableBase(Table::Orgs))
            entry.table = Table::Orgs;
        else
            return std::nullopt;
        if (words[2] != u"-") {
            bool devOk = false, inoOk = false;
            entry.dev = static_cast<dev_t>(words[2].toULongLong(&devOk));
            entry.ino = static_cast<ino_t>(words[3].toULongLong(&inoOk));
            entry.liveName = words[4];
            if (!devOk || !inoOk || entry.liveName.contains(u'/')
                || entry.liveName.compare(TableFileName(entry.table), Qt::CaseInsensitive) != 0)
                return std::nullopt;
            entry.hadLive = true;
        }
        journal.entries.push_back(entry);
    }
    if (journal.staging.isEmpty() || journal.entries.empty())
        return std::nullopt;
    return journal;
}

// Whether `path` is the file the journal says was live before the swap.
bool IsOldLive(const QString &path, const JournalEntry &entry)
{
    struct stat st {};
    return entry.hadLive && Lstat(path, &st) && st.st_dev == entry.dev && st.st_ino == entry.ino;
}

// Removes the name `name` when it is still the replaced live file (and so ours to drop).
void DropIfOldLive(const QString &directory, const QString &name, const JournalEntry &entry)
{
    const QString path = InDir(directory, name);
    if (IsOldLive(path, entry))
        ::unlink(Native(path).constData());
}

// The staging folders of updates that died: ours by their name, never a link.
QStringList StagingFolders(const QString &directory)
{
    QStringList folders;
    const QStringList entries = QDir(directory).entryList(QDir::Dirs | QDir::Hidden | QDir::NoDotAndDotDot);
    for (const QString &entry : entries) {
        struct stat st {};
        if (entry.startsWith(StagingPrefix) && Lstat(InDir(directory, entry), &st) && S_ISDIR(st.st_mode))
            folders << entry;
    }
    return folders;
}

} // namespace

QString CreateStaging(const QString &directory, QString *error)
{
    QByteArray path = Native(InDir(directory, StagingPrefix.toString() + QStringLiteral("XXXXXX")));
    if (!::mkdtemp(path.data())) { // mode 0700, and never an existing name
        if (error)
            *error = QStringLiteral("Не удалось создать рабочую папку обновления в %1: %2.")
                         .arg(QDir::toNativeSeparators(directory), FileErrorText(errno));
        return {};
    }
    return QFile::decodeName(path);
}

void RemoveStaging(const QString &staging)
{
    struct stat st {};
    if (!Lstat(staging, &st) || !S_ISDIR(st.st_mode) || !QFileInfo(staging).fileName().startsWith(StagingPrefix))
        return;
    // Links inside are removed themselves, never what they point to. An
    // archive program being killed may still write a file or two into it:
    // the removal is tried again for a moment.
    for (int attempt = 0; attempt < 20 && QFileInfo::exists(staging); ++attempt) {
        if (attempt > 0)
            QThread::msleep(10);
        QDir(staging).removeRecursively();
    }
}

StagedTable TakeStaged(const QString &staging, Table table)
{
    StagedTable staged;
    const QStringList spellings = Spellings(staging, TableFileName(table));
    if (spellings.isEmpty())
        return staged;
    const QString name = spellings.first();
    const QString found = InDir(staging, name);
    struct stat st {};
    if (!Lstat(found, &st)) {
        staged.fault = QStringLiteral("%1: %2").arg(name, FileErrorText(errno));
        return staged;
    }
    if (S_ISLNK(st.st_mode)) {
        staged.fault = QStringLiteral("%1 — символическая ссылка, а не таблица; такой файл не принимается.").arg(name);
        return staged;
    }
    if (!S_ISREG(st.st_mode)) {
        staged.fault = QStringLiteral("%1 — не файл таблицы.").arg(name);
        return staged;
    }
    if (st.st_size > MaxTableSize) {
        staged.fault = QStringLiteral("%1 больше 4 ГБ; такой таблицы быть не может.").arg(name);
        return staged;
    }
    if (const auto fault = TableFault(found)) {
        staged.fault = QStringLiteral("%1: %2").arg(name, *fault);
        return staged;
    }
    const QString target = InDir(staging, TableFileName(table));
    if (found != target && ::rename(Native(found).constData(), Native(target).constData()) != 0) {
        staged.fault = QStringLiteral("%1: %2").arg(name, FileErrorText(errno));
        return staged;
    }
    PosixFile file(::open(Native(target).constData(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC));
    if (!file.valid() || ::fsync(file.fd()) != 0) {
        staged.fault = QStringLiteral("%1: %2").arg(name, FileErrorText(errno));
        return staged;
    }
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
        // An ".old" file that is not ours (an administrator's copy, a folder) is never replaced.
        const QStringList olds = Spellings(directory, OldFileName(table));
        if (!olds.isEmpty()) {
            result.errors << QStringLiteral("В папке %1 уже есть %2. Перенесите его в другое место и повторите обновление.")
                                 .arg(QDir::toNativeSeparators(directory), olds.first());
            continue;
        }
        JournalEntry entry;
        entry.table = table;
        const QStringList lives = Spellings(directory, TableFileName(table));
        struct stat st {};
        if (!lives.isEmpty() && Lstat(InDir(directory, lives.first()), &st)) {
            entry.hadLive = true;
            entry.dev = st.st_dev;
            entry.ino = st.st_ino;
            entry.liveName = lives.first();
        }
        journal.entries.push_back(entry);
    }
    if (!result.errors.isEmpty()) {
        RemoveStaging(staging);
        return result;
    }

    {
        TempFile file(directory, JournalFileName.toString());
        const QByteArray text = FormatJournal(journal);
        int error = file.valid() ? WriteAll(file.fd(), text.constData(), static_cast<size_t>(text.size())) : file.error();
        if (!error)
            error = file.Commit(InDir(directory, JournalFileName.toString()));
        if (error) {
            result.errors << QStringLiteral("Не удалось записать журнал обновления в %1: %2.")
                                 .arg(QDir::toNativeSeparators(directory), FileErrorText(error));
            RemoveStaging(staging);
            return result;
        }
    }
    if (diesHere())
        return result;

    for (const JournalEntry &entry : journal.entries) {
        const QByteArray staged = Native(InDir(staging, TableFileName(entry.table)));
        const QByteArray live = Native(InDir(directory, TableFileName(entry.table)));
        const QByteArray old = Native(InDir(directory, OldFileName(entry.table)));
        const QByteArray liveAsFound = entry.hadLive ? Native(InDir(directory, entry.liveName)) : live;
        bool linked = false, moved = false;
        int error = 0;
        if (entry.hadLive) {
            // The live name stays in place while a second name keeps the old
            // edition; a file system without hard links has it renamed.
            if (::link(liveAsFound.constData(), old.constData()) == 0)
                linked = true;
            else if (errno == EEXIST)
                error = EEXIST;
            else if ((error = RenameNoReplace(liveAsFound, old)) == 0)
                moved = true;
            if (!error && diesHere())
                return result;
        }
        if (!error && ::rename(staged.constData(), live.constData()) != 0) {
            error = errno;
            if (linked)
                ::unlink(old.constData());
            else if (moved)
                ::rename(old.constData(), liveAsFound.constData());
        }
        if (error) {
            result.errors << QStringLiteral("%1 не заменён: %2.").arg(TableFileName(entry.table), FileErrorText(error));
            continue;
        }
        result.swapped[static_cast<int>(entry.table)] = true;
        if (diesHere())
            return result;
        if (linked && liveAsFound != live)
            ::unlink(liveAsFound.constData()); // the old edition under another letter case
    }
    SyncDirectory(directory);
    for (const JournalEntry &entry : journal.entries)
        DropIfOldLive(directory, OldFileName(entry.table), entry);
    SyncDirectory(directory);
    if (diesHere())
        return result;
    ::unlink(Native(InDir(directory, JournalFileName.toString())).constData());
    SyncDirectory(directory);
    if (diesHere())
        return result;
    RemoveStaging(staging);
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
            report.messages << QStringLiteral("Журнал прерванного обновления %1 не читается; файлы в папке оставлены как есть.")
                                   .arg(QDir::toNativeSeparators(journalPath));
            return report; // its staging folder stays too: it may hold the only new copy
        }
        const QString staging = InDir(directory, journal->staging);
        for (const JournalEntry &entry : journal->entries) {
            const QString name = TableFileName(entry.table);
            const QString staged = InDir(staging, name);
            const QString live = InDir(directory, name);
            const QString old = InDir(directory, OldFileName(entry.table));
            struct stat any {};
            if (Lstat(staged, &any)) {
                // The new table was proven sound before the journal was written: finish.
                if (::rename(Native(staged).constData(), Native(live).constData()) != 0) {
                    report.failed = true;
                    report.messages << QStringLiteral("Прерванное обновление не закончено: %1 не заменён (%2).")
                                           .arg(name, FileErrorText(errno));
                    continue;
                }
                report.messages << QStringLiteral("Прерванное обновление закончено: %1 заменён новым.").arg(name);
            } else if (!Lstat(live, &any) && IsOldLive(old, entry)) {
                // Neither a new table nor the live one: the old edition goes back.
                if (::rename(Native(old).constData(), Native(live).constData()) != 0) {
                    report.failed = true;
                    report.messages << QStringLiteral("Не удалось вернуть %1 из %2: %3.")
                                           .arg(name, OldFileName(entry.table), FileErrorText(errno));
                    continue;
                }
                report.messages << QStringLiteral("Прерванное обновление отменено: %1 оставлен прежним.").arg(name);
            }
            if (entry.hadLive && entry.liveName != name)
                DropIfOldLive(directory, entry.liveName, entry); // the old edition under another letter case
            DropIfOldLive(directory, OldFileName(entry.table), entry);
        }
        SyncDirectory(directory);
        if (!report.failed)
            ::unlink(Native(journalPath).constData());
        SyncDirectory(directory);
        if (report.failed)
            return report;
    }
    for (const QString &folder : StagingFolders(directory))
        RemoveStaging(InDir(directory, folder));
    return report;
}

RestoreReport RecoverInterruptedUpdate(const QString &directory)
{
    const bool journal = UpdateWasInterrupted(directory);
    if (!journal && StagingFolders(directory).isEmpty())
        return {};
    UpdateLock lock(directory);
    if (lock.state() == UpdateLock::State::Busy)
        return {};
    if (!lock.held()) {
        RestoreReport report;
        if (journal) {
            report.failed = true;
            report.messages << QStringLiteral("Обновление справочника в папке %1 было прервано. Закончить его может "
                                              "пользователь с правом записи в эту папку.")
                                   .arg(QDir::toNativeSeparators(directory));
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
