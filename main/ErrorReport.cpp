#include "ErrorReport.h"

#include "Dialogs.h"

#include <QString>

namespace phonebook {

namespace {

QString WithPreface(const QString &what, const QString &text)
{
    return what.isEmpty() ? text : what + QStringLiteral("\n\n") + text;
}

} // namespace

void ShowError(QWidget *parent, const DatabaseError &error, const QString &what)
{
    Dialogs::ShowMessage(parent, WithPreface(what, error.fullText()), QMessageBox::Critical);
}

void ShowError(QWidget *parent, const std::exception &error, const QString &what)
{
    Dialogs::ShowMessage(parent, WithPreface(what, QString::fromLocal8Bit(error.what())), QMessageBox::Critical);
}

} // namespace phonebook
