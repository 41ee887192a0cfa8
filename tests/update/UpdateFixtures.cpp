#include "UpdateFixtures.h"

#include "DbfTable.h"
#include "Fixtures.h"
#include "TableFixtures.h"

#include <QDir>
#include <QFile>

#include <archive.h>
#include <archive_entry.h>

#include <stdexcept>

namespace phonebook::fixtures {

void WriteEdition(const QString &directory, int persons, int orgPhones)
{
    WritePersons(directory, NumberedPersons(persons));
    std::vector<OrgPhone> orgs;
    for (int i = 1; i <= orgPhones; ++i)
        orgs.push_back({QString::number(300000 + i), QStringLiteral("ПРЕДПРИЯТИЕ %1").arg(i % 7), QStringLiteral("ОТДЕЛ"),
                        QString(), QStringLiteral("ул. Заводская"), QString::number(i)});
    WriteOrgPhones(directory, orgs);
}

int CountRows(const QString &path)
{
    try {
        return static_cast<int>(DbfTable::open(path)->liveCount());
    } catch (const std::exception &) {
        return -1;
    }
}

QString WriteScriptArchive(const QString &path, Script script, const QString &edition)
{
    const QString persons = QDir(edition).filePath(QStringLiteral("sp09kw_n.dbf"));
    const QString orgs = QDir(edition).filePath(QStringLiteral("sp09pr_n.dbf"));
    const QString copyBoth = QStringLiteral("cp '%1' '%2' .\n").arg(persons, orgs);
    QString body = QStringLiteral("#!/bin/sh\n");
    switch (script) {
    case Script::BothTables:
        body += copyBoth;
        break;
    case Script::OrgsOnly:
        body += QStringLiteral("cp '%1' .\n").arg(orgs);
        break;
    case Script::DamagedTable:
        body += QStringLiteral("head -c 300 '%1' > sp09kw_n.dbf\ncp '%2' .\n").arg(persons, orgs);
        break;
    case Script::Nothing:
        break;
    case Script::Fails:
        body += copyBoth + QStringLiteral("exit 3\n");
        break;
    case Script::RunsLong:
        body += copyBoth + QStringLiteral("touch archive.running\nexec sleep 60\n");
        break;
    }
    WriteBytes(path, body.toUtf8());
    QFile::setPermissions(path, QFile::permissions(path) | QFileDevice::ExeOwner);
    return path;
}

bool ArchiveRunningIn(const QString &directory)
{
    const QStringList folders = QDir(directory).entryList({QStringLiteral(".phonebook-update-*")}, QDir::Dirs | QDir::Hidden);
    for (const QString &folder : folders) {
        if (QFile::exists(QDir(directory).filePath(folder + QStringLiteral("/archive.running"))))
            return true;
    }
    return false;
}

QList<qint64> ProcessesWith(const QString &argument)
{
    QList<qint64> found;
    const QByteArray wanted = argument.toUtf8();
    const QStringList entries = QDir(QStringLiteral("/proc")).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QString &entry : entries) {
        bool number = false;
        const qint64 pid = entry.toLongLong(&number);
        QFile cmdline(QStringLiteral("/proc/%1/cmdline").arg(entry));
        if (!number || !cmdline.open(QIODevice::ReadOnly))
            continue;
        // A zombie has an empty command line: it has ended.
        if (cmdline.readAll().contains(wanted))
            found << pid;
    }
    return found;
}

QString WriteSelfExtractingZip(const QString &path, const std::vector<std::pair<QString, QString>> &entries)
{
    QByteArray zip(1 << 20, '\0');
    size_t used = 0;
    archive *writer = archive_write_new();
    archive_write_set_format_zip(writer);
    archive_write_set_bytes_in_last_block(writer, 1);
    if (archive_write_open_memory(writer, zip.data(), static_cast<size_t>(zip.size()), &used) != ARCHIVE_OK)
        throw std::runtime_error("cannot start a ZIP file");
    for (const auto &[name, file] : entries) {
        const QByteArray bytes = ReadBytes(file);
        archive_entry *entry = archive_entry_new();
        archive_entry_set_pathname(entry, name.toUtf8().constData());
        archive_entry_set_filetype(entry, AE_IFREG);
        archive_entry_set_perm(entry, 0644);
        archive_entry_set_size(entry, bytes.size());
        archive_write_header(writer, entry);
        archive_write_data(writer, bytes.constData(), static_cast<size_t>(bytes.size()));
        archive_entry_free(entry);
    }
    archive_write_close(writer);
    archive_write_free(writer);
    zip.truncate(static_cast<qsizetype>(used));
    // What a self-extracting program looks like before its ZIP part.
    QByteArray stub("MZ\x90\x00", 4);
    stub += QByteArray(2000, '\x01');
    WriteBytes(path, stub + zip);
    return path;
}

} // namespace phonebook::fixtures
