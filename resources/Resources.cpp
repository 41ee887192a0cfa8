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
    QIcon icon;
    icon.addFile(base + QStringLiteral(".png"), QSize(16, 16), QIcon::Normal);
    if (withDisabled)
        icon.addFile(base + QStringLiteral("-disabled.png"), QSize(16, 16), QIcon::Disabled);
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
