#include "ShownList.h"

#include "ResultGrid.h"
#include "UMain.h"

#include <QTabBar>

namespace phonebook {

ShownList CurrentList(const TFrmMain &main)
{
    for (ResultGrid *grid : {&main.SGFullFiz(), &main.SGFullPred(), &main.SGTemp()}) {
        if (grid->isHidden())
            continue;
        ShownList list{grid, grid->accessibleName()};
        if (grid == &main.SGTemp()) {
            const QString tab = main.TabControl1().tabText(main.TabIndex());
            if (!tab.isEmpty())
                list.title = QStringLiteral("%1: %2").arg(tab, list.title);
        }
        return list;
    }
    return {};
}

} // namespace phonebook
