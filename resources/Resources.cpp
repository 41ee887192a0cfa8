#include "Resources.h"

namespace phonebook {

namespace {

QString GlyphName(Glyph glyph)
{
    switch (glyph) {
    case Glyph::PhoneSearch:
        return QStringLiteral("phone-search");
    case Glyph::PersonSearch:
        return QStringLiteral("person-search");
    case Glyph::HouseSearch:
        return QStringLiteral("house-search");
    case Glyph::OrgSearch:
        return QStringLiteral("org-search");
    case Glyph::OrgAddressSearch:
        return QStringLiteral("org-address-search");
    case Glyph::Exit:
        return QStringLiteral("exit");
    }
    return {};
}

} // namespace

QIcon GlyphIcon(Glyph glyph, bool withDisabled)
{
    const QString base = QStringLiteral(":/glyphs/") + GlyphName(glyph);
    // Each picture has a twin drawn at 32x32 for screens scaled by two. Added
    // by hand: QIcon finds "@2x" files by itself only when the scale is known
    // before the icon is made, not for a window moved to such a screen later.
    QIcon icon;
    const auto add = [&](const QString &file, QIcon::Mode mode) {
        icon.addFile(file + QStringLiteral(".png"), QSize(16, 16), mode);
        icon.addFile(file + QStringLiteral("@2x.png"), QSize(32, 32), mode);
    };
    add(base, QIcon::Normal);
    if (withDisabled)
        add(base + QStringLiteral("-disabled"), QIcon::Disabled);
    return icon;
}

QIcon ApplicationIcon()
{
    QIcon icon;
    for (int size : {16, 32, 48, 64, 128, 256})
        icon.addFile(QStringLiteral(":/icons/phonebook-%1.png").arg(size), QSize(size, size));
    return icon;
}

} // namespace phonebook
