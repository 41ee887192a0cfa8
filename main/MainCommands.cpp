// Commands of the main window: the ones attached by later windows, help,
// key preview and the first show.

#include "UMain.h"

#include "ErrorReport.h"
#include "HelpWindow.h"
#include "MainEventFilter.h"
#include "WindowHelpers.h"

#include <QApplication>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QScreen>

#include <algorithm>

namespace phonebook {

void TFrmMain::SetCommand(Command command, std::function<void()> action)
{
    m_commands.at(static_cast<size_t>(command)) = std::move(action);
}

void TFrmMain::RunCommand(Command command)
{
    const std::function<void()> &action = m_commands.at(static_cast<size_t>(command));
    if (action)
        ReportErrors(this, action);
}

void TFrmMain::FormKeyPress(QChar key)
{
    if (m_keyPreview)
        ReportErrors(this, [&] { m_keyPreview(key); });
}

HelpWindow &TFrmMain::helpWindow()
{
    // Over a modal window the help is that window's own modal child: it takes
    // the keyboard and the mouse, and closing it leaves the window as it was.
    QWidget *modal = QApplication::activeModalWidget();
    if (modal && modal != m_modalHelp) {
        auto *help = new HelpWindow(m_paths.help, modal);
        help->setAttribute(Qt::WA_DeleteOnClose);
        help->setWindowModality(Qt::WindowModal);
        // Beside the window, so that both are seen, when the screen has room.
        help->SetBeside(modal);
        // Closing the help gives the keyboard back to the window it was asked from.
        connect(help, &QObject::destroyed, modal, [modal] { modal->activateWindow(); });
        m_modalHelp = help;
        return *help;
    }
    if (modal)
        return *m_modalHelp;
    if (!m_help)
        m_help = new HelpWindow(m_paths.help, this);
    return *m_help;
}

HelpWindow *TFrmMain::Help() const
{
    return m_modalHelp ? m_modalHelp.data() : m_help.data();
}

void TFrmMain::ShowHelpContents()
{
    helpWindow().ShowContents();
}

void TFrmMain::ShowHelpTopic(int context)
{
    helpWindow().ShowTopic(context);
}

void TFrmMain::showEvent(QShowEvent *event)
{
    QMainWindow::showEvent(event);
    if (!m_shown) {
        m_shown = true;
        FocusVisibleGrid();
    }
}

void TFrmMain::changeEvent(QEvent *event)
{
    QMainWindow::changeEvent(event);
    if (event->type() == QEvent::FontChange) {
        ArrangeToolButtons();
        sizeStatusPanels();
    }
}

void TFrmMain::closeEvent(QCloseEvent *event)
{
    QMainWindow::closeEvent(event);
    if (event->isAccepted())
        QCoreApplication::quit();
}

bool MainEventFilter::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() != QEvent::KeyPress || !watched->isWidgetType())
        return false;
    // A key press travels from the focused control up to its window; act on
    // its first stop only.
    auto *widget = static_cast<QWidget *>(watched);
    QWidget *focus = QApplication::focusWidget();
    if (focus ? widget != focus : !widget->isWindow())
        return false;

    const auto *key = static_cast<QKeyEvent *>(event);
    if (key->key() == Qt::Key_F1 && key->modifiers() == Qt::NoModifier) {
        if (const int context = EffectiveHelpContext(widget))
            m_main.ShowHelpTopic(context);
        else
            m_main.ShowHelpContents();
        return true;
    }
    if (widget->window() == &m_main && !key->text().isEmpty() && key->text().at(0).isPrint()) {
        for (QChar c : key->text())
            m_main.FormKeyPress(c);
    }
    return false;
}

} // namespace phonebook
