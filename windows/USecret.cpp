#include "USecret.h"

#include "Resources.h"
#include "WindowHelpers.h"

#include <QEvent>
#include <QLabel>
#include <QPixmap>
#include <QRegion>
#include <QTransform>

namespace phonebook {

TFrmSecret *FrmSecret = nullptr;

QRegion ShapedPictureRegion(qreal scale)
{
    QPolygon outline(QList<QPoint>(ShapedPicturePolygon.begin(), ShapedPicturePolygon.end()));
    if (scale != 1)
        outline = QTransform::fromScale(scale, scale).map(outline);
    return QRegion(outline, Qt::OddEvenFill);
}

// The outline cuts away any frame a window manager would draw, caption
// included, so the window has none: its window coordinates are those of its
// picture, and the outline frames the same part of the picture everywhere.
// The caption stays the window's title, which screen readers and task bars show.
TFrmSecret::TFrmSecret(QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint)
{
    FrmSecret = this;
    SetUpWindow(*this, u"FrmSecret", u"FrmSecret", true, SecretWidth, SecretHeight);

    m_image = new QLabel(this);
    m_image->setObjectName(QStringLiteral("Image1"));
    m_image->setScaledContents(true);
    m_image->setAccessibleName(QStringLiteral("Рисунок в форме сердца"));
    arrange();
}

// The picture and its outline grow with the font, as the other windows do.
void TFrmSecret::arrange()
{
    const DesignPixels px(*this);
    setFixedSize(px(QSize(SecretWidth, SecretHeight)));
    m_image->setGeometry(px(0, 0, SecretPictureWidth, SecretPictureHeight));
    if (isVisible())
        setMask(ShapedPictureRegion(px.Scale()));
}

void TFrmSecret::changeEvent(QEvent *event)
{
    QDialog::changeEvent(event);
    if (event->type() == QEvent::FontChange)
        arrange();
}

TFrmSecret::~TFrmSecret()
{
    if (FrmSecret == this)
        FrmSecret = nullptr;
}

void TFrmSecret::reject()
{
    accept();
}

void TFrmSecret::showEvent(QShowEvent *event)
{
    // Read when first shown, not at start-up.
    if (m_image->pixmap().isNull())
        m_image->setPixmap(QPixmap(SecretPicturePath.toString()));
    QDialog::showEvent(event);
    CenterForm(*this);
    setMask(ShapedPictureRegion(DesignPixels(*this).Scale()));
    update();
}

} // namespace phonebook
