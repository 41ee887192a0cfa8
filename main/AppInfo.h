#pragma once
// Names and numbers the program's windows fix, in one place.

#include "HelpTopic.h"
#include "OrgSearch.h"
#include "TableFiles.h"

#include <QStringView>

namespace phonebook {

// The application's title: message boxes and input boxes carry it.
inline constexpr QStringView ApplicationTitle = u"Телефонный справочник г. Тальмир 2002";
inline constexpr QStringView MainCaption = u"Телефонный справочник абонентов г. Тальмир";
// Base name of the desktop entry (phonebook.desktop).
inline constexpr QStringView DesktopFileName = u"phonebook";

// The organisations' full list.
inline constexpr QStringView OrgListSql = search::FullOrgListSql;

// Status bar: three panels, their least widths in design pixels (DesignPixels).
inline constexpr int StatusPanelWidths[3] = {160, 200, 50};
inline constexpr QStringView PersonsCountText = u"Физических лиц:  ";
inline constexpr QStringView OrgPhonesCountText = u"Телефоных номеров юр. лиц:  ";
// What the status bar says after a new edition copied in by hand was loaded.
inline constexpr char16_t NewEditionStatus[] = u"Загружена новая редакция справочника";

// Tabs.
inline constexpr int PersonsTab = 0;
inline constexpr int OrgsTab = 1;
inline constexpr int OrgTab = 2;
inline constexpr QStringView PersonsTabCaption = u"Физические лица";
inline constexpr QStringView OrgsTabCaption = u"Юридические лица";
// Why the searches are disabled while the tables page is shown.
inline constexpr QStringView NoTablesTip = u"Недоступно: справочник не загружен";
// What the result grid is called when no search names its list.
inline constexpr QStringView SearchResultName = u"Результат поиска";

// Tool bar: buttons 23x22 with 16x16 glyphs, standing side by side from x = 0,
// in design pixels (DesignPixels).
inline constexpr int ToolBarHeight = 29;
inline constexpr int ToolButtonWidth = 23;
inline constexpr int ToolButtonHeight = 22;
inline constexpr int ToolButtonTop = 3;
inline constexpr int GlyphSize = 16;

// Splash: the picture over a thin progress bar counting the rows written at start-up.
inline constexpr int SplashWidth = 380;
inline constexpr int SplashPictureHeight = 214;
inline constexpr int SplashBarHeight = 10;
inline constexpr int SplashSteps = 200;

} // namespace phonebook
