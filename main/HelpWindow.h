#pragma once
// The help window: the HTML help pages kept in the "help" folder beside the
// program, shown in a browser of our own. One window serves every topic.

#include <QWidget>

class QTextBrowser;

namespace phonebook {

// File name of the help page of context 1 to 6 or 9; the contents page otherwise.
QString HelpPageFile(int context);

class HelpWindow : public QWidget {
    Q_OBJECT

public:
    // `folder` holds index.html and the topic pages.
    explicit HelpWindow(const QString &folder, QWidget *parent = nullptr);

    void ShowContents();
    // Shows the topic of a help context; the contents for an unknown context.
    void ShowTopic(int context);
    // Page shown now (file name), empty before the first.
    QString CurrentPage() const;
    QTextBrowser *Browser() const { return m_browser; }
    // Shown beside `owner` (a modal window) rather than over the middle of the screen.
    void SetBeside(QWidget *owner) { m_beside = owner; }
    // Width the pages shown need: the widest of what cannot wrap (a word, a
    // table), or a readable column when that is more.
    int NeededWidth() const;
    // Puts the window wholly on the available area of its screen (the
    // owner's): its usual size, or as wide as its pages need, made smaller
    // only where the screen is; beside the owner when there is room, else
    // over it as far to the side as fits. Never narrower than the pages need
    // unless the screen itself is.
    void FitToScreen();

protected:
    void keyPressEvent(QKeyEvent *event) override;
    // Once the desktop has framed the window just shown, it is fitted again
    // with the frame it really has.
    bool event(QEvent *event) override;

private:
    void showPage(const QString &file);

    QString m_folder;
    QTextBrowser *m_browser = nullptr;
    QWidget *m_beside = nullptr;
    bool m_fitWhenFramed = false;
};

} // namespace phonebook
