// Writes the fuzzer's seed tables: a few of our writer's tables, and copies
// of the real tables from other software.
//   fuzz_dbf_seeds SEED_DIR [REAL_TABLES_DIR]

#include "DatabaseError.h"
#include "DbfWriter.h"

#include <QDir>
#include <QFile>

#include <cstdio>

using namespace phonebook;
using namespace Qt::StringLiterals;

int main(int argc, char **argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: fuzz_dbf_seeds SEED_DIR [REAL_TABLES_DIR]\n");
        return 2;
    }
    const QDir seeds(QString::fromLocal8Bit(argv[1]));
    if (!seeds.mkpath(u"."_s))
        return 2;
    try {
        const std::vector<DbfFieldSpec> mixed = {{u"NT"_s, 'C', 7, 0},   {u"SUM"_s, 'N', 8, 2}, {u"FIO"_s, 'C', 20, 0},
                                                 {u"BORN"_s, 'D', 8, 0}, {u"OK"_s, 'L', 1, 0}};
        struct Seed {
            const char *name;
            DbfWriterOptions options;
        };
        const Seed variants[] = {
            {"w1251.dbf", {CodePage::Windows1251, 0xC9, 0x03}}, {"cp866.dbf", {CodePage::Cp866, 0x26, 0x03}},
            {"unmarked866.dbf", {CodePage::Cp866, 0x00, 0x03}}, {"utf8.dbf", {CodePage::Utf8, 0x00, 0x03}},
            {"vfp.dbf", {CodePage::Windows1251, 0xC9, 0x30}},   {"memo.dbf", {CodePage::Windows1251, 0x00, 0xF5}},
        };
        for (const Seed &seed : variants) {
            DbfWriter writer(seeds.filePath(QString::fromLatin1(seed.name)), mixed, seed.options);
            for (int i = 0; i < 6; ++i)
                writer.addRecord({QString::number(2300 + i), u"%1.25"_s.arg(i), u"ИВАНОВ Ё. %1"_s.arg(i), u"20240131"_s,
                                  i % 2 ? u"T"_s : u"F"_s},
                                 i == 2);
            writer.finish();
        }
        DbfWriter empty(seeds.filePath(u"empty.dbf"_s), {{u"NAME"_s, 'C', 10, 0}});
        empty.finish();
    } catch (const DatabaseError &e) {
        std::fprintf(stderr, "%s\n", qPrintable(e.message()));
        return 1;
    }
    if (argc > 2) {
        const QDir real(QString::fromLocal8Bit(argv[2]));
        // Name filters ignore letter case: ".DBF" files come too.
        const QStringList tables = real.entryList({u"*.dbf"_s}, QDir::Files);
        for (const QString &name : tables) {
            const QString target = seeds.filePath(u"real_"_s + name);
            QFile::remove(target);
            QFile::copy(real.filePath(name), target);
        }
    }
    return 0;
}
