#include "UUpdate.h"

#include "AppInfo.h"
#include "Dialogs.h"
#include "DirectorySession.h"
#include "UpdateRun.h"
#include "WindowHelpers.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QFrame>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QStyle>
#include <QToolButton>
#include <QVBoxLayout>

namespace phonebook {

TFrmUpdate::TFrmUpdate(DirectorySession &session, QWidget *parent)
    : QDialog(parent)
    , m_session(session)
    , m_run(new update::UpdateRun(session.TablesFolder(), this))
{
    setObjectName(QStringLiteral("FrmUpdate"));
    setWindowTitle(UpdateCaption.toString());
    setModal(true);

    m_label = new QLabel(UpdatePathLabel.toString(), this);
    m_label->setObjectName(QStringLiteral("Label1"));
    QFont bold = m_label->font();
    bold.setBold(true);
    m_label->setFont(bold);

    m_edit = new QLineEdit(this);
    m_edit->setObjectName(QStringLiteral("Edit1"));
    m_edit->setAccessibleName(UpdatePathLabel.toString());
    m_label->setBuddy(m_edit);
    SetHelpContext(m_edit, HelpUpdate);

    m_browse = new QToolButton(this);
    m_browse->setObjectName(QStringLiteral("BitBtn1"));
    m_browse->setIcon(style()->standardIcon(QStyle::SP_DirOpenIcon));
    m_browse->setToolTip(UpdateBrowseHint.toString());
    m_browse->setAccessibleName(UpdateBrowseHint.toString());
    m_browse->setFocusPolicy(Qt::StrongFocus);
    SetHelpContext(m_browse, HelpUpdate);

    m_button = new QPushButton(UpdateButtonText.toString(), this);
    m_button->setObjectName(QStringLiteral("Button1"));
    m_button->setDefault(true);
    SetHelpContext(m_button, HelpUpdate);

    auto *panel = new QFrame(this);
    panel->setObjectName(QStringLiteral("Panel1"));
    panel->setFrameShape(QFrame::StyledPanel);
    auto *panelLayout = new QVBoxLayout(panel);
    panelLayout->setContentsMargins(1, 1, 1, 1);
    m_bar = new QProgressBar(panel);
    m_bar->setObjectName(QStringLiteral("ProgressBar1"));
    m_bar->setAccessibleName(QStringLiteral("Ход обновления"));
    m_bar->setRange(0, 100);
    m_bar->setValue(0);
    m_bar->setTextVisible(false);
    panelLayout->addWidget(m_bar);

    auto *layout = new QGridLayout(this);
    layout->addWidget(m_label, 0, 0, 1, 3);
    layout->addWidget(m_edit, 1, 0);
    layout->addWidget(m_browse, 1, 1);
    layout->addWidget(m_button, 1, 2);
    layout->addWidget(panel, 2, 0, 1, 3);
    layout->setColumnStretch(0, 1);
    setTabOrder(m_edit, m_browse);
    setTabOrder(m_browse, m_button);

    arrange();
    CenterForm(*this);

    connect(m_browse, &QToolButton::clicked, this, &TFrmUpdate::BitBtn1Click);
    connect(m_button, &QPushButton::clicked, this, &TFrmUpdate::Button1Click);
    connect(m_run, &update::UpdateRun::Step, this, &TFrmUpdate::onStep);
    connect(m_run, &update::UpdateRun::Progress, this, &TFrmUpdate::onProgress);
    connect(m_run, &update::UpdateRun::Finished, this, &TFrmUpdate::onFinished);
}

TFrmUpdate::~TFrmUpdate() = default;

void TFrmUpdate::arrange()
{
    // The design's pixels scaled to the font; the layout's own needs where they are more.
    const DesignPixels px(*this);
    auto *grid = static_cast<QGridLayout *>(layout());
    grid->setContentsMargins(px(6), px(3), px(6), px(3));
    grid->setVerticalSpacing(px(2));
    m_bar->setMaximumHeight(px(12));
    m_browse->setIconSize(px(QSize(16, 16)));
    grid->invalidate();
    const QSize needed = sizeHint();
    setFixedSize(std::max(px(UpdateClientWidth), needed.width()), std::max(px(UpdateClientHeight), needed.height()));
}

void TFrmUpdate::changeEvent(QEvent *event)
{
    QDialog::changeEvent(event);
    if (event->type() == QEvent::FontChange)
        arrange();
}

bool TFrmUpdate::Updating() const
{
    return m_run->Running();
}

void TFrmUpdate::SetTimeLimit(std::chrono::milliseconds limit)
{
    m_run->SetTimeLimit(limit);
}

void TFrmUpdate::Open()
{
    m_session.ShowSide(DirectorySide::Persons);
    m_edit->setFocus(Qt::OtherFocusReason);
    exec();
    if (QWidget *owner = parentWidget())
        owner->activateWindow();
}

void TFrmUpdate::BitBtn1Click()
{
    const QString folder = m_fileName.isEmpty() ? QString() : QFileInfo(m_fileName).absolutePath();
    const QString picked = Dialogs::OpenFileName(this, {}, UpdateFilter.toString(), folder);
    if (!picked.isEmpty())
        m_fileName = picked;
    m_edit->setText(m_fileName);
}

namespace {

// pkexec's own exit statuses: the user was not authorised (the dialog was
// cancelled or the password not given), or no authentication agent or polkit
// service could be reached.
constexpr int PkexecNotAuthorized = 126;
constexpr int PkexecNoAgent = 127;

QString ShellQuoted(const QString &text)
{
    QString quoted = text;
    quoted.replace(u'\'', QStringLiteral("'\\''"));
    return u'\'' + quoted + u'\'';
}

} // namespace

void TFrmUpdate::Button1Click()
{
    if (m_admin)
        return; // the administrator's update ends on its own
    if (m_run->Running()) {
        m_run->Cancel();
        return;
    }
    // The lists let go of the tables before they are set aside.
    m_session.ReleaseTables();
    m_edit->setEnabled(false);
    m_browse->setEnabled(false);
    m_button->setText(UpdateCancelText.toString());
    m_button->setFocus(Qt::OtherFocusReason);
    m_archive = m_edit->text().trimmed();
    m_run->Start(m_archive);
}

void TFrmUpdate::reject()
{
    if (m_admin)
        return;
    if (m_run->Running()) {
        m_run->Cancel();
        return;
    }
    QDialog::reject();
}

void TFrmUpdate::onStep(const QString &text)
{
    m_step = text;
    m_bar->setAccessibleDescription(text);
    m_bar->setToolTip(text);
}

void TFrmUpdate::onProgress(int percent)
{
    if (percent < 0) {
        m_bar->setRange(0, 0); // the archive runs on its own: a busy bar
        return;
    }
    m_bar->setRange(0, 100);
    m_bar->setValue(percent);
}

void TFrmUpdate::onFinished()
{
    const update::UpdateOutcome &outcome = m_run->Outcome();
    if (outcome.noWriteAccess && offerAdministrator())
        return;
    showOutcome(outcome);
    reloadAndClose(outcome.status == update::UpdateOutcome::Status::Replaced);
}

void TFrmUpdate::showOutcome(const update::UpdateOutcome &outcome)
{
    QString failure = outcome.error;
    if (!outcome.details.isEmpty())
        failure += (failure.isEmpty() ? QString() : QStringLiteral("\n\n")) + outcome.details.join(u'\n');
    if (!failure.isEmpty() && !outcome.noWriteAccess)
        Dialogs::ShowMessage(this, failure, QMessageBox::Warning);
    for (update::Table table : update::Tables) {
        if (!outcome.delivered[static_cast<int>(table)])
            Dialogs::ShowMessage(this, update::NotUpdatedMessage(table).Text(), QMessageBox::Warning);
    }
}

bool TFrmUpdate::offerAdministrator()
{
    const QString directory = m_session.TablesFolder();
    const QString tool = QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("phonebook-update"));
    const QString pkexec = QStandardPaths::findExecutable(QStringLiteral("pkexec"));
    const QString archive = QFileInfo(m_archive).absoluteFilePath();
    const QString denied = update::NoWriteAccessMessage(directory).Text();
    if (pkexec.isEmpty()) {
        Dialogs::ShowMessage(this, denied + u'\n' + sudoCommand(), QMessageBox::Warning);
        return false;
    }
    if (Dialogs::AskYesNo(this, denied + QStringLiteral("\n\nВыполнить обновление от имени администратора? "
                                                         "Система спросит его пароль."))
        != QMessageBox::Yes)
        return false;

