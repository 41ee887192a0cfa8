#pragma once
// A street box: an edit with its list of streets always open below it.
// Typing brings the first street that begins with the text (in any letter
// case) into view, selects it and completes the edit with the rest of it,
// selected (Backspace takes the completion away); the arrow keys and Page Up/Down in the edit
// move through the list and put the street chosen into the edit, as does a
// click in the list. Both parts are read out as "Улица".

#include <QStringList>
#include <QWidget>

class QLabel;
class QLineEdit;
class QListView;
class QStringListModel;

namespace phonebook {

class StreetBox : public QWidget {
    Q_OBJECT

public:
    explicit StreetBox(QWidget *parent = nullptr);

    QString text() const;
    void setText(const QString &text);
    // Replaces the list; the edit keeps its text, and a text typed meanwhile
    // brings its street into view.
    void setStreets(const QStringList &streets);
    // While the list is being read: a note over the list, for the eye and
    // for a screen reader, and the list left as it was.
    void setLoading(bool loading);
    bool loading() const;
    QStringList streets() const;
    // Row of the list selected, or -1.
    int currentRow() const;

    QLineEdit *edit() const { return m_edit; }
    QListView *list() const { return m_list; }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    void onTextEdited(const QString &text);
    // Brings the first street that begins with `text` into view and selects
    // it; returns its row, or -1 when no street begins with the text.
    int follow(const QString &text);
    void choose(int row);

    QLineEdit *m_edit = nullptr;
    QListView *m_list = nullptr;
    QStringListModel *m_model = nullptr;
    QLabel *m_loadingNote = nullptr;
    bool m_erasing = false; // the key being handled erases text
};

} // namespace phonebook
