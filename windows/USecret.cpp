#include "USecret.h"

#include "Resources.h"
#include "WindowHelpers.h"

#include <QLabel>
#include <QPixmap>
#include <QRegion>

namespace phonebook {

TFrmSecret *FrmSecret = nullptr;

QRegion ShapedPictureRegion()
{
    const QPolygon outline(QList<QPoint>(ShapedPicturePolygon.begin(), ShapedPicturePolygon.end()));
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
    m_image->setGeometry(0, 0, SecretPictureWidth, SecretPictureHeight);
    m_image->setAccessibleName(QStringLiteral("Рисунок в форме сердца"));
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
    setMask(ShapedPictureRegion());
    update();
}

} // namespace phonebook
