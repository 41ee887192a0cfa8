#include "FocusMarkStyle.h"

#include <QPainter>
#include <QStyleOption>

namespace phonebook {

namespace {
constexpr int MarkWidth = 2;
constexpr int MarkInset = 3;
} // namespace

void FocusMarkStyle::drawControl(ControlElement element, const QStyleOption *option, QPainter *painter,
                                 const QWidget *widget) const
{
    QProxyStyle::drawControl(element, option, painter, widget);
    const bool marked = element == CE_PushButton || element == CE_TabBarTab;
    if (!marked || !option->state.testFlag(State_HasFocus) || !option->state.testFlag(State_Enabled))
        return;
    painter->save();
    QPen pen(option->palette.color(QPalette::Active, QPalette::Highlight), MarkWidth);
    pen.setJoinStyle(Qt::MiterJoin);
    painter->setPen(pen);
    painter->setBrush(Qt::NoBrush);
    painter->drawRect(option->rect.adjusted(MarkInset, MarkInset, -MarkInset - 1, -MarkInset - 1));
    painter->restore();
}

} // namespace phonebook
