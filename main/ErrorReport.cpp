#include "ErrorReport.h"

#include "Dialogs.h"

#include <QString>

namespace phonebook {

void ShowError(QWidget *parent, const DatabaseError &error)
{
    Dialogs::ShowMessage(parent, error.fullText(), QMessageBox::Critical);
}

void ShowError(QWidget *parent, const std::exception &error)
{
    Dialogs::ShowMessage(parent, QString::fromLocal8Bit(error.what()), QMessageBox::Critical);
}

} // namespace phonebook
