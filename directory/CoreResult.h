#pragma once
// How the core reports a failure: a CoreError (an English message with its
// arguments, translated only where it is shown) carried by a Result<T>, which
// holds either the value or the error. The core never shows a message itself.

#include <QCoreApplication>
#include <QString>
#include <QStringList>

#include <string_view>
#include <utility>
#include <variant>

namespace phonebook {

// Marks an English message for the translation files; the context is the one
// every core message uses. Use it where a CoreError is made:
//     return CoreError(CoreMessage("No rights to write to the folder %1."), {folder});
#define CoreMessage(text) QT_TRANSLATE_NOOP("phonebook", text)

class CoreError {
public:
    CoreError() = default;
    // `source` must outlive the error (a string literal marked with CoreMessage);
    // `arguments` fill %1, %2, ... in order, untranslated.
    explicit CoreError(const char *source, QStringList arguments = {})
        : m_source(source), m_arguments(std::move(arguments))
    {
    }

    // Words that are not the core's own (the system's, a library's), shown as
    // they are in every language.
    static CoreError AsWritten(const QString &text) { return CoreError(AsWrittenSource, {text}); }

    // The English message as written in the code, before its arguments.
    const char *Source() const { return m_source; }
    const QStringList &Arguments() const { return m_arguments; }
    bool IsSet() const { return m_source != nullptr; }

    // The message in the language of the installed translation, arguments filled in.
    QString Text() const { return fill(QCoreApplication::translate("phonebook", m_source)); }
    // The message in English, arguments filled in (logs, machine-readable output).
    QString EnglishText() const { return fill(QString::fromUtf8(m_source)); }

    friend bool operator==(const CoreError &a, const CoreError &b)
    {
        const std::string_view x = a.m_source ? a.m_source : "", y = b.m_source ? b.m_source : "";
        return x == y && a.IsSet() == b.IsSet() && a.m_arguments == b.m_arguments;
    }

private:
    // %1 to %9 replaced in one pass: an argument that holds "%2" stays as it is.
    QString fill(const QString &text) const
    {
        QString filled;
        filled.reserve(text.size());
        for (qsizetype i = 0; i < text.size(); ++i) {
            const int number = i + 1 < text.size() && text[i] == u'%' ? text[i + 1].digitValue() : -1;
            if (number >= 1 && number <= m_arguments.size()) {
                filled += m_arguments[number - 1];
                ++i;
            } else {
                filled += text[i];
            }
        }
        return filled;
    }

    // A message that is its one argument; no translation has it.
    static constexpr char AsWrittenSource[] = "%1";

    const char *m_source = nullptr;
    QStringList m_arguments;
};

// Either a value or the error that stopped the core from making it.
template <typename T>
class Result {
public:
    Result(T value) : m_state(std::move(value)) {}
    Result(CoreError error) : m_state(std::move(error)) {}

    bool Ok() const { return m_state.index() == 0; }
    explicit operator bool() const { return Ok(); }
    // Only when Ok().
    T &Value() & { return std::get<0>(m_state); }
    const T &Value() const & { return std::get<0>(m_state); }
    T &&Value() && { return std::get<0>(std::move(m_state)); }
    // Only when !Ok().
    const CoreError &Error() const { return std::get<1>(m_state); }

private:
    std::variant<T, CoreError> m_state;
};

// Success with nothing to give back, or the error.
template <>
class Result<void> {
public:
    Result() = default;
    Result(CoreError error) : m_error(std::move(error)) {}

    bool Ok() const { return !m_error.IsSet(); }
    explicit operator bool() const { return Ok(); }
    const CoreError &Error() const { return m_error; }

private:
    CoreError m_error;
};

} // namespace phonebook
