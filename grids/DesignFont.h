#pragma once
// The design font. The fixed windows, the tool bar and the lists' columns are
// drawn in pixels for an 8-point font at 96 dots per inch; with the desktop's
// font larger than that, they grow with it.

#include <QtGlobal>

class QFont;
class QPaintDevice;

namespace phonebook {

inline constexpr int DesignPointSize = 8;
inline constexpr int DesignDpi = 96;

// How much larger than the design font `font` is on `device`: the ratio of
// their line heights or of their text widths, whichever is larger, the design
// font being of the same family. Never below 1, so that a smaller font keeps
// the design sizes.
qreal FontScale(const QFont &font, const QPaintDevice &device);

} // namespace phonebook
