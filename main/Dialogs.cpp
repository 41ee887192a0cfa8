#include "Dialogs.h"

#include "AppInfo.h"

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
    QStringList messages;
    QStringList asked;
};

Script &script()
{
    static Script instance;
    return instance;
}

} // namespace

void ShowMessage(QWidget *parent, const QString &text, QMessageBox::Icon icon)
{
    if (script().on) {
        script().messages.append(text);
        return;
    }
    QMessageBox box(icon, ApplicationTitle.toString(), text, QMessageBox::Ok, parent);
    box.exec();
}

QString InputBox(QWidget *parent, const QString &caption, const QString &prompt, const QString &defaultText)
{
    if (script().on) {
        script().asked.append(caption);
        return script().inputs.isEmpty() ? QString() : script().inputs.dequeue();
    }
    bool ok = false;
    const QString answer = QInputDialog::getText(parent, caption, prompt, QLineEdit::Normal, defaultText, &ok);
    return ok ? answer : QString();
}

QString OpenFileName(QWidget *parent, const QString &caption, const QString &filter, const QString &directory)
{
    if (script().on)
        return script().files.isEmpty() ? QString() : script().files.dequeue();
    return QFileDialog::getOpenFileName(parent, caption, directory, filter);
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

QStringList TakeShownMessages()
{
    return std::exchange(script().messages, {});
}

QStringList TakeAskedInputs()
{
    return std::exchange(script().asked, {});
}

} // namespace phonebook::Dialogs
