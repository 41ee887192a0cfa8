#include "Dialogs.h"

#include "AppInfo.h"
#include "WindowHelpers.h"

#include <QFileDialog>
#include <QInputDialog>
#include <QQueue>

#include <utility>

namespace phonebook::Dialogs {

namespace {

struct Script {
    bool on = false;
    QQueue<QString> inputs;
    QQueue<QString> files;
    QQueue<QMessageBox::StandardButton> questions;
    QStringList messages;
    QStringList asked;
    int lastHelpContext = 0;
};

Script &script()
{
    static Script instance;
    return instance;
}

// A box over a window not shown yet (start-up's messages, under the
// splash) stands in the middle of the screen: Qt would put it over the
// hidden window's default place, at the screen's corner.
void PlaceOverHiddenParent(QDialog &box, const QWidget *parent)
{
    if (!parent || parent->window()->isVisible())
        return;
    box.adjustSize();
    CenterForm(box);
}

} // namespace

void ShowMessage(QWidget *parent, const QString &text, QMessageBox::Icon icon)
{
    if (script().on) {
        script().messages.append(text);
        return;
    }
    QMessageBox box(icon, ApplicationTitle.toString(), text, QMessageBox::Ok, parent);
    PlaceOverHiddenParent(box, parent);
    box.exec();
}

QString InputBox(QWidget *parent, const QString &caption, const QString &prompt, const QString &defaultText,
                 int helpContext)
{
    script().lastHelpContext = helpContext;
    if (script().on) {
        script().asked.append(caption);
        return script().inputs.isEmpty() ? QString() : script().inputs.dequeue();
    }
    QInputDialog box(parent);
    box.setObjectName(QStringLiteral("InputBox"));
    box.setWindowTitle(caption);
    box.setLabelText(prompt);
    box.setTextValue(defaultText);
    SetHelpContext(&box, helpContext);
    return box.exec() == QDialog::Accepted ? box.textValue() : QString();
}

QString OpenFileName(QWidget *parent, const QString &caption, const QString &filter, const QString &directory)
{
    if (script().on)
        return script().files.isEmpty() ? QString() : script().files.dequeue();
    return QFileDialog::getOpenFileName(parent, caption, directory, filter);
}

QString SaveFileName(QWidget *parent, const QString &caption, const QString &filter, const QString &suggestedPath,
                     const QString &suffix)
{
    if (script().on)
        return script().files.isEmpty() ? QString() : script().files.dequeue();
    QFileDialog dialog(parent, caption, suggestedPath, filter);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setDefaultSuffix(suffix);
    dialog.selectFile(suggestedPath);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    return dialog.selectedFiles().constFirst();
}

QMessageBox::StandardButton AskYesNo(QWidget *parent, const QString &text)
{
    if (script().on) {
        script().asked.append(text);
        const auto answer = script().questions.isEmpty() ? QMessageBox::No : script().questions.dequeue();
        return answer == QMessageBox::Yes ? QMessageBox::Yes : QMessageBox::No;
    }
    QMessageBox box(QMessageBox::Question, ApplicationTitle.toString(), text, QMessageBox::Yes | QMessageBox::No, parent);
    PlaceOverHiddenParent(box, parent);
    box.setDefaultButton(QMessageBox::Yes);
    box.setEscapeButton(QMessageBox::No);
    return box.exec() == QMessageBox::Yes ? QMessageBox::Yes : QMessageBox::No;
}

QMessageBox::StandardButton AskYesNoCancel(QWidget *parent, const QString &text)
{
    if (script().on) {
        script().asked.append(text);
        return script().questions.isEmpty() ? QMessageBox::Cancel : script().questions.dequeue();
    }
    QMessageBox box(QMessageBox::Question, ApplicationTitle.toString(), text,
                    QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel, parent);
    box.setDefaultButton(QMessageBox::Yes);
    box.setEscapeButton(QMessageBox::Cancel);
    const int answer = box.exec();
    return answer == QMessageBox::Yes || answer == QMessageBox::No ? static_cast<QMessageBox::StandardButton>(answer)
                                                                    : QMessageBox::Cancel;
}

void SetScripted(bool scripted)
{
    script() = Script{};
    script().on = scripted;
}

bool Scripted()
{
    return script().on;
}

void QueueInputAnswer(const QString &answer)
{
    script().inputs.enqueue(answer);
}

void QueueFileName(const QString &path)
{
    script().files.enqueue(path);
}

void QueueQuestionAnswer(QMessageBox::StandardButton answer)
{
    script().questions.enqueue(answer);
}

QStringList TakeShownMessages()
{
    return std::exchange(script().messages, {});
}

int LastInputHelpContext()
{
    return script().lastHelpContext;
}

QStringList TakeAskedInputs()
{
    return std::exchange(script().asked, {});
}

} // namespace phonebook::Dialogs
