#include "ListZoom.h"

#include "ResultGrid.h"

#include <QAbstractScrollArea>
#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QWheelEvent>

#include <algorithm>
#include <cstdlib>
#include <iterator>

namespace phonebook {

namespace {
// One notch of a usual mouse wheel.
constexpr int WheelNotch = 120;
} // namespace

ListZoom::ListZoom(const std::vector<QWidget *> &widgets, QMenu &menu, QObject *parent)
    : QObject(parent)
{
    for (QWidget *widget : widgets) {
        m_widgets.emplace_back(widget);
        widget->installEventFilter(this);
        if (auto *area = qobject_cast<QAbstractScrollArea *>(widget))
            area->viewport()->installEventFilter(this);
    }
    const auto add = [&menu](const char16_t *text, const char *name, const QList<QKeySequence> &keys) {
        QAction *action = menu.addAction(QString::fromUtf16(text));
        action->setObjectName(QLatin1StringView(name));
        action->setShortcuts(keys);
        action->setShortcutContext(Qt::WindowShortcut);
        return action;
    };
    // Ctrl+= as well: the same key as "+" without Shift.
    m_in = add(u"&Крупнее", "ZoomInItem", {QKeySequence(Qt::CTRL | Qt::Key_Plus), QKeySequence(Qt::CTRL | Qt::Key_Equal)});
    m_out = add(u"&Мельче", "ZoomOutItem", {QKeySequence(Qt::CTRL | Qt::Key_Minus)});
    m_reset = add(u"&Обычный размер", "ZoomResetItem", {QKeySequence(Qt::CTRL | Qt::Key_0)});
    connect(m_in, &QAction::triggered, this, &ListZoom::ZoomIn);
    connect(m_out, &QAction::triggered, this, &ListZoom::ZoomOut);
    connect(m_reset, &QAction::triggered, this, &ListZoom::Reset);
    apply();
}

int ListZoom::stepIndex() const
{
    const auto found = std::find(std::begin(Steps), std::end(Steps), m_percent);
    return static_cast<int>(std::distance(std::begin(Steps), found));
}

void ListZoom::SetPercent(int percent)
{
    const int *nearest = std::min_element(std::begin(Steps), std::end(Steps), [percent](int a, int b) {
        return std::abs(a - percent) < std::abs(b - percent);
    });
    if (*nearest == m_percent)
        return;
    m_percent = *nearest;
    apply();
    emit PercentChanged(m_percent);
}

void ListZoom::ZoomIn()
{
    const int index = stepIndex();
    if (index + 1 < static_cast<int>(std::size(Steps)))
        SetPercent(Steps[index + 1]);
}

void ListZoom::ZoomOut()
{
    const int index = stepIndex();
    if (index > 0)
        SetPercent(Steps[index - 1]);
}

void ListZoom::apply()
{
    m_in->setEnabled(m_percent < Steps[std::size(Steps) - 1]);
    m_out->setEnabled(m_percent > Steps[0]);
    m_reset->setEnabled(m_percent != Usual);
    for (QWidget *widget : m_widgets) {
        if (!widget)
            continue;
        // A list's columns widen with its text.
        if (auto *grid = qobject_cast<ResultGrid *>(widget))
            grid->SetZoom(m_percent);
        // The interface font as the desktop gives it, scaled; at 100 % the
        // widget simply follows the interface font again.
        if (m_percent == Usual) {
            widget->setFont(QFont());
            continue;
        }
        QFont font = QApplication::font(widget);
        if (font.pointSizeF() > 0)
            font.setPointSizeF(font.pointSizeF() * m_percent / Usual);
        else
            font.setPixelSize(std::max(1, font.pixelSize() * m_percent / Usual));
        widget->setFont(font);
    }
}

bool ListZoom::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::Wheel) {
        auto *wheel = static_cast<QWheelEvent *>(event);
        if (wheel->modifiers() & Qt::ControlModifier) {
            m_wheel += wheel->angleDelta().y();
            while (m_wheel >= WheelNotch) {
                m_wheel -= WheelNotch;
                ZoomIn();
            }
            while (m_wheel <= -WheelNotch) {
                m_wheel += WheelNotch;
                ZoomOut();
            }
            return true;
        }
    }
    return QObject::eventFilter(watched, event);
}

} // namespace phonebook
