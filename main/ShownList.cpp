#include "ShownList.h"

#include "ResultGrid.h"
#include "UMain.h"


namespace phonebook {

ShownList CurrentList(const TFrmMain &main)
{
    for (ResultGrid *grid : {&main.SGFullFiz(), &main.SGFullPred(), &main.SGTemp()}) {
        if (grid->isHidden())
            continue;
        // A full list is named by its side, a result by its search and what
        // was typed, or by the organisation whose numbers it lists.
        return ShownList{grid, grid->accessibleName()};
    }
    return {};
}

QString SafeFileName(const QString &title)
{
    QString name;
    name.reserve(title.size());
    for (const QChar ch : title) {
        const bool refused = ch.unicode() < 0x20 || QStringView(u"<>:\"/\\|?*").contains(ch);
        name.append(refused ? u'_' : ch);
    }
    while (!name.isEmpty() && (name.back() == u'.' || name.back().isSpace()))
        name.chop(1);
    name = name.trimmed();
    return name.isEmpty() ? QStringLiteral("Список") : name;
}

} // namespace phonebook
