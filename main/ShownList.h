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

} // namespace phonebook
