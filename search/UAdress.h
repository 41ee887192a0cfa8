#pragma once
// TFrmAdress: the address search dialog. Not modal: it stays beside the main
// window until a search finds something. The search follows the page the
// directory session shows (individuals or organisations), not the street box
// shown, and is presented through the session.

#include <QDialog>
#include <QStringList>

class QLabel;
class QLineEdit;
class QPushButton;

namespace phonebook {

class DirectorySession;
class StreetBox;
template <typename T>
class BuildWatcher;

class TFrmAdress : public QDialog {
    Q_OBJECT

public:
    // Creates the dialog centred on the screen, a child of `owner` (the main
    // window), its street lists still empty (ReloadStreets builds them).
    TFrmAdress(DirectorySession &session, QWidget *owner);
    ~TFrmAdress() override;

    StreetBox &ComboBox1() const { return *m_street1; }
    StreetBox &ComboBox2() const { return *m_street2; }
    QLineEdit &Edit1() const { return *m_house; }
    QLineEdit &Edit2() const { return *m_flat; }
    QPushButton &Button1() const { return *m_ok; }

    // Builds both street lists again from the tables in the session's
    // folder, in the background: each statement on a connection of its own on
    // a worker thread, so the windows go on meanwhile. Called at start-up and
    // whenever a new edition of the tables is installed. Each box keeps what
    // it showed until its new list is complete (never part of one); while the
    // dialog is open it shows a busy cursor and says the list is loading. A
    // list that cannot be read is reported and left empty. A build still
    // running for the files read before is stopped and dropped unseen.
    void ReloadStreets();
    // Waits for the lists being built and shows them (saving, tests).
    void WaitForStreets();
    // Whether both lists are built and none is being rebuilt.
    bool StreetsLoaded() const;

    // SpeedButton3: individuals mode. SpeedButton5: organisations mode.
    void ShowPersonsMode();
    void ShowOrgsMode();
    // Runs the search on the session's page (Button1, Enter).
    void Button1Click();

signals:
    // Both lists are built and shown (or reported as not read).
    void StreetsReady();

protected:
    // A change of the font lays the dialog out anew.
    void changeEvent(QEvent *event) override;

private:
    // The design's pixels scaled to the font (DesignPixels).
    void arrange();
    void setHelp(int context);
    // Slot 0: the individuals' streets (ComboBox1); 1: the organisations' (ComboBox2).
    StreetBox *boxOf(int slot) const;
    void finishStreets(int slot);
    void showLoading();

    DirectorySession &m_session;
    StreetBox *m_street1 = nullptr;
    StreetBox *m_street2 = nullptr;
    QLineEdit *m_house = nullptr;
    QLineEdit *m_flat = nullptr;
    QLabel *m_labels[3] = {}; // Label1 to Label3
    QPushButton *m_ok = nullptr;
    // The build running for each box, by slot; null when none runs.
    BuildWatcher<QStringList> *m_builds[2] = {nullptr, nullptr};
};

} // namespace phonebook
