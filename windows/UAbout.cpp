#include "UAbout.h"

#include "Dialogs.h"
#include "LinkLabel.h"
#include "MailLink.h"
#include "Resources.h"
#include "WindowHelpers.h"

#include <QEvent>
#include <QLabel>
#include <QPainter>
#include <QPixmap>
#include <QPushButton>

#include <algorithm>

namespace phonebook {

TFrmAbout *FrmAbout = nullptr;

namespace {

// Design pixels (see DesignPixels).
constexpr int Margin = 8;
constexpr int TextLeft = 142;
constexpr int TextWidth = AboutWidth - TextLeft - Margin;
constexpr int ButtonWidth = 75;
constexpr int ButtonHeight = 25;

// The lines right of the picture, from the top; the last one is the
// e-mail address's label. Sizes are in points of the design font.
struct TextLine {
    const char *name;
    QStringView text;
    int top;
    int pointSize;
    bool bold;
};
constexpr TextLine TextLines[] = {
    {"Label1", AboutTitle, 10, DesignPointSize + 1, true},
    {"Label2", AboutOwner, 30, DesignPointSize + 1, true},
    {"Label3", AboutVersion, 52, DesignPointSize - 1, false},
    {"Label4", AboutRights, 72, DesignPointSize, false},
    {"Label5", AboutOwnerName, 92, DesignPointSize, false},
    {"Label6", AboutEmailLabel, 124, DesignPointSize, false},
};

} // namespace

TFrmAbout::TFrmAbout(QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint)
{
    FrmAbout = this;
    SetUpWindow(*this, u"FrmAbout", u"О программе", true, AboutWidth, AboutHeight);

    m_image = new QLabel(this);
    m_image->setObjectName(QStringLiteral("Image1"));
    m_image->setScaledContents(true);
    m_image->setAccessibleName(QStringLiteral("Рисунок: телефонный аппарат над городом"));

    for (const TextLine &line : TextLines) {
        auto *label = new QLabel(line.text.toString(), this);
        label->setObjectName(QLatin1StringView(line.name));
        m_lines.append(label);
    }
    QLabel *emailLabel = m_lines.last();
    m_email = new LinkLabel(AboutEmail.toString(), this);
    m_email->setObjectName(QStringLiteral("Label7"));
    m_email->setAccessibleName(AboutEmailLabel.toString() + AboutEmail.toString());
    m_email->setAccessibleDescription(QStringLiteral("Написать письмо с пожеланиями"));
    emailLabel->setBuddy(m_email);
    connect(m_email, &LinkLabel::activated, this, &TFrmAbout::LabelEmailClick);

    m_ok = new QPushButton(QStringLiteral("ОК"), this);
    m_ok->setObjectName(QStringLiteral("Button1"));
    m_ok->setDefault(true);
    connect(m_ok, &QPushButton::clicked, this, &QDialog::accept);

    // The button first, then the link.
    setTabOrder(m_ok, m_email);
    m_ok->setFocus(Qt::OtherFocusReason);
    arrange();
    CenterForm(*this);
}

void TFrmAbout::arrange()
{
    const DesignPixels px(*this);
    m_image->setGeometry(px(4, 3, AboutPictureWidth, AboutPictureHeight));

    // The lines keep the design's sizes relative to the window's font, each
    // on one line: the text column widens for the longest if need be.
    const int left = px(TextLeft);
    int width = px(TextLeft + TextWidth) - left;
    for (int i = 0; i < m_lines.size(); ++i) {
        QFont font = this->font();
        font.setBold(TextLines[i].bold);
        if (font.pointSizeF() > 0)
            font.setPointSizeF(font.pointSizeF() * TextLines[i].pointSize / DesignPointSize);
        else
            font.setPixelSize(std::max(1, font.pixelSize() * TextLines[i].pointSize / DesignPointSize));
        m_lines[i]->setFont(font);
        m_lines[i]->adjustSize();
        width = std::max(width, m_lines[i]->width());
    }
    QLabel *emailLabel = m_lines.last();
    m_email->adjustSize();
    width = std::max(width, emailLabel->width() + m_email->width());

    // A line taller than the design's pushes the ones below it down.
    int bottom = 0;
    for (int i = 0; i < m_lines.size(); ++i) {
        m_lines[i]->move(left, std::max(px(TextLines[i].top), bottom));
        bottom = m_lines[i]->geometry().bottom() + 1;
    }
    m_email->move(emailLabel->geometry().right() + 1, emailLabel->y());
    bottom = std::max(bottom, m_email->geometry().bottom() + 1);

    const int margin = px(Margin);
    const QSize button = px(QSize(ButtonWidth, ButtonHeight));
    const QSize size(std::max(px(AboutWidth), left + width + margin),
                     std::max(px(AboutHeight), bottom + margin / 2 + button.height() + margin));
    setFixedSize(size);
    m_ok->setGeometry(QRect(QPoint(size.width() - margin - button.width(), size.height() - margin - button.height()),
                            button));
}

void TFrmAbout::changeEvent(QEvent *event)
{
    QDialog::changeEvent(event);
    if (event->type() == QEvent::FontChange)
        arrange();
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
