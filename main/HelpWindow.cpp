#include "HelpWindow.h"

#include "AppInfo.h"
#include "HelpTopic.h"
#include "WindowHelpers.h"

#include <QDir>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QPushButton>
#include <QTextBrowser>
#include <QVBoxLayout>

namespace phonebook {

namespace {
constexpr QSize HelpWindowSize(640, 520);
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
    CenterForm(*this);

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
    show();
    raise();
    activateWindow();
    m_browser->setFocus(Qt::OtherFocusReason);
}

} // namespace phonebook
