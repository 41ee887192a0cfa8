#include "SearchButtons.h"

#include "AppInfo.h"
#include "Dialogs.h"
#include "Searches.h"
#include "SearchText.h"
#include "UMain.h"

#include <QLineEdit>

namespace phonebook {

void SpeedButton1Click(TFrmMain &main)
{
    const int tab = main.TabIndex();
    if (tab != PersonsTab && tab != OrgsTab)
        return;
    const QString answer = Dialogs::InputBox(&main, search::PhoneQuestionCaption.toString(),
                                             search::PhoneQuestionPrompt.toString(), {},
                                             tab == PersonsTab ? search::HelpPhonePersons : search::HelpOrgNumbers);
    main.PresentSearch(tab == PersonsTab ? search::PhoneSearchPersons(main.QTemp(), answer)
                                         : search::PhoneSearchOrgs(main.QTemp(), answer));
}

void SpeedButton2Click(TFrmMain &main)
{
    if (main.TabIndex() != PersonsTab)
        return;
    const QString answer = Dialogs::InputBox(&main, search::SurnameQuestionCaption.toString(),
                                             search::SurnameQuestionPrompt.toString(), {}, search::HelpSurname);
    // Edit1 keeps the last answer, upper-cased.
    main.Edit1().setText(search::UpperCaseName(answer));
    main.PresentSearch(search::SurnameSearch(main.QTemp(), main.Edit1().text()));
}

} // namespace phonebook
