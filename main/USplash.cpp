#include "USplash.h"

#include "AppInfo.h"
#include "Resources.h"
#include "WindowHelpers.h"

#include <QLabel>
#include <QPixmap>
#include <QProgressBar>

namespace phonebook {

TFrmSplash::TFrmSplash(QWidget *parent)
    : QWidget(parent, Qt::SplashScreen | Qt::FramelessWindowHint)
{
    setObjectName(QStringLiteral("FrmSplash"));
    setWindowTitle(ApplicationTitle.toString());
    setFixedSize(SplashWidth, SplashPictureHeight + SplashBarHeight);

    m_image = new QLabel(this);
    m_image->setObjectName(QStringLiteral("Image1"));
    m_image->setGeometry(0, 0, SplashWidth, SplashPictureHeight);
    m_image->setPixmap(QPixmap(SplashPicturePath.toString()));

    m_bar = new QProgressBar(this);
    m_bar->setObjectName(QStringLiteral("ProgressBar1"));
    m_bar->setGeometry(0, SplashPictureHeight, SplashWidth, SplashBarHeight);
    m_bar->setTextVisible(false);
    m_bar->setRange(0, SplashSteps);
    m_bar->setValue(0);

    CenterForm(*this);
}

} // namespace phonebook
