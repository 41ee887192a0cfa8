#include "Resources.h"

#include <QIconEngine>
#include <QPainter>

#include <algorithm>
#include <memory>
#include <vector>

namespace phonebook {

namespace {

// An icon drawn at several sizes, one file each, each file read only when a
// picture of about its size is first asked for: the application's icon is
// made at start-up, and a window system that never shows it at 256 pixels
// should not wait for that picture to be decoded.
class SizedFilesIconEngine final : public QIconEngine {
public:
    struct Picture {
        QString file;
        QSize size;
        QPixmap read; // null until first asked for
    };

    explicit SizedFilesIconEngine(std::vector<Picture> pictures)
        : m_pictures(std::make_shared<std::vector<Picture>>(std::move(pictures)))
    {
        std::ranges::sort(*m_pictures, {}, [](const Picture &p) { return p.size.width(); });
    }

    QPixmap pixmap(const QSize &size, QIcon::Mode, QIcon::State) override
    {
        Picture *picture = fitting(size);
        if (!picture)
            return {};
        if (picture->read.isNull())
            picture->read = QPixmap(picture->file);
        // Smaller sizes are scaled down; a picture is never blown up.
        const QSize wanted = picture->read.size().scaled(size, Qt::KeepAspectRatio).boundedTo(picture->read.size());
        if (picture->read.isNull() || wanted == picture->read.size())
            return picture->read;
        return picture->read.scaled(wanted, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    }

    void paint(QPainter *painter, const QRect &rect, QIcon::Mode mode, QIcon::State state) override
    {
        const qreal scale = painter->device() ? painter->device()->devicePixelRatio() : 1.0;
        QPixmap picture = pixmap(rect.size() * scale, mode, state);
        picture.setDevicePixelRatio(scale);
        painter->drawPixmap(rect, picture);
    }

    QSize actualSize(const QSize &size, QIcon::Mode, QIcon::State) override
    {
        const Picture *picture = fitting(size);
        return picture ? picture->size.scaled(size, Qt::KeepAspectRatio).boundedTo(picture->size) : QSize();
    }

    QList<QSize> availableSizes(QIcon::Mode, QIcon::State) override
    {
        QList<QSize> sizes;
        for (const Picture &picture : *m_pictures)
            sizes.append(picture.size);
        return sizes;
    }

    QIconEngine *clone() const override { return new SizedFilesIconEngine(*this); }

private:
    // The smallest picture at least as large as `size`, else the largest.
    Picture *fitting(const QSize &size) const
    {
        if (m_pictures->empty())
            return nullptr;
        const auto covers = std::ranges::find_if(*m_pictures, [&](const Picture &p) {
            return p.size.width() >= size.width() && p.size.height() >= size.height();
        });
        return covers != m_pictures->end() ? &*covers : &m_pictures->back();
    }

    // Shared by the copies of one icon: a picture is read once.
    std::shared_ptr<std::vector<Picture>> m_pictures;
};

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
        // Read from its file name as a 16x16 picture at twice the density, the
        // twin serves only such screens; as 32x32 pixels it also serves the
        // glyphs grown with a larger font.
        QPixmap twin(file + QStringLiteral("@2x.png"));
        twin.setDevicePixelRatio(1);
        icon.addPixmap(twin, mode);
    };
    add(base, QIcon::Normal);
    if (withDisabled)
        add(base + QStringLiteral("-disabled"), QIcon::Disabled);
    return icon;
}

QIcon ApplicationIcon()
{
    std::vector<SizedFilesIconEngine::Picture> pictures;
    for (int size : {16, 32, 48, 64, 128, 256})
        pictures.push_back({QStringLiteral(":/icons/phonebook-%1.png").arg(size), QSize(size, size), {}});
    return QIcon(new SizedFilesIconEngine(std::move(pictures)));
}

} // namespace phonebook
