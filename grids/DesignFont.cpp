#include "DesignFont.h"

#include <QFont>
#include <QFontMetricsF>
#include <QPaintDevice>
#include <QString>

#include <algorithm>

namespace phonebook {

qreal FontScale(const QFont &font, const QPaintDevice &device)
{
    // Cyrillic and Latin letters and digits, as the windows and lists show them.
    static const QString sample = QStringLiteral("Телефонный справочник e-mail 0123456789");
    QFont design = font;
    // The design font's size in this device's points: the same pixels as at 96 dots per inch.
    const int dpi = device.logicalDpiY();
    design.setPointSizeF(dpi > 0 ? qreal(DesignPointSize) * DesignDpi / dpi : DesignPointSize);
    const QFontMetricsF actual(font, &device);
    const QFontMetricsF designed(design, &device);
    // Hinting rounds heights and widths each its own way: the larger of the two ratios.
    qreal scale = 1;
    if (designed.lineSpacing() > 0)
        scale = std::max(scale, actual.lineSpacing() / designed.lineSpacing());
    if (const qreal width = designed.horizontalAdvance(sample); width > 0)
        scale = std::max(scale, actual.horizontalAdvance(sample) / width);
    return scale;
}

} // namespace phonebook
