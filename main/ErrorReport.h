#pragma once
// Errors of the directory reach the user here: a handler runs its body through
// ReportErrors, which shows a DatabaseError in a message box and abandons the
// rest of the body, as a desktop program's default error handler does.

#include "DatabaseError.h"

#include <exception>
#include <utility>

class QWidget;

namespace phonebook {

// Shows the error's text (message and the file or statement it concerns).
void ShowError(QWidget *parent, const DatabaseError &error);
void ShowError(QWidget *parent, const std::exception &error);

// Runs body(); returns false when it failed and the failure was shown.
template <typename Body>
bool ReportErrors(QWidget *parent, Body &&body)
{
    try {
        std::forward<Body>(body)();
        return true;
    } catch (const DatabaseError &error) {
        ShowError(parent, error);
    } catch (const std::exception &error) {
        ShowError(parent, error);
    }
    return false;
}

} // namespace phonebook
