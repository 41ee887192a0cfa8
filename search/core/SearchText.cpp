#include "SearchText.h"

namespace phonebook::search {

QString SqlQuoted(QStringView text)
{
    QString quoted = text.toString();
    quoted.replace(u'\'', QStringLiteral("''"));
    return quoted;
}

QString PhoneDigits(QStringView answer)
{
    QString digits;
    digits.reserve(answer.size());
    for (const QChar c : answer) {
        if (c == u' ' || c == u'-' || c == u'(' || c == u')')
            continue;
        digits.append(c);
    }
    return digits;
}

QString UpperCaseName(QStringView text)
{
    QString upper = text.toString();
    for (QChar &c : upper) {
        const char16_t u = c.unicode();
        if ((u >= u'а' && u <= u'я') || (u >= u'a' && u <= u'z'))
            c = QChar(u - (u >= u'а' ? (u'а' - u'А') : (u'a' - u'A')));
        else if (u == u'ё')
            c = QChar(u'Ё');
    }
    return upper;
}

} // namespace phonebook::search
