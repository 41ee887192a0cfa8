#pragma once

#include <QString>

#include <stdexcept>

namespace phonebook {

// The one error the core raises: what went wrong, in words a user can act on,
// and the statement or file it concerns. Windows show it in a message box at
// the edge of the handler that caused it.
class DatabaseError : public std::runtime_error {
public:
    explicit DatabaseError(const QString &message, const QString &statement = {})
        : std::runtime_error(message.toStdString()), m_message(message), m_statement(statement)
    {
    }

    const QString &message() const noexcept { return m_message; }
    // The SQL statement (or the file) the error concerns; may be empty.
    const QString &statement() const noexcept { return m_statement; }
    // Message and statement together, as a message box shows them.
    QString fullText() const
    {
        return m_statement.isEmpty() ? m_message : m_message + QStringLiteral("\n\n") + m_statement;
    }

private:
    QString m_message;
    QString m_statement;
};

} // namespace phonebook
