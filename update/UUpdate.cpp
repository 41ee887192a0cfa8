#include "UUpdate.h"

#include "Dialogs.h"
#include "EditionWatcher.h"
#include "UMain.h"
#include "UpdateRun.h"
#include "WindowHelpers.h"

#include <QCloseEvent>
#include <QFileInfo>
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

TFrmUpdate::TFrmUpdate(TFrmMain &main, update::EditionWatcher *watcher, QWidget *parent)
    : QDialog(parent)
    , m_main(main)
    , m_watcher(watcher)
    , m_run(new update::UpdateRun(main.Paths().tables, this))
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
    SetHelpContext(m_edit, UpdateHelpContext);

    m_browse = new QToolButton(this);
    m_browse->setObjectName(QStringLiteral("BitBtn1"));
    m_browse->setIcon(style()->standardIcon(QStyle::SP_DirOpenIcon));
    m_browse->setToolTip(UpdateBrowseHint.toString());
    m_browse->setAccessibleName(UpdateBrowseHint.toString());
    m_browse->setFocusPolicy(Qt::StrongFocus);
    SetHelpContext(m_browse, UpdateHelpContext);

    m_button = new QPushButton(UpdateButtonText.toString(), this);
    m_button->setObjectName(QStringLiteral("Button1"));
    m_button->setDefault(true);
    SetHelpContext(m_button, UpdateHelpContext);

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
    m_bar->setMaximumHeight(12);
    panelLayout->addWidget(m_bar);

    auto *layout = new QGridLayout(this);
    layout->setContentsMargins(6, 3, 6, 3);
    layout->setVerticalSpacing(2);
    layout->addWidget(m_label, 0, 0, 1, 3);
    layout->addWidget(m_edit, 1, 0);
    layout->addWidget(m_browse, 1, 1);
    layout->addWidget(m_button, 1, 2);
    layout->addWidget(panel, 2, 0, 1, 3);
    layout->setColumnStretch(0, 1);
    setTabOrder(m_edit, m_browse);
    setTabOrder(m_browse, m_button);

    setFixedSize(UpdateClientWidth, std::max(UpdateClientHeight, sizeHint().height()));
    CenterForm(*this);

    connect(m_browse, &QToolButton::clicked, this, &TFrmUpdate::BitBtn1Click);
    connect(m_button, &QPushButton::clicked, this, &TFrmUpdate::Button1Click);
    connect(m_run, &update::UpdateRun::Step, this, &TFrmUpdate::onStep);
    connect(m_run, &update::UpdateRun::Progress, this, &TFrmUpdate::onProgress);
    connect(m_run, &update::UpdateRun::Finished, this, &TFrmUpdate::onFinished);
}

TFrmUpdate::~TFrmUpdate() = default;

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
    m_main.ShowPersonsSide(true);
    m_edit->setFocus(Qt::OtherFocusReason);
    exec();
    m_main.activateWindow();
}

void TFrmUpdate::BitBtn1Click()
{
    const QString folder = m_fileName.isEmpty() ? QString() : QFileInfo(m_fileName).absolutePath();
    const QString picked = Dialogs::OpenFileName(this, {}, UpdateFilter.toString(), folder);
    if (!picked.isEmpty())
        m_fileName = picked;
    m_edit->setText(m_fileName);
}

void TFrmUpdate::Button1Click()
{
    if (m_run->Running()) {
        m_run->Cancel();
        return;
    }
    // The lists let go of the tables before they are set aside.
    m_main.TFullFiz().Close();
    m_main.QFullPred().Close();
    m_main.QTemp().Close();
    if (m_watcher)
        m_watcher->Pause();
    m_edit->setEnabled(false);
    m_browse->setEnabled(false);
    m_button->setText(UpdateCancelText.toString());
    m_button->setFocus(Qt::OtherFocusReason);
    m_run->Start(m_edit->text().trimmed());
}

void TFrmUpdate::reject()
{
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
    QString failure = outcome.error;
    if (!outcome.details.isEmpty())
        failure += (failure.isEmpty() ? QString() : QStringLiteral("\n\n")) + outcome.details.join(u'\n');
    if (!failure.isEmpty())
        Dialogs::ShowMessage(this, failure, QMessageBox::Warning);
    for (update::Table table : update::Tables) {
        if (!outcome.delivered[static_cast<int>(table)])
            Dialogs::ShowMessage(this, update::NotUpdatedMessage(table), QMessageBox::Warning);
    }

    // Both lists from whatever tables the directory now holds, counted on this bar.
    m_button->setText(UpdateButtonText.toString());
    m_main.LoadDirectory(m_bar);
    m_bar->setRange(0, 100);
    m_bar->setValue(0);
    m_bar->setToolTip({});
    if (m_watcher)
        m_watcher->Resume();

    m_edit->clear();
    m_edit->setEnabled(true);
    m_browse->setEnabled(true);
    QDialog::reject();
}

} // namespace phonebook
