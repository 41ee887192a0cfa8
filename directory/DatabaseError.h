#pragma once

#include "CoreResult.h"

#include <QString>

#include <stdexcept>
#include <utility>

namespace phonebook {

// The one error the core raises: what went wrong, as a CoreError (English in
// the core, translated when it is shown), and the statement or file it
// concerns. Windows show it in a message box at the edge of the handler that
// caused it; what() holds the English text, for logs.
class DatabaseError : public std::runtime_error {
public:
    explicit DatabaseError(CoreError error, const QString &statement = {})
        : std::runtime_error(error.EnglishText().toStdString()), m_error(std::move(error)), m_statement(statement)
    {
    }
    // Words that are not the core's own and are shown as they are: the SQL
    // engine's, or a command-line tool's.
    explicit DatabaseError(const QString &text, const QString &statement = {})
        : DatabaseError(CoreError::AsWritten(text), statement)
    {
    }

    const CoreError &error() const noexcept { return m_error; }
    // The message in the language of the installed translation.
    QString message() const { return m_error.Text(); }
    // The SQL statement (or the file) the error concerns; may be empty.
    const QString &statement() const noexcept { return m_statement; }
    // Message and statement together, as a message box shows them.
    QString fullText() const
    {
        return m_statement.isEmpty() ? message() : message() + QStringLiteral("\n\n") + m_statement;
    }

private:
    CoreError m_error;
    QString m_statement;
};

} // namespace phonebook
