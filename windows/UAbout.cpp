#include "UAbout.h"

#include "Dialogs.h"
#include "LinkLabel.h"
#include "MailLink.h"
#include "Resources.h"
#include "WindowHelpers.h"

#include <QLabel>
#include <QPainter>
#include <QPixmap>
#include <QPushButton>

namespace phonebook {

TFrmAbout *FrmAbout = nullptr;

namespace {

constexpr int TextLeft = 142;
constexpr int TextWidth = AboutWidth - TextLeft - 8;

QLabel *AddLabel(QWidget *parent, const char *name, QStringView text, int top, int pointSizeChange = 0,
                 bool bold = false)
{
    auto *label = new QLabel(text.toString(), parent);
    label->setObjectName(QLatin1StringView(name));
    QFont font = label->font();
    font.setBold(bold);
    if (pointSizeChange)
        font.setPointSize(font.pointSize() + pointSizeChange);
    label->setFont(font);
    label->setWordWrap(true);
    label->setGeometry(TextLeft, top, TextWidth, label->heightForWidth(TextWidth));
    return label;
}

} // namespace

TFrmAbout::TFrmAbout(QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint)
{
    FrmAbout = this;
    SetUpWindow(*this, u"FrmAbout", u"О программе", true, AboutWidth, AboutHeight);

    m_image = new QLabel(this);
    m_image->setObjectName(QStringLiteral("Image1"));
    m_image->setGeometry(4, 3, AboutPictureWidth, AboutPictureHeight);
    m_image->setAccessibleName(QStringLiteral("Рисунок: телефонный аппарат над городом"));

    AddLabel(this, "Label1", AboutTitle, 10, 1, true);
    AddLabel(this, "Label2", AboutOwner, 30, 1, true);
    AddLabel(this, "Label3", AboutVersion, 52, -1);
    AddLabel(this, "Label4", AboutRights, 72);
    AddLabel(this, "Label5", AboutOwnerName, 92);

    QLabel *emailLabel = AddLabel(this, "Label6", AboutEmailLabel, 124);
    emailLabel->setWordWrap(false);
    emailLabel->adjustSize();
    m_email = new LinkLabel(AboutEmail.toString(), this);
    m_email->setObjectName(QStringLiteral("Label7"));
    m_email->adjustSize();
    m_email->move(emailLabel->geometry().right() + 1, emailLabel->y());
    m_email->setAccessibleName(AboutEmailLabel.toString() + AboutEmail.toString());
    m_email->setAccessibleDescription(QStringLiteral("Написать письмо с пожеланиями"));
    emailLabel->setBuddy(m_email);
    connect(m_email, &LinkLabel::activated, this, &TFrmAbout::LabelEmailClick);

    m_ok = new QPushButton(QStringLiteral("ОК"), this);
    m_ok->setObjectName(QStringLiteral("Button1"));
    m_ok->setGeometry(AboutWidth - 8 - 75, AboutHeight - 8 - 25, 75, 25);
    m_ok->setDefault(true);
    connect(m_ok, &QPushButton::clicked, this, &QDialog::accept);

    // The button first, then the link.
    setTabOrder(m_ok, m_email);
    m_ok->setFocus(Qt::OtherFocusReason);
    CenterForm(*this);
}

TFrmAbout::~TFrmAbout()
{
    if (FrmAbout == this)
        FrmAbout = nullptr;
}

void TFrmAbout::showEvent(QShowEvent *event)
{
    if (m_image->pixmap().isNull())
        m_image->setPixmap(QPixmap(AboutPicturePath.toString()));
    QDialog::showEvent(event);
}

void TFrmAbout::LabelEmailClick()
{
    const QString address = AboutEmail.toString();
    if (!OpenUrl(MailtoUrl(address, AboutMailSubject.toString())))
        Dialogs::ShowMessage(this, QStringLiteral("Не удалось открыть почтовую программу. "
                                                  "Напишите письмо на адрес %1.").arg(address),
                             QMessageBox::Warning);
}

void TFrmAbout::reject()
{
    accept();
}

void TFrmAbout::paintEvent(QPaintEvent *event)
{
    QDialog::paintEvent(event);
    // Without a frame of its own the window needs an edge to stand out.
    QPainter painter(this);
    painter.setPen(palette().color(QPalette::Dark));
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
}

} // namespace phonebook
