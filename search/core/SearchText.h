#pragma once
// Turning what the user typed, or a value read from a table, into text that
// can stand in a statement.

#include <QString>
#include <QStringView>

namespace phonebook::search {

// A text as the inside of a quoted SQL literal: every single quote doubled.
// Text without quotes comes back unchanged.
QString SqlQuoted(QStringView text);

// A telephone number as typed, with blanks, "-", "(" and ")" dropped, so that
// "23-45-67" and "(23) 45 67" both give "234567". Empty when nothing else is left.
QString PhoneDigits(QStringView answer);

// Upper case as the directory stores names: "а"-"я" to "А"-"Я", "ё" to "Ё",
// "a"-"z" to "A"-"Z"; every other character is kept as it is.
QString UpperCaseName(QStringView text);

} // namespace phonebook::search
