// The tool-bar glyphs on a screen scaled by two, or grown with the font, come
// from their drawn 32x32 twins, not from the 16x16 pictures blown up.
#include "Resources.h"

#include <QColorSpace>
#include <QImage>
#include <QPixmap>
#include <QTest>

using phonebook::Glyph;

class GlyphsTest : public QObject {
    Q_OBJECT
private slots:
    void twiceTheDensityUsesTheDrawnTwin_data()
    {
        QTest::addColumn<Glyph>("glyph");
        QTest::addColumn<QString>("name");
        QTest::newRow("phone") << Glyph::PhoneSearch << QStringLiteral("phone-search");
        QTest::newRow("person") << Glyph::PersonSearch << QStringLiteral("person-search");
        QTest::newRow("house") << Glyph::HouseSearch << QStringLiteral("house-search");
        QTest::newRow("org") << Glyph::OrgSearch << QStringLiteral("org-search");
        QTest::newRow("org address") << Glyph::OrgAddressSearch << QStringLiteral("org-address-search");
        QTest::newRow("exit") << Glyph::Exit << QStringLiteral("exit");
    }

    void twiceTheDensityUsesTheDrawnTwin()
    {
        QFETCH(Glyph, glyph);
        QFETCH(QString, name);
        const QIcon icon = phonebook::GlyphIcon(glyph);
        const struct {
            QIcon::Mode mode;
            QString file;
        } looks[] = {
            {QIcon::Normal, QStringLiteral(":/glyphs/%1@2x.png").arg(name)},
            {QIcon::Disabled, QStringLiteral(":/glyphs/%1-disabled@2x.png").arg(name)},
        };
        for (const auto &look : looks) {
            const QImage drawn(look.file);
            QVERIFY2(!drawn.isNull(), qPrintable(look.file));
            QCOMPARE(drawn.size(), QSize(32, 32));
            const QImage shown = icon.pixmap(QSize(16, 16), 2.0, look.mode).toImage();
            QCOMPARE(shown.size(), QSize(32, 32));
            QCOMPARE(shown.convertToFormat(QImage::Format_ARGB32_Premultiplied),
                     drawn.convertToFormat(QImage::Format_ARGB32_Premultiplied));
            // So does a glyph grown with a larger font (the pixels only: the
            // picture read from its file keeps its colour space).
            QImage grown = icon.pixmap(QSize(32, 32), 1.0, look.mode).toImage();
            grown.setColorSpace(drawn.colorSpace());
            grown.setDevicePixelRatio(drawn.devicePixelRatio());
            QCOMPARE(grown.convertToFormat(QImage::Format_ARGB32_Premultiplied),
                     drawn.convertToFormat(QImage::Format_ARGB32_Premultiplied));
        }
        // The ordinary density keeps the 16x16 picture.
        QCOMPARE(icon.pixmap(QSize(16, 16), 1.0).size(), QSize(16, 16));
    }

    // The application's icon reads its pictures when asked: each size from
    // its own file, between sizes the next larger one scaled down, never one
    // blown up.
    void applicationIconPicksItsSizes()
    {
        const QIcon icon = phonebook::ApplicationIcon();
        QCOMPARE(icon.availableSizes().size(), 6);
        // The pixels only: a picture read from a file keeps its colour space.
        const auto pixels = [](const QImage &image) {
            const QImage argb = image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
            return QByteArray(reinterpret_cast<const char *>(argb.constBits()), argb.sizeInBytes());
        };
        const auto file = [&](int size) { return pixels(QImage(QStringLiteral(":/icons/phonebook-%1.png").arg(size))); };
        const auto shown = [&](int size, qreal scale) { return icon.pixmap(QSize(size, size), scale).toImage(); };
        QCOMPARE(pixels(shown(48, 1.0)), file(48));
        QCOMPARE(pixels(shown(32, 2.0)), file(64));
        QCOMPARE(shown(100, 1.0).size(), QSize(100, 100));
        QCOMPARE(pixels(shown(512, 1.0)), file(256));
    }
};

QTEST_MAIN(GlyphsTest)
#include "GlyphsTest.moc"
