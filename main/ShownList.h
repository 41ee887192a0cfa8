#pragma once
// The list the main window shows now, as the save and print commands see it.

#include <QString>

namespace phonebook {

class ResultGrid;
class TFrmMain;

struct ShownList {
    ResultGrid *grid = nullptr; // null when no list is visible
    QString title;              // the side, or the search and the tab it was shown on
};

ShownList CurrentList(const TFrmMain &main);

// `title` made a file name every file system takes: no character one refuses
// or treats specially, no leading or trailing blanks or dots; "Список" when
// nothing is left.
QString SafeFileName(const QString &title);

} // namespace phonebook
