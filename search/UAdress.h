#pragma once
// TFrmAdress: the address search dialog. Not modal: it stays beside the main
// window until a search finds something. The search follows the main
// window's selected tab (individuals or organisations), not the street box
// shown.

#include <QDialog>

class QLineEdit;
class QPushButton;

namespace phonebook {

class StreetBox;
class TFrmMain;

class TFrmAdress : public QDialog {
    Q_OBJECT

public:
    // Creates the dialog centred on the screen, its street lists still empty
    // (ReloadStreets fills them).
    explicit TFrmAdress(TFrmMain &main);
    ~TFrmAdress() override;

    StreetBox &ComboBox1() const { return *m_street1; }
    StreetBox &ComboBox2() const { return *m_street2; }
    QLineEdit &Edit1() const { return *m_house; }
    QLineEdit &Edit2() const { return *m_flat; }
    QPushButton &Button1() const { return *m_ok; }

    // Reads both street lists from the tables in the main window's folder
    // again, letting window events through between rows. Called once after
    // start-up and again whenever a new edition of the tables is installed.
    // A list that cannot be read is reported and left empty.
    void ReloadStreets();
    // Loads the lists unless they were loaded already (or are being loaded).
    void EnsureStreets();
    bool StreetsLoaded() const { return m_loaded; }

    // SpeedButton3: individuals mode. SpeedButton5: organisations mode.
    void ShowPersonsMode();
    void ShowOrgsMode();
    // Runs the search on the main window's selected tab (Button1, Enter).
    void Button1Click();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void setHelp(int context);

    TFrmMain &m_main;
    StreetBox *m_street1 = nullptr;
    StreetBox *m_street2 = nullptr;
    QLineEdit *m_house = nullptr;
    QLineEdit *m_flat = nullptr;
    QPushButton *m_ok = nullptr;
    bool m_loaded = false;
    bool m_loading = false;
};

// The one address dialog, while it exists.
extern TFrmAdress *FrmAdress;

} // namespace phonebook
