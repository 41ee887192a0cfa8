#pragma once
// The program's widget style: the platform's own, with a plain mark around
// the focused button and the focused tab, which some styles draw no
// differently from the others.

#include <QProxyStyle>

namespace phonebook {

class FocusMarkStyle : public QProxyStyle {
    Q_OBJECT

public:
    using QProxyStyle::QProxyStyle;

    void drawControl(ControlElement element, const QStyleOption *option, QPainter *painter,
                     const QWidget *widget = nullptr) const override;
};

} // namespace phonebook
