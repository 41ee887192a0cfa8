#pragma once
// The pictures compiled into the program, by role.

#include <QIcon>
#include <QString>

namespace phonebook {

// Splash picture, 380x214 JPEG.
inline constexpr QStringView SplashPicturePath = u":/splash.jpg";
// About window's picture, 127x168 JPEG.
inline constexpr QStringView AboutPicturePath = u":/about.jpg";
// Hidden picture window's picture, 527x299 JPEG; its subject sits inside the
// heart-shaped outline the window is cut to.
inline constexpr QStringView SecretPicturePath = u":/secret.jpg";

enum class Glyph {
    PhoneSearch,
    PersonSearch,
    HouseSearch,
    OrgSearch,
    OrgAddressSearch,
    Exit,
};

// A 16x16 tool-bar glyph (32x32 pixels on a screen scaled by two); with a
// disabled look when `withDisabled` is set.
QIcon GlyphIcon(Glyph glyph, bool withDisabled = true);

// The application icon at every size it is drawn in.
QIcon ApplicationIcon();

} // namespace phonebook
