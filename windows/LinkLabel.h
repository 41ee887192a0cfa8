#pragma once
// A label that acts as a link: blue and underlined, a hand cursor over it,
// reached with Tab and pressed with a click, Enter or Space. Screen readers
// see it as a link with a "press" action.

#include <QLabel>

namespace phonebook {

class LinkLabel : public QLabel {
    Q_OBJECT

public:
    explicit LinkLabel(const QString &text, QWidget *parent = nullptr);

    // What a click does.
    void Activate() { emit activated(); }

signals:
    void activated();

protected:
    void mouseReleaseEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
};

} // namespace phonebook
