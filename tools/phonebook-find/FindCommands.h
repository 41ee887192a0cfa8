#pragma once
// The verbs of phonebook-find. Each verb is one entry of the table that
// Verbs() returns; a new search is added there and nowhere else.

#include <QString>
#include <QStringList>

#include <chrono>
#include <cstdio>
#include <span>
#include <string>

namespace phonebook::find {

// Exit statuses: rows found, nothing found, an error (message on stderr),
// stopped by Ctrl+C.
enum ExitCode { Found = 0, NothingFound = 1, Failed = 2, Interrupted = 130 };

// Writes UTF-8 lines to a stream through one buffer.
class Output {
public:
    explicit Output(std::FILE *stream) : m_stream(stream) {}
    ~Output() { flush(); }
    Output(const Output &) = delete;
    Output &operator=(const Output &) = delete;

    // Appends one value, its tabs, line breaks and backslashes escaped (see EscapeValue).
    void value(QStringView text);
    void tab() { m_buffer.push_back('\t'); }
    void endLine();
    void flush();
    // Flushes what is buffered when the last flush is a few milliseconds old,
    // so that rows a slow statement finds show as they come.
    void flushIfDue();
    // Whether a write to the stream failed (a full disk, a closed stream).
    bool failed() const { return m_error != 0; }
    // errno of the first failed write.
    int error() const { return m_error; }

private:
    std::FILE *m_stream;
    std::string m_buffer;
    int m_error = 0;
    std::chrono::steady_clock::time_point m_flushed = std::chrono::steady_clock::now();
};

// A value as one unambiguous field of a tab-separated line: backslash,
// tab, line feed and carriage return become \\, \t, \n and \r.
QString EscapeValue(QStringView text);

struct FindContext {
    QString directory; // where the table files are
    bool raw = false;    // print stored text rather than deciphered
    bool header = false; // print the field names first
};

struct Verb {
    const char *name;
    const char *arguments; // synopsis of the arguments, for --help
    const char *summary;
    int minArguments;
    // Runs the verb; returns an ExitCode. Throws DatabaseError.
    int (*run)(const FindContext &context, const QStringList &arguments, Output &out);
};

std::span<const Verb> Verbs();
// The verb of that name, or null.
const Verb *FindVerb(QStringView name);

} // namespace phonebook::find
