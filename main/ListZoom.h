#pragma once
// The size of the lists and of the quick-search box, in steps from 75 % to
// 300 % of the interface font: the "Вид" menu's three commands, their keys,
// and Ctrl with the mouse wheel over a list. The grids follow their font
// (row height, fitted widths) and widen their other columns by the same
// factor; the window keeps the percentage per user.

#include <QObject>
#include <QPointer>

#include <vector>

class QAction;
class QMenu;
class QWidget;

namespace phonebook {

class ListZoom : public QObject {
    Q_OBJECT

public:
    // The steps, in per cent of the interface font; 100 is the usual size.
    static constexpr int Steps[] = {75, 90, 100, 110, 125, 150, 175, 200, 250, 300};
    static constexpr int Usual = 100;

    // `widgets` take the zoomed font; Ctrl+wheel over them (or their
    // viewports) zooms. Commands are added to `menu`.
    ListZoom(const std::vector<QWidget *> &widgets, QMenu &menu, QObject *parent);

    int Percent() const { return m_percent; }
    // Takes the nearest step to `percent`.
    void SetPercent(int percent);
    void ZoomIn();
    void ZoomOut();
    void Reset() { SetPercent(Usual); }

    QAction *ZoomInAction() const { return m_in; }
    QAction *ZoomOutAction() const { return m_out; }
    QAction *ResetAction() const { return m_reset; }

signals:
    void PercentChanged(int percent);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void apply();
    int stepIndex() const;

    std::vector<QPointer<QWidget>> m_widgets;
    QAction *m_in = nullptr;
    QAction *m_out = nullptr;
    QAction *m_reset = nullptr;
    int m_percent = Usual;
    int m_wheel = 0; // wheel movement not yet turned into a step
};

} // namespace phonebook
