#pragma once
// The page shown in place of a full list that has nothing to show. When a
// table was not found or could not be read: where the tables were looked
// for, each file and what became of it, and two ways forward (install an
// edition from an archive, read the help). When the tables hold no records:
// one line saying so.

#include <QFrame>
#include <QString>

#include <vector>

class QLabel;
class QPushButton;

namespace phonebook {

// One table file as the page names it; `problem` is empty when the file was read.
struct TableFileState {
    QString fileName;
    QString problem;
};

class TablesStatePage : public QFrame {
    Q_OBJECT

public:
    explicit TablesStatePage(QWidget *parent = nullptr);

    // The tables in `folder` could not all be read: each file in order, with
    // what is wrong with it.
    void ShowUnread(const QString &folder, const std::vector<TableFileState> &files);
    // The tables were read and hold no records.
    void ShowNoRecords();
    // Whether the page names unread tables (rather than saying there are no records).
    bool Unread() const { return m_unread; }
    // What the page says, as a screen reader reads it.
    QString Text() const;
    // The page's first button while it names unread tables; else the page itself.
    QWidget *FirstControl() const;

signals:
    // "Обновить из архива…" was pressed.
    void UpdateRequested();
    // "Справка" was pressed.
    void HelpRequested();

private:
    QLabel *m_title = nullptr;
    QLabel *m_details = nullptr;
    QPushButton *m_update = nullptr;
    QPushButton *m_help = nullptr;
    bool m_unread = false;
};

// The line shown for tables without records.
inline constexpr QStringView NoRecordsText = u"В справочнике нет записей";

} // namespace phonebook
