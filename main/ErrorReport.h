#pragma once
// Errors of the directory reach the user here: a handler runs its body through
// ReportErrors, which shows a DatabaseError in a message box and abandons the
// rest of the body, as a desktop program's default error handler does.

#include "DatabaseError.h"

#include <QString>

#include <exception>
#include <utility>

class QWidget;

namespace phonebook {

// Shows the error's text (message and the file or statement it concerns),
// after `what` (what the program was doing) when that is given.
void ShowError(QWidget *parent, const DatabaseError &error, const QString &what = {});
void ShowError(QWidget *parent, const std::exception &error, const QString &what = {});

// Runs body(); returns false when it failed and the failure was shown.
template <typename Body>
bool ReportErrors(QWidget *parent, Body &&body, const QString &what = {})
{
    try {
        std::forward<Body>(body)();
        return true;
    } catch (const DatabaseError &error) {
        ShowError(parent, error, what);
    } catch (const std::exception &error) {
        ShowError(parent, error, what);
    }
    return false;
}

} // namespace phonebook
