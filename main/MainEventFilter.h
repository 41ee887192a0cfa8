#pragma once
// Sees every key press of the application before the focused control does:
// F1 opens the help topic of the focused control (in any window), and the
// characters typed in the main window go to its key preview.

#include <QObject>

namespace phonebook {

class TFrmMain;

class MainEventFilter : public QObject {
    Q_OBJECT

public:
    explicit MainEventFilter(TFrmMain &main)
        : m_main(main)
    {
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    TFrmMain &m_main;
};

} // namespace phonebook
