#include "SearchButtons.h"

#include "Dialogs.h"
#include "DirectorySession.h"
#include "Searches.h"
#include "SearchText.h"

#include <QLineEdit>

namespace phonebook {

namespace {

// The questions the tool-bar searches ask.
constexpr QStringView PhoneQuestionCaption = u"Введите номер телефона";
constexpr QStringView PhoneQuestionPrompt = u"Какой телефон будем искать?";
constexpr QStringView SurnameQuestionCaption = u"Введите фамилию";
constexpr QStringView SurnameQuestionPrompt = u"Какую фамилию будем искать?";

} // namespace

void SpeedButton1Click(DirectorySession &session, QWidget *owner)
{
    const DirectoryPage page = session.Page();
    if (page != DirectoryPage::Persons && page != DirectoryPage::Orgs)
        return;
    const bool persons = page == DirectoryPage::Persons;
    const QString answer = Dialogs::InputBox(owner, PhoneQuestionCaption.toString(),
                                             PhoneQuestionPrompt.toString(), {},
                                             persons ? HelpPersons : HelpOrgs);
    session.Present(persons ? search::PhoneSearchPersons(session.QTemp(), answer)
                            : search::PhoneSearchOrgs(session.QTemp(), answer));
}

void SpeedButton2Click(DirectorySession &session, QWidget *owner, QLineEdit &edit1)
{
    if (session.Page() != DirectoryPage::Persons)
        return;
    const QString answer = Dialogs::InputBox(owner, SurnameQuestionCaption.toString(),
                                             SurnameQuestionPrompt.toString(), {}, HelpSurname);
    // Edit1 keeps the last answer, upper-cased.
    edit1.setText(search::UpperCaseName(answer));
    session.Present(search::SurnameSearch(session.QTemp(), edit1.text()));
}

} // namespace phonebook
