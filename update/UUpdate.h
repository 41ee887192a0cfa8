#pragma once
// TFrmUpdate: the update dialog. The archive's path (typed, or picked with the
// browse button), a progress bar and "Обновить", which installs the edition
// and has the directory session reload both lists. While the archive runs,
// the same button (or Esc) stops it.

#include <QDialog>
#include <QStringView>

#include <chrono>

class QLabel;
class QLineEdit;
class QProcess;
class QProgressBar;
class QPushButton;
class QToolButton;

namespace phonebook {

class DirectorySession;

namespace update {
class UpdateRun;
struct UpdateOutcome;
} // namespace update

inline constexpr QStringView UpdateCaption = u"Обновление справочника";
inline constexpr QStringView UpdatePathLabel = u"Путь к архиву";
inline constexpr QStringView UpdateBrowseHint = u"Выберите путь к обновлению";
inline constexpr QStringView UpdateButtonText = u"Обновить";
inline constexpr QStringView UpdateCancelText = u"Остановить";
inline constexpr QStringView UpdateFilter = u"Полное обновление для базы из архива(up*.exe)";
// Outer size 475×78 leaves this client area under a usual frame: the
// dialog's least size, in design pixels (DesignPixels).
inline constexpr int UpdateClientWidth = 467;
inline constexpr int UpdateClientHeight = 51;

class TFrmUpdate : public QDialog {
    Q_OBJECT

public:
    // Updates the session's folder. The session lets go of its tables (and
    // pauses its folder watch, so that the update's own changes are not taken
    // for a new edition) while an update runs, and reloads them afterwards.
    explicit TFrmUpdate(DirectorySession &session, QWidget *parent = nullptr);
    ~TFrmUpdate() override;

    QLineEdit &Edit1() const { return *m_edit; }
    QToolButton &BitBtn1() const { return *m_browse; }
    QProgressBar &ProgressBar1() const { return *m_bar; }
    QPushButton &Button1() const { return *m_button; }
    bool Updating() const;
    // For tests: how long an archive may run.
    void SetTimeLimit(std::chrono::milliseconds limit);

    // The menu item: the individuals side, then this dialog, modally.
    void Open();
    // The browse button: the file dialog's choice, or after a cancel its
    // previous one, goes into Edit1.
    void BitBtn1Click();
    // "Обновить": installs the archive named in Edit1; while an update runs, stops it.
    void Button1Click();

public slots:
    // Esc and the window's close button stop a running update first.
    void reject() override;

protected:
    // A change of the font lays the dialog out anew.
    void changeEvent(QEvent *event) override;

private:
    void arrange();
    void onStep(const QString &text);
    void onProgress(int percent);
    void onFinished();
    // The directory may not be written by this user: offers the same update
    // as administrator (pkexec phonebook-update), or says how to run it.
    // Returns true when an administrator's update was started.
    bool offerAdministrator();
    void onAdministratorFinished();
    // The messages of an update that did not replace both tables.
    void showOutcome(const update::UpdateOutcome &outcome);
    // How to run the same update from a terminal.
    QString sudoCommand() const;
    // Reloads both lists and gives the dialog back.
    void reloadAndClose(bool confirm);

    DirectorySession &m_session;
    update::UpdateRun *m_run;
    QLabel *m_label = nullptr;
    QLineEdit *m_edit = nullptr;
    QToolButton *m_browse = nullptr;
    QProgressBar *m_bar = nullptr;
    QPushButton *m_button = nullptr;
    QString m_fileName; // the file dialog's last choice
    QString m_step;
    QString m_archive;             // the path the running update was started with
    QProcess *m_admin = nullptr;   // phonebook-update run as administrator
};

} // namespace phonebook
