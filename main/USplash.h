#pragma once
// TFrmSplash: the borderless window shown while the directory loads, its
// picture over a thin progress bar that counts the rows written.

#include <QWidget>

class QLabel;
class QProgressBar;

namespace phonebook {

class TFrmSplash : public QWidget {
    Q_OBJECT

public:
    explicit TFrmSplash(QWidget *parent = nullptr);

    QProgressBar *ProgressBar1() const { return m_bar; }

private:
    QLabel *m_image = nullptr;
    QProgressBar *m_bar = nullptr;
};

} // namespace phonebook
