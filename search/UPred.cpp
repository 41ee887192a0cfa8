#include "UPred.h"

#include "AppInfo.h"
#include "ErrorReport.h"
#include "OrgSearch.h"
#include "SearchOutcome.h"
#include "SearchText.h"
#include "DirectorySession.h"
#include "WindowHelpers.h"

#include <QEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QValidator>

namespace phonebook {

namespace {

// Design pixels (DesignPixels).
constexpr int ClientWidth = 394;
constexpr int ClientHeight = 113;
constexpr int Margin = 8;
constexpr int EditWidth = 377;
constexpr int EditHeight = 21;
constexpr int RadioTop = 36;
constexpr int RadioStep = 22;
constexpr int ButtonWidth = 75;
constexpr int ButtonHeight = 25;

// Upper-cases what is typed into the box, as the directory stores names.
class UpperCaseValidator : public QValidator {
public:
    using QValidator::QValidator;
    State validate(QString &input, int &) const override
    {
        input = search::UpperCaseName(input);
        return Acceptable;
    }
};

// Alt with the underlined letter chooses a mode: С, Л, О.
constexpr QStringView ModeCaptions[3] = {
    u"&Совпадение с началом названия",
    u"Совпадение с &любым словом, входящим в название",
    u"Поиск по &отделу",
};

} // namespace

TFrmPred::TFrmPred(DirectorySession &session, QWidget *owner)
    : QDialog(owner, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint)
    , m_session(session)
{
    SetUpWindow(*this, u"FrmPred", u"Поиск предприятия", false, ClientWidth, ClientHeight);

    m_text = new QLineEdit(this);
    m_text->setObjectName(QStringLiteral("Edit1"));
    m_text->setValidator(new UpperCaseValidator(m_text));
    m_text->setAccessibleName(QStringLiteral("Наименование или отдел"));

    for (int i = 0; i < 3; ++i) {
        m_modes[i] = new QRadioButton(ModeCaptions[i].toString(), this);
        m_modes[i]->setObjectName(QStringLiteral("RadioButton%1").arg(i + 1));
    }
    m_modes[0]->setChecked(true);

    m_ok = new QPushButton(QStringLiteral("ОК"), this);
    m_ok->setObjectName(QStringLiteral("Button1"));
    m_ok->setDefault(true);
    connect(m_ok, &QPushButton::clicked, this, [this] { ReportErrors(this, [this] { Button1Click(); }); });

    // Enter runs the search once, whichever control has the focus.
    RunOnEnter(*this, {m_text, m_modes[0], m_modes[1], m_modes[2], m_ok},
               [this] { ReportErrors(this, [this] { Button1Click(); }); });

    arrange();
    CenterForm(*this);
}

TFrmPred::~TFrmPred() = default;

void TFrmPred::arrange()
{
    const DesignPixels px(*this);
    setFixedSize(px(QSize(ClientWidth, ClientHeight)));
    m_text->setGeometry(px(Margin, Margin, EditWidth, EditHeight));
    for (int i = 0; i < 3; ++i) {
        m_modes[i]->move(px(Margin), px(RadioTop + i * RadioStep));
        m_modes[i]->adjustSize();
    }
    m_ok->setGeometry(px(ClientWidth - Margin - ButtonWidth, ClientHeight - Margin - ButtonHeight, ButtonWidth,
                         ButtonHeight));
}

void TFrmPred::changeEvent(QEvent *event)
{
    QDialog::changeEvent(event);
    if (event->type() == QEvent::FontChange)
        arrange();
}

QRadioButton &TFrmPred::RadioButton(int number) const { return *m_modes[number - 1]; }

void TFrmPred::Open()
{
    if (m_session.Page() != DirectoryPage::Orgs)
        return;
    show();
    raise();
    activateWindow();
    m_text->setFocus(Qt::OtherFocusReason);
    for (QWidget *widget : {static_cast<QWidget *>(this), static_cast<QWidget *>(m_text),
                            static_cast<QWidget *>(m_modes[0]), static_cast<QWidget *>(m_modes[1]),
                            static_cast<QWidget *>(m_ok)})
        SetHelpContext(widget, HelpOrgSearch);
}

void TFrmPred::Button1Click()
{
    search::OrgSearchMode mode = search::OrgSearchMode::NameStart;
    if (m_modes[1]->isChecked())
        mode = search::OrgSearchMode::NameWord;
    else if (m_modes[2]->isChecked())
        mode = search::OrgSearchMode::Department;

    const search::SearchOutcome outcome = search::OrgSearch(m_session.QTemp(), mode, m_text->text());
    if (mode == search::OrgSearchMode::Department && outcome.found()) {
        m_session.Present(outcome);
        return;
    }
    if (QWidget *owner = parentWidget()) {
        owner->raise();
        owner->activateWindow();
    }
    hide();
    m_session.Present(outcome);
}

} // namespace phonebook
