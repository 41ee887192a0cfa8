// The core's messages in Russian, from the translation built beside the program.
#include "CoreTranslation.h"
#include "DatabaseError.h"
#include "Dataset.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <QTemporaryDir>
#include <QXmlStreamReader>

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

namespace {

// The English sources marked CoreMessage("...") in C++ code: adjacent literals
// joined and their escapes undone; comments and character literals skipped.
QStringList MarkedMessages(const QString &code)
{
    QStringList tokens; // identifiers, punctuation, and each literal's text after a '"'
    for (qsizetype i = 0; i < code.size();) {
        const QChar c = code[i];
        if (code.mid(i, 2) == u"//") {
            i = code.indexOf(u'\n', i);
            i = i < 0 ? code.size() : i;
        } else if (code.mid(i, 2) == u"/*") {
            i = code.indexOf(u"*/", i + 2);
            i = i < 0 ? code.size() : i + 2;
        } else if (c == u'"' || c == u'\'') {
            QString text;
            for (++i; i < code.size() && code[i] != c; ++i) {
                if (code[i] == u'\\' && i + 1 < code.size()) {
                    ++i;
                    text += code[i] == u'n' ? QChar(u'\n') : code[i] == u't' ? QChar(u'\t') : code[i];
                } else {
                    text += code[i];
                }
            }
            ++i;
            if (c != u'"')
                continue;
            if (!tokens.isEmpty() && tokens.last().startsWith(u'"'))
                tokens.last() += text;
            else
                tokens << u'"' + text;
        } else if (c.isLetterOrNumber() || c == u'_') {
            // A number may hold digit separators: 2'000'000.
            const qsizetype start = i;
            while (i < code.size() && (code[i].isLetterOrNumber() || code[i] == u'_' || (c.isDigit() && code[i] == u'\'')))
                ++i;
            tokens << code.mid(start, i - start);
        } else {
            if (!c.isSpace())
                tokens << QString(c);
            ++i;
        }
    }
    QStringList marked;
    for (qsizetype t = 0; t + 3 < tokens.size(); ++t) {
        if (tokens[t] == u"CoreMessage" && tokens[t + 1] == u"(" && tokens[t + 2].startsWith(u'"') && tokens[t + 3] == u")")
            marked << tokens[t + 2].mid(1);
    }
    return marked;
}

// The sources the translation finishes in the core's context: neither marked
// unfinished (or vanished) nor empty, each plural form included.
QSet<QString> FinishedTranslations(QIODevice &ts)
{
    QSet<QString> finished;
    QXmlStreamReader xml(&ts);
    QString context, source;
    bool done = false;
    while (!xml.atEnd() && !xml.hasError()) {
        xml.readNext();
        if (xml.isEndElement() && xml.name() == u"message" && context == u"phonebook" && done)
            finished.insert(source);
        if (!xml.isStartElement())
            continue;
        if (xml.name() == u"name") {
            context = xml.readElementText();
        } else if (xml.name() == u"message") {
            source.clear();
            done = false;
        } else if (xml.name() == u"source") {
            source = xml.readElementText();
        } else if (xml.name() == u"translation") {
            const bool typed = !xml.attributes().value(QStringLiteral("type")).isEmpty();
            QString text;
            int forms = 0, emptyForms = 0;
            while (!xml.atEnd() && !(xml.readNext() == QXmlStreamReader::EndElement && xml.name() == u"translation")) {
                if (xml.isStartElement() && xml.name() == u"numerusform") {
                    ++forms;
                    emptyForms += xml.readElementText().trimmed().isEmpty() ? 1 : 0;
                } else if (xml.isCharacters()) {
                    text += xml.text();
                }
            }
            done = !typed && (forms > 0 ? emptyForms == 0 : !text.trimmed().isEmpty());
        }
    }
    EXPECT_FALSE(xml.hasError()) << xml.errorString().toStdString();
    return finished;
}

} // namespace

// Every message the core marks has its Russian text: one without it would
// reach the user in English.
TEST(CoreTranslation, EveryMarkedMessageIsTranslated)
{
    QFile ts(QStringLiteral(PHONEBOOK_SOURCE_DIR "/translations/phonebook_ru.ts"));
    ASSERT_TRUE(ts.open(QIODevice::ReadOnly)) << ts.fileName().toStdString();
    const QSet<QString> translated = FinishedTranslations(ts);
    int marked = 0;
    for (const char *folder : {"directory", "update/core", "search/core", "main/core"}) {
        QDirIterator files(QStringLiteral(PHONEBOOK_SOURCE_DIR "/") + QLatin1StringView(folder),
                           {QStringLiteral("*.cpp"), QStringLiteral("*.h")}, QDir::Files);
        while (files.hasNext()) {
            QFile file(files.next());
            ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << file.fileName().toStdString();
            for (const QString &source : MarkedMessages(QString::fromUtf8(file.readAll()))) {
                ++marked;
                EXPECT_TRUE(translated.contains(source))
                    << "no finished Russian translation of \"" << source.toStdString() << "\" ("
                    << QFileInfo(file.fileName()).fileName().toStdString() << ")";
            }
        }
    }
    EXPECT_GT(marked, 0) << "no CoreMessage found under " PHONEBOOK_SOURCE_DIR;
}
