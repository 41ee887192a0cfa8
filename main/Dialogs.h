#pragma once
// The program's standard dialogs: message box, one-line input box and
// file-open dialog, all titled and worded as the program wants them.
//
// Tests answer them in advance: while scripted answering is on, nothing modal
// is shown. Messages are recorded, input boxes and file dialogs take the next
// queued answer (empty, as a cancel gives, when none is queued).

#include <QMessageBox>
#include <QString>
#include <QStringList>

class QWidget;

namespace phonebook::Dialogs {

// A message box titled with the application title, with one OK button.
void ShowMessage(QWidget *parent, const QString &text, QMessageBox::Icon icon = QMessageBox::Information);
// Asks for one line of text; returns it, or an empty string when cancelled.
// F1 in the box shows the help topic `helpContext` (the contents for 0).
QString InputBox(QWidget *parent, const QString &caption, const QString &prompt,
                 const QString &defaultText = {}, int helpContext = 0);
// Asks for an existing file; returns its path, or an empty string when cancelled.
QString OpenFileName(QWidget *parent, const QString &caption, const QString &filter,
                     const QString &directory = {});
// Asks where to write a file (confirming an overwrite); adds `suffix` to a name
// typed without one. Returns the path, or an empty string when cancelled.
QString SaveFileName(QWidget *parent, const QString &caption, const QString &filter,
                     const QString &suggestedPath, const QString &suffix);
// Asks a question with "Да", "Нет" and "Отмена"; returns the button chosen
// (Cancel for a closed box).
QMessageBox::StandardButton AskYesNoCancel(QWidget *parent, const QString &text);

// Asks a question with "Да" and "Нет"; returns Yes or No (No for a closed box).
QMessageBox::StandardButton AskYesNo(QWidget *parent, const QString &text);

// --- the test seam ------------------------------------------------------------
void SetScripted(bool scripted);
bool Scripted();
void QueueInputAnswer(const QString &answer);
// Answers the next file dialog, open or save.
void QueueFileName(const QString &path);
// Answers the next question; Cancel when none is queued.
void QueueQuestionAnswer(QMessageBox::StandardButton answer);
// Texts of the messages "shown" since the last call, oldest first.
QStringList TakeShownMessages();
// Captions of the input boxes, and texts of the questions, asked since the last call, oldest first.
QStringList TakeAskedInputs();
// Help context of the last input box asked for.
int LastInputHelpContext();

} // namespace phonebook::Dialogs