    m_admin = new QProcess(this);
    m_admin->setProgram(pkexec);
    m_admin->setArguments({tool, QStringLiteral("--dir"), directory, archive});
    m_admin->setStandardInputFile(QProcess::nullDevice());
    connect(m_admin, &QProcess::finished, this, &TFrmUpdate::onAdministratorFinished);
    connect(m_admin, &QProcess::errorOccurred, this, [this](QProcess::ProcessError error) {
        if (error == QProcess::FailedToStart)
            onAdministratorFinished();
    });
    m_button->setEnabled(false);
    m_bar->setRange(0, 0);
    m_bar->setAccessibleDescription(QStringLiteral("Обновление от имени администратора"));
    m_admin->start();
    return true;
}

void TFrmUpdate::onAdministratorFinished()
{
    QProcess *admin = m_admin;
    m_admin = nullptr;
    admin->disconnect(this);
    admin->deleteLater();
    const int code = admin->exitStatus() == QProcess::NormalExit && admin->error() != QProcess::FailedToStart
        ? admin->exitCode()
        : -1;
    m_button->setEnabled(true);
    // phonebook-update's last line says what happened; without it, pkexec's
    // exit status says why phonebook-update did not run.
    const std::optional<update::UpdateOutcome> outcome = update::ParseOutcomeLine(admin->readAllStandardError());
    if (outcome) {
        showOutcome(*outcome);
        reloadAndClose(outcome->status == update::UpdateOutcome::Status::Replaced);
        return;
    }
    QString reason;
    if (code == PkexecNotAuthorized)
        reason = QStringLiteral("права администратора не подтверждены (пароль не введён или запрос отменён).");
    else if (code == PkexecNoAgent)
        reason = QStringLiteral("не удалось спросить пароль администратора: нет агента проверки подлинности "
                                "или не работает служба polkit.");
    else if (code < 0)
        reason = QStringLiteral("программа pkexec не запустилась.");
    else
        reason = QStringLiteral("pkexec завершился с кодом %1.").arg(code);
    Dialogs::ShowMessage(this, QStringLiteral("Обновление от имени администратора не выполнено: %1\n").arg(reason) + sudoCommand(),
                         QMessageBox::Warning);
    reloadAndClose(false);
}

