// The searches' tests read their messages as the windows show them: through
// the Russian translation built beside the program.
#include "CoreTranslation.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QLocale>

#include <cstdio>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    if (!phonebook::InstallCoreTranslation(QLocale(QLocale::Russian), QStringLiteral(PHONEBOOK_TRANSLATIONS_DIR))) {
        std::fprintf(stderr, "The Russian translation is missing from %s\n", PHONEBOOK_TRANSLATIONS_DIR);
        return 1;
    }
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
