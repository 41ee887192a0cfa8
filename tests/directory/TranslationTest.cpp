// The core's messages in Russian, from the translation built beside the program.
#include "CoreTranslation.h"
#include "DatabaseError.h"
#include "Dataset.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QTemporaryDir>

using namespace phonebook;

TEST(CoreTranslation, MessagesSpeakRussian)
{
    int argc = 1;
    char name[] = "TranslationTest";
    char *argv[] = {name, nullptr};
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    TableCursor cursor;
    cursor.SetDirectory(dir.path());
    cursor.SetTableName(QStringLiteral("sp09kw_n"));
    auto message = [&] {
        try {
            cursor.Open();
        } catch (const DatabaseError &e) {
            return e.message();
        }
        return QString();
    };
    EXPECT_TRUE(message().startsWith(u"Table \"sp09kw_n\" not found")) << message().toStdString();
    EXPECT_FALSE(InstallCoreTranslation(QLocale(QLocale::Russian), dir.path())); // no translation there
    ASSERT_TRUE(InstallCoreTranslation(QLocale(QLocale::Russian), QStringLiteral(PHONEBOOK_TRANSLATIONS_DIR)));
    EXPECT_EQ(message(), QStringLiteral("Таблица «sp09kw_n» не найдена в папке %1.").arg(dir.path()));
}

TEST(CoreTranslation, AnErrorIsTranslatedWhenShownAndKeepsItsArgumentsWhole)
{
    int argc = 1;
    char name[] = "TranslationTest";
    char *argv[] = {name, nullptr};
    QCoreApplication app(argc, argv);
    // Raised before the translation is there; an argument that looks like a placeholder stays as typed.
    const DatabaseError error(CoreError(CoreMessage("Table \"%1\" not found in %2."), {QStringLiteral("50%2"), QStringLiteral("/d")}));
    EXPECT_EQ(error.message(), QStringLiteral("Table \"50%2\" not found in /d."));
    EXPECT_STREQ(error.what(), "Table \"50%2\" not found in /d.");
    ASSERT_TRUE(InstallCoreTranslation(QLocale(QLocale::Russian), QStringLiteral(PHONEBOOK_TRANSLATIONS_DIR)));
    EXPECT_EQ(error.message(), QStringLiteral("Таблица «50%2» не найдена в папке /d."));
}
