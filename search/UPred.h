#pragma once
// TFrmPred: the organisation search dialog. Not modal; opened from the
// organisations side. A department search that finds something leaves it open
// for the next search; every other search closes it.

#include <QDialog>

class QLineEdit;
class QPushButton;
class QRadioButton;

namespace phonebook {

class TFrmMain;

class TFrmPred : public QDialog {
    Q_OBJECT

public:
    explicit TFrmPred(TFrmMain &main);
    ~TFrmPred() override;

    QLineEdit &Edit1() const { return *m_text; }
    QRadioButton &RadioButton(int number) const;
    QPushButton &Button1() const { return *m_ok; }

    // SpeedButton4: shows the dialog while the organisations tab is selected.
    void Open();
    // Runs the search of the chosen mode (Button1, Enter).
    void Button1Click();

private:
    TFrmMain &m_main;
    QLineEdit *m_text = nullptr;
    QRadioButton *m_modes[3] = {};
    QPushButton *m_ok = nullptr;
};

// The one organisation dialog, while it exists.
extern TFrmPred *FrmPred;

} // namespace phonebook
