// --help and --version of every program, run as separate processes: they
// answer without a display, and in the user's language.

#include <QProcess>
#include <QProcessEnvironment>
#include <QRegularExpression>
#include <QString>
#include <QStringList>

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {

struct Answer {
    int exitCode = -1;
    QString out;
    QString error;
};

// Runs a program with a locale and no display of any kind.
Answer RunProgram(const QString &program, const QStringList &arguments, const QString &locale)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const QString &name : {u"DISPLAY"_s, u"WAYLAND_DISPLAY"_s, u"QT_QPA_PLATFORM"_s, u"LANGUAGE"_s,
                                u"LC_MESSAGES"_s, u"LANG"_s})
        env.remove(name);
    env.insert(u"LC_ALL"_s, locale);
    QProcess process;
    process.setProcessEnvironment(env);
    process.start(program, arguments);
    EXPECT_TRUE(process.waitForFinished(30000)) << program.toStdString();
    Answer answer;
    answer.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    answer.out = QString::fromUtf8(process.readAllStandardOutput());
    answer.error = QString::fromUtf8(process.readAllStandardError());
    return answer;
}

QStringList Programs()
{
    QStringList programs = {u"" PHONEBOOK_FIND_EXE ""_s, u"" PHONEBOOK_UPDATE_EXE ""_s, u"" PHONEBOOK_GEN_EXE ""_s};
#ifdef PHONEBOOK_EXE
    programs.prepend(u"" PHONEBOOK_EXE ""_s);
#endif
    return programs;
}

TEST(CommandLineHelp, FollowsTheLocale)
{
    // Three English words in a row: a sentence left untranslated.
    static const QRegularExpression english(u"\\b[a-z]{2,} [a-z]{2,} [a-z]{2,}\\b"_s);
    static const QRegularExpression cyrillic(u"[а-яё]"_s);
    for (const QString &program : Programs()) {
        SCOPED_TRACE(program.toStdString());
        const Answer inEnglish = RunProgram(program, {u"--help"_s}, u"C"_s);
        EXPECT_EQ(inEnglish.exitCode, 0) << inEnglish.error.toStdString();
        EXPECT_TRUE(inEnglish.out.startsWith(u"Usage: "_s)) << inEnglish.out.toStdString();
        EXPECT_FALSE(cyrillic.match(inEnglish.out).hasMatch()) << inEnglish.out.toStdString();

        const Answer inRussian = RunProgram(program, {u"--help"_s}, u"ru_RU.UTF-8"_s);
        EXPECT_EQ(inRussian.exitCode, 0) << inRussian.error.toStdString();
        EXPECT_TRUE(inRussian.out.startsWith(u"Использование: "_s)) << inRussian.out.toStdString();
        const QRegularExpressionMatch left = english.match(inRussian.out);
        EXPECT_FALSE(left.hasMatch()) << "untranslated: " << left.captured().toStdString() << "\n"
                                      << inRussian.out.toStdString();
    }
}

#ifdef PHONEBOOK_EXE
// The program's window is never made for them: without a display it would abort.
TEST(CommandLineHelp, TheProgramAnswersWithoutADisplay)
{
    const Answer version = RunProgram(u"" PHONEBOOK_EXE ""_s, {u"--version"_s}, u"C"_s);
    EXPECT_EQ(version.exitCode, 0) << version.error.toStdString();
    EXPECT_EQ(version.out, u"phonebook " PHONEBOOK_VERSION "\n"_s);
    const Answer help = RunProgram(u"" PHONEBOOK_EXE ""_s, {u"-platform"_s, u"xcb"_s, u"-h"_s}, u"C"_s);
    EXPECT_EQ(help.exitCode, 0) << help.error.toStdString();
    EXPECT_TRUE(help.out.contains(u"--version"_s)) << help.out.toStdString();
}
#endif

} // namespace
