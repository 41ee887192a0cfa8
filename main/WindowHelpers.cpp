#include "WindowHelpers.h"

#include "ResultGrid.h"

#include <QGuiApplication>
#include <QKeyEvent>
#include <QScreen>
#include <QVariant>
#include <QWidget>

#include <algorithm>

namespace phonebook {

namespace {
constexpr char HelpContextProperty[] = "helpContext";
}

QPoint CenteredTopLeft(QSize screen, QSize window)
{
    // C++ integer division truncates towards zero, as the placement wants.
    return {screen.width() / 2 - window.width() / 2, screen.height() / 2 - window.height() / 2};
}

void CenterForm(QWidget &window)
{
    QScreen *screen = window.screen();
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    if (!screen)
        return;
    const QRect area = screen->geometry();
    window.move(area.topLeft() + CenteredTopLeft(area.size(), window.frameGeometry().size()));
}

QRect FittedFrame(const QRect &frame, const QRect &available)
{
    QRect fitted(frame.topLeft(), frame.size().boundedTo(available.size()));
    fitted.moveLeft(std::clamp(fitted.left(), available.left(), available.right() - fitted.width() + 1));
    fitted.moveTop(std::clamp(fitted.top(), available.top(), available.bottom() - fitted.height() + 1));
    return fitted;
}

void FitOnScreen(QWidget &window)
{
    if (window.isMaximized() || window.isFullScreen())
        return;
    const QRect frame = window.frameGeometry();
    QScreen *screen = QGuiApplication::screenAt(frame.center());
    if (!screen)
        screen = window.screen() ? window.screen() : QGuiApplication::primaryScreen();
    if (!screen)
        return;
    const QRect fitted = FittedFrame(frame, screen->availableGeometry());
    if (fitted == frame)
        return;
    // The frame's borders and title bar stay what they are around the client area.
    const QSize border = frame.size() - window.geometry().size();
    window.resize(fitted.size() - border);
    window.move(fitted.topLeft());
}

QWidget *FocusFirstVisible(std::initializer_list<QWidget *> widgets)
{
    for (QWidget *widget : widgets) {
        if (widget && !widget->isHidden()) {
            widget->setFocus(Qt::OtherFocusReason);
            return widget;
        }
    }
    return nullptr;
}

void SetUpWindow(QWidget &window, QStringView name, QStringView title, bool modal, int width, int height)
{
    window.setObjectName(name.toString());
    window.setWindowTitle(title.toString());
    window.setWindowModality(modal ? Qt::ApplicationModal : Qt::NonModal);
    window.setFixedSize(width, height);
}

DesignPixels::DesignPixels(const QWidget &widget)
    : m_scale(FontScale(widget.font(), widget))
{
}

int DesignPixels::operator()(int pixels) const { return qRound(pixels * m_scale); }

QSize DesignPixels::operator()(QSize size) const { return {(*this)(size.width()), (*this)(size.height())}; }

QRect DesignPixels::operator()(int left, int top, int width, int height) const
{
    const int x = (*this)(left);
    const int y = (*this)(top);
    return {x, y, (*this)(left + width) - x, (*this)(top + height) - y};
}

void SetHelpContext(QWidget *widget, int context)
{
    if (!widget)
        return;
    if (auto *grid = qobject_cast<ResultGrid *>(widget))
        grid->SetHelpContext(context);
    else
        widget->setProperty(HelpContextProperty, context);
}

int HelpContextOf(const QWidget *widget)
{
    if (!widget)
        return 0;
    if (auto *grid = qobject_cast<const ResultGrid *>(widget))
        return grid->HelpContext();
    return widget->property(HelpContextProperty).toInt();
}

int EffectiveHelpContext(const QWidget *widget)
{
    for (; widget; widget = widget->parentWidget()) {
        if (const int context = HelpContextOf(widget))
            return context;
    }
    return 0;
}

namespace {

class EnterWatcher final : public QObject {
public:
    EnterWatcher(QObject *parent, std::function<void()> action)
        : QObject(parent)
        , m_action(std::move(action))
    {
    }

    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::KeyPress) {
            const int key = static_cast<QKeyEvent *>(event)->key();
            if (key == Qt::Key_Return || key == Qt::Key_Enter) {
                m_action();
                return true;
            }
        }
        return QObject::eventFilter(watched, event);
    }

private:
    std::function<void()> m_action;
};

} // namespace

void RunOnEnter(QWidget &owner, std::initializer_list<QWidget *> controls, std::function<void()> action)
{
    auto *watcher = new EnterWatcher(&owner, std::move(action));
    for (QWidget *control : controls)
        control->installEventFilter(watcher);
}

} // namespace phonebook
