#include "HelpWindow.h"

#include "AppInfo.h"
#include "HelpTopic.h"
#include "WindowHelpers.h"

#include <QDir>
#include <QGuiApplication>
#include <QScreen>
#include <QScrollBar>
#include <QTextDocument>
#include <QtMath>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QPushButton>
#include <QTextBrowser>
#include <QVBoxLayout>

#include <algorithm>
#include <memory>

namespace phonebook {

namespace {
constexpr QSize HelpWindowSize(640, 520);
// Pixels between a modal window and the help shown beside it.
constexpr int HelpGap = 8;
// A line of help text reads well up to this many average characters.
constexpr int ReadableColumns = 80;

// The margins the desktop puts around a window, as they are around `window`
// once it is shown; none before.
QMargins FrameMargins(const QWidget &window)
{
    const QRect outer = window.frameGeometry();
    const QRect inner = window.geometry();
    return {inner.left() - outer.left(), inner.top() - outer.top(), outer.right() - inner.right(),
            outer.bottom() - inner.bottom()};
}
} // namespace

QString HelpPageFile(int context)
{
    for (const int known : HelpTopics) {
        if (known == context)
            return QStringLiteral("topic%1.html").arg(context);
    }
    return QStringLiteral("index.html");
}

HelpWindow::HelpWindow(const QString &folder, QWidget *parent)
    : QWidget(parent, Qt::Window)
    , m_folder(folder)
{
    setObjectName(QStringLiteral("HelpWindow"));
    setWindowTitle(QStringLiteral("Справка: ") + ApplicationTitle.toString());
    resize(HelpWindowSize);

    m_browser = new QTextBrowser(this);
    m_browser->setObjectName(QStringLiteral("HelpBrowser"));
    m_browser->setSearchPaths({folder});
    m_browser->setOpenExternalLinks(false);

    auto *contents = new QPushButton(QStringLiteral("Содержание"), this);
    contents->setObjectName(QStringLiteral("HelpContents"));
    auto *back = new QPushButton(QStringLiteral("Назад"), this);
    back->setObjectName(QStringLiteral("HelpBack"));
    back->setEnabled(false);
    auto *close = new QPushButton(QStringLiteral("Закрыть"), this);
    close->setObjectName(QStringLiteral("HelpClose"));

    // Enter presses the focused button, as it does in a dialog.
    for (QPushButton *button : {contents, back, close})
        button->setAutoDefault(true);

    auto *buttons = new QHBoxLayout;
    buttons->addWidget(contents);
    buttons->addWidget(back);
    buttons->addStretch();
    buttons->addWidget(close);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(buttons);
    layout->addWidget(m_browser);

    connect(contents, &QPushButton::clicked, this, &HelpWindow::ShowContents);
    connect(back, &QPushButton::clicked, m_browser, &QTextBrowser::backward);
    connect(m_browser, &QTextBrowser::backwardAvailable, back, &QPushButton::setEnabled);
    connect(close, &QPushButton::clicked, this, &QWidget::close);
}

void HelpWindow::keyPressEvent(QKeyEvent *event)
{
    // Esc closes the help as it closes a dialog.
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        close();
        return;
    }
    QWidget::keyPressEvent(event);
}

bool HelpWindow::event(QEvent *event)
{
    const bool handled = QWidget::event(event);
    const QEvent::Type type = event->type();
    if (m_fitWhenFramed && (type == QEvent::Move || type == QEvent::Resize || type == QEvent::Show)
        && frameGeometry() != geometry()) {
        m_fitWhenFramed = false;
        FitOnScreen(*this);
    }
    return handled;
}

void HelpWindow::ShowContents()
{
    showPage(HelpPageFile(0));
}

void HelpWindow::ShowTopic(int context)
{
    showPage(HelpPageFile(context));
}

QString HelpWindow::CurrentPage() const
{
    return QFileInfo(m_browser->source().path()).fileName();
}

void HelpWindow::showPage(const QString &file)
{
    const QString path = QDir(m_folder).filePath(file);
    if (QFileInfo::exists(path))
        m_browser->setSource(QUrl::fromLocalFile(path));
    else
        m_browser->setHtml(QStringLiteral("<p>Файл справки не найден: %1</p>").arg(path.toHtmlEscaped()));
    if (!isVisible()) {
        FitToScreen();
        m_fitWhenFramed = true;
    }
    show();
    raise();
    activateWindow();
    m_browser->setFocus(Qt::OtherFocusReason);
}

int HelpWindow::NeededWidth() const
{
    // The page laid out as narrow as it goes: what is left cannot wrap.
    const std::unique_ptr<QTextDocument> page(m_browser->document()->clone());
    page->setTextWidth(0);
    const int text = std::max(qCeil(page->idealWidth()), m_browser->fontMetrics().averageCharWidth() * ReadableColumns);
    const QMargins margins = contentsMargins() + layout()->contentsMargins();
    const int chrome = 2 * m_browser->frameWidth() + m_browser->verticalScrollBar()->sizeHint().width()
                       + margins.left() + margins.right();
    return std::max(text + chrome, layout()->minimumSize().width());
}

void HelpWindow::FitToScreen()
{
    const QWidget *owner = m_beside ? m_beside : parentWidget();
    const QScreen *screen = owner ? owner->screen() : this->screen();
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    if (!screen)
        return;
    const QRect area = screen->availableGeometry();
    // Not framed yet: the desktop frames it as it framed the owner.
    const QMargins frame = isVisible() || !owner ? FrameMargins(*this) : FrameMargins(*owner->window());
    const QSize wanted(std::max(HelpWindowSize.width(), NeededWidth()), HelpWindowSize.height());
    const QSize size = wanted.boundedTo(area.size().shrunkBy(frame));
    QRect outer(QPoint(), size.grownBy(frame));
    if (m_beside) {
        const QRect ownerFrame = m_beside->frameGeometry();
        const int rightRoom = area.right() - ownerFrame.right() - HelpGap;
        const int leftRoom = ownerFrame.left() - area.left() - HelpGap;
        outer.moveTop(ownerFrame.top());
        if (rightRoom >= outer.width() || rightRoom >= leftRoom)
            outer.moveLeft(ownerFrame.right() + 1 + HelpGap);
        else
            outer.moveRight(ownerFrame.left() - 1 - HelpGap);
    } else {
        outer.moveCenter(area.center());
    }
    outer = FittedFrame(outer, area);
    resize(size);
    move(outer.topLeft());
}

} // namespace phonebook
