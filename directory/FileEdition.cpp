#include "FileEdition.h"

#include <QFile>

#include <sys/stat.h>

namespace phonebook {

FileEdition FileEdition::Of(const struct stat &st)
{
    FileEdition edition;
    edition.exists = true;
    edition.device = static_cast<uint64_t>(st.st_dev);
    edition.inode = static_cast<uint64_t>(st.st_ino);
    edition.size = static_cast<int64_t>(st.st_size);
    edition.modifiedNs = int64_t{st.st_mtim.tv_sec} * 1000000000 + st.st_mtim.tv_nsec;
    return edition;
}

FileEdition FileEdition::At(const QString &path)
{
    struct stat st {};
    if (path.isEmpty() || ::stat(QFile::encodeName(path).constData(), &st) != 0)
        return {};
    return Of(st);
}

} // namespace phonebook
