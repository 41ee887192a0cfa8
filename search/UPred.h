#pragma once
// TFrmPred: the organisation search dialog. Not modal; opened from the
// organisations side. A department search that finds something leaves it open
// for the next search; every other search closes it.

#include <QDialog>

class QLineEdit;
class QPushButton;
class QRadioButton;

namespace phonebook {

class DirectorySession;

class TFrmPred : public QDialog {
    Q_OBJECT

public:
    // A child of `owner` (the main window); its searches run on the session's
    // QTemp and are presented through the session.
    TFrmPred(DirectorySession &session, QWidget *owner);
    ~TFrmPred() override;

    QLineEdit &Edit1() const { return *m_text; }
    QRadioButton &RadioButton(int number) const;
    QPushButton &Button1() const { return *m_ok; }

    // SpeedButton4: shows the dialog while the session shows the organisations page.
    void Open();
    // Runs the search of the chosen mode (Button1, Enter).
    void Button1Click();

protected:
    // A change of the font lays the dialog out anew.
    void changeEvent(QEvent *event) override;

private:
    // The design's pixels scaled to the font (DesignPixels).
    void arrange();

    DirectorySession &m_session;
    QLineEdit *m_text = nullptr;
    QRadioButton *m_modes[3] = {};
    QPushButton *m_ok = nullptr;
};

} // namespace phonebook
