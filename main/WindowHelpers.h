#pragma once
// Helpers every window uses: centring on the screen, sizes that follow the
// font, and help contexts.

#include "DesignFont.h"

#include <QPoint>
#include <QRect>
#include <QSize>
#include <QStringView>

#include <functional>
#include <initializer_list>

class QWidget;

namespace phonebook {

// Top-left corner that centres a window of `window` size on a screen of
// `screen` size: each half is an integer division by 2 rounding towards zero,
// so a window wider than the screen gets a negative left.
QPoint CenteredTopLeft(QSize screen, QSize window);

// Moves the window to the centre of its screen (the primary one when it has none yet).
void CenterForm(QWidget &window);

// A window frame moved, and shrunk when it is larger, so that it lies wholly
// inside `available`.
QRect FittedFrame(const QRect &frame, const QRect &available);
// Moves and shrinks a window that is not maximized so that its frame lies on
// the screen it opens on (the one holding most of it).
void FitOnScreen(QWidget &window);

// Gives the keyboard focus to the first of `widgets` that is not hidden.
// Returns that widget, or null when all are hidden.
QWidget *FocusFirstVisible(std::initializer_list<QWidget *> widgets);

// Enter (or the keypad's Enter) in any of `controls` runs `action` once: the
// key is taken before the control, or the default button, can act on it too.
// The watching lasts as long as `owner`.
void RunOnEnter(QWidget &owner, std::initializer_list<QWidget *> controls, std::function<void()> action);

// Names a window of the program, titles it, makes it modal or not and fixes
// its client size: how each window begins.
void SetUpWindow(QWidget &window, QStringView name, QStringView title, bool modal, int width, int height);

// Turns a window's design pixels (DesignFont.h) into pixels at the window's
// font.
class DesignPixels {
public:
    explicit DesignPixels(const QWidget &widget);

    qreal Scale() const { return m_scale; }
    int operator()(int pixels) const;
    QSize operator()(QSize size) const;
    // The edges are scaled rather than the extent, so that widgets standing
    // side by side in the design still meet.
    QRect operator()(int left, int top, int width, int height) const;

private:
    qreal m_scale;
};

// Help topic of a control: 1 to 6 or 9; 0 for none. Result grids keep their
// own; other widgets carry it as a property.
void SetHelpContext(QWidget *widget, int context);
int HelpContextOf(const QWidget *widget);
// Context of the widget or of its nearest parent that has one; 0 when none does.
int EffectiveHelpContext(const QWidget *widget);

} // namespace phonebook