QString TFrmUpdate::sudoCommand() const
{
    const QString directory = m_session.TablesFolder();
    const QString tool = QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("phonebook-update"));
    const QString archive = QFileInfo(m_archive).absoluteFilePath();
    return QStringLiteral("\nОбновите справочник от имени администратора командой в терминале:\nsudo %1 --dir %2 %3")
        .arg(ShellQuoted(tool), ShellQuoted(directory), ShellQuoted(archive));
}

void TFrmUpdate::reloadAndClose(bool confirm)
{
    // Both lists from whatever tables the directory now holds.
    m_button->setText(UpdateButtonText.toString());
    m_session.Reload();
    m_bar->setRange(0, 100);
    m_bar->setValue(0);
    m_bar->setToolTip({});
    m_bar->setAccessibleDescription({});
    if (confirm) {
        const DirectoryCounts &counts = m_session.Counts();
        Dialogs::ShowMessage(this, QStringLiteral("Справочник обновлён.\n%1%2\n%3%4")
                                       .arg(PersonsCountText, QString::number(counts.persons), OrgPhonesCountText,
                                            QString::number(counts.orgPhones)));
    }

    m_edit->clear();
    m_edit->setEnabled(true);
    m_browse->setEnabled(true);
    QDialog::reject();
}

} // namespace phonebook
