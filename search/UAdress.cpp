#include "UAdress.h"

#include "AddressSearch.h"
#include "AppInfo.h"
#include "BackgroundBuild.h"
#include "Dialogs.h"
#include "ErrorReport.h"
#include "SearchOutcome.h"
#include "StreetBox.h"
#include "DirectorySession.h"
#include "WindowHelpers.h"

#include <QEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPushButton>

#include <utility>

namespace phonebook {

namespace {

// What the individuals' street box shows at start and after every search.
constexpr QStringView StreetPrompt = u"ул.";
// Design pixels (DesignPixels).
constexpr int ClientWidth = 278;
constexpr int ClientHeight = 218;
constexpr int Margin = 4;
constexpr int LabelTop = 2;
constexpr int BoxTop = 17;
constexpr int StreetWidth = 193;
constexpr int StreetHeight = 200;
constexpr int HouseLeft = Margin + StreetWidth + 3;
constexpr int HouseWidth = 42;
constexpr int FlatLeft = HouseLeft + HouseWidth + 3;
constexpr int FlatWidth = 30;
constexpr int EditHeight = 21;
constexpr int ButtonWidth = 75;
constexpr int ButtonHeight = 25;

QLabel *BoldLabel(QWidget *parent, const char *name, QStringView text, QWidget *buddy)
{
    auto *label = new QLabel(text.toString(), parent);
    label->setObjectName(QLatin1StringView(name));
    QFont font = label->font();
    font.setBold(true);
    label->setFont(font);
    label->setBuddy(buddy);
    return label;
}

} // namespace

TFrmAdress::TFrmAdress(DirectorySession &session, QWidget *owner)
    : QDialog(owner, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint)
    , m_session(session)
{
    SetUpWindow(*this, u"FrmAdress", u"Поиск по адресу", false, ClientWidth, ClientHeight);

    m_street1 = new StreetBox(this);
    m_street1->setObjectName(QStringLiteral("ComboBox1"));
    m_street1->setText(StreetPrompt.toString());
    m_street2 = new StreetBox(this);
    m_street2->setObjectName(QStringLiteral("ComboBox2"));
    m_street2->hide();

    m_house = new QLineEdit(this);
    m_house->setObjectName(QStringLiteral("Edit1"));
    m_house->setAccessibleName(QStringLiteral("Дом"));
    m_flat = new QLineEdit(this);
    m_flat->setObjectName(QStringLiteral("Edit2"));
    m_flat->setAccessibleName(QStringLiteral("Кв."));

    // Alt+У, Alt+Д, Alt+К reach the boxes; the street label names whichever box is shown.
    m_labels[0] = BoldLabel(this, "Label1", u"&Улица", m_street1);
    m_labels[1] = BoldLabel(this, "Label2", u"&Дом", m_house);
    m_labels[2] = BoldLabel(this, "Label3", u"&Кв.", m_flat);

    m_ok = new QPushButton(QStringLiteral("ОК"), this);
    m_ok->setObjectName(QStringLiteral("Button1"));
    m_ok->setDefault(true);
    connect(m_ok, &QPushButton::clicked, this, [this] { ReportErrors(this, [this] { Button1Click(); }); });

    // Tab goes from the street straight to the house: the arrow keys in the
    // street's edit move through its list.
    setTabOrder(m_street1, m_street2);
    setTabOrder(m_street2, m_house);
    setTabOrder(m_house, m_flat);
    setTabOrder(m_flat, m_ok);

    // Enter runs the search once, whichever control has the focus: the key is
    // taken here before the control or the default button can act on it too.
    RunOnEnter(*this,
               {this, m_street1->edit(), m_street1->list(), m_street2->edit(), m_street2->list(), m_house, m_flat, m_ok},
               [this] { ReportErrors(this, [this] { Button1Click(); }); });

    setHelp(HelpPersonAddress);
    arrange();
    CenterForm(*this);
}

TFrmAdress::~TFrmAdress()
{
    StopBuilds(this);
}

void TFrmAdress::arrange()
{
    const DesignPixels px(*this);
    setFixedSize(px(QSize(ClientWidth, ClientHeight)));
    for (StreetBox *box : {m_street1, m_street2})
        box->setGeometry(px(Margin, BoxTop, StreetWidth, StreetHeight));
    m_house->setGeometry(px(HouseLeft, BoxTop, HouseWidth, EditHeight));
    m_flat->setGeometry(px(FlatLeft, BoxTop, FlatWidth, EditHeight));
    const int lefts[3] = {Margin, HouseLeft, FlatLeft};
    for (int i = 0; i < 3; ++i) {
        m_labels[i]->move(px(lefts[i]), px(LabelTop));
        m_labels[i]->adjustSize();
    }
    m_ok->setGeometry(px(ClientWidth - Margin - ButtonWidth, ClientHeight - Margin - ButtonHeight, ButtonWidth,
                         ButtonHeight));
}

void TFrmAdress::changeEvent(QEvent *event)
{
    QDialog::changeEvent(event);
    if (event->type() == QEvent::FontChange)
        arrange();
}

void TFrmAdress::ReloadStreets()
{
    const QString directory = m_session.TablesFolder();
    for (int slot : {0, 1}) {
        const Table list = slot == 0 ? Table::Persons : Table::Orgs;
        // A build for the files read before is stopped, its result unseen.
        DropBuild(m_builds[slot]);
        // A table the session could not read was reported once, by the main window.
        if ((slot == 0 ? m_session.PersonsLoad() : m_session.OrgsLoad()).error) {
            boxOf(slot)->setLoading(false);
            boxOf(slot)->setStreets({});
            continue;
        }
        m_builds[slot] = StartBuild(
            this, [directory, list](const StopCheck &stop) { return search::LoadStreetList(directory, list, stop); },
            [this, slot](auto *build) {
                if (m_builds[slot] == build)
                    finishStreets(slot);
            });
    }
    if (isVisible())
        showLoading();
}

void TFrmAdress::WaitForStreets()
{
    for (int slot : {0, 1}) {
        if (m_builds[slot]) {
            m_builds[slot]->waitForFinished();
            finishStreets(slot);
        }
    }
}

bool TFrmAdress::StreetsLoaded() const { return !m_builds[0] && !m_builds[1]; }

StreetBox *TFrmAdress::boxOf(int slot) const { return slot == 0 ? m_street1 : m_street2; }

void TFrmAdress::finishStreets(int slot)
{
    BuildWatcher<QStringList> *build = std::exchange(m_builds[slot], nullptr);
    Built<QStringList> built = build->result();
    build->deleteLater();
    boxOf(slot)->setLoading(false);
    boxOf(slot)->setStreets(built.value);
    if (StreetsLoaded())
        unsetCursor();
    if (built.error)
        ReportErrors(this, [&] { built.get(); }, QStringLiteral("Список улиц не загружен."));
    if (StreetsLoaded())
        emit StreetsReady();
}

void TFrmAdress::showLoading()
{
    if (StreetsLoaded())
        return;
    setCursor(Qt::BusyCursor);
    for (int slot : {0, 1})
        boxOf(slot)->setLoading(m_builds[slot] != nullptr);
}

void TFrmAdress::setHelp(int context)
{
    SetHelpContext(this, context);
    SetHelpContext(m_house, context);
    SetHelpContext(context == HelpPersonAddress ? m_street1 : m_street2, context);
}

void TFrmAdress::ShowPersonsMode()
{
    show();
    raise();
    activateWindow();
    m_street2->hide();
    m_street1->show();
    m_street1->setFocus(Qt::OtherFocusReason);
    setHelp(HelpPersonAddress);
    m_labels[0]->setBuddy(m_street1);
    showLoading();
}

void TFrmAdress::ShowOrgsMode()
{
    if (m_session.Page() != DirectoryPage::Orgs)
        return;
    show();
    raise();
    activateWindow();
    m_street1->hide();
    m_street2->show();
    m_street2->setFocus(Qt::OtherFocusReason);
    setHelp(HelpAddress);
    m_labels[0]->setBuddy(m_street2);
    showLoading();
}

void TFrmAdress::Button1Click()
{
    const DirectoryPage page = m_session.Page();
    search::SearchOutcome outcome;
    bool ran = false;
    const auto reset = [this] {
        // Whatever the outcome, the individuals' street box and the house box start again.
        m_street1->setText(StreetPrompt.toString());
        m_house->clear();
    };
    try {
        if (page == DirectoryPage::Persons) {
            outcome = search::PersonAddressSearch(m_session.QTemp(), m_street1->text(), m_house->text(), m_flat->text());
            ran = true;
        } else if (page == DirectoryPage::Orgs) {
            outcome = search::OrgAddressSearch(m_session.QTemp(), m_street2->text(), m_house->text());
            ran = true;
        }
    } catch (...) {
        reset();
        throw;
    }
    reset();
    if (!ran)
        return;
    if (!outcome.found()) {
        Dialogs::ShowMessage(this, outcome.message.Text());
        return;
    }
    hide();
    m_session.Present(outcome);
    if (QWidget *owner = parentWidget())
        owner->activateWindow();
}

} // namespace phonebook
