#pragma once
// The quick-search box at the right end of the tool bar. The list of the side
// that is shown follows the text as it is typed: each change starts a search
// in the quick-search session (search/core), which cancels the one still
// running; the box only shows what the session reports. The result is shown
// in SGTemp (individuals layout, or the department-search layout on the
// organisations side). Emptying the box, or Esc in it, gives the side's full
// list back. When a search finds its table replaced by a new edition, SGTemp
// shows an empty list under the busy cursor while the index is built again,
// then the new edition's rows. When the rows are those of the text on the
// Russian layout or of words one slip away, a note in the status bar (beside
// the count, and the count panel's accessible description) says so.

#include "QuickSession.h"

#include <QLineEdit>

class QLabel;

#include <memory>

namespace phonebook {

class TFrmMain;

class QuickSearchBox : public QLineEdit {
    Q_OBJECT

public:
    // Width of the box on the tool bar, in design pixels (DesignPixels).
    static constexpr int BoxWidth = 280;

    QuickSearchBox(TFrmMain &main, QWidget *toolBar);
    // A search still running is abandoned.
    ~QuickSearchBox() override;

    // Builds both sides' indexes on the worker now, before the first keystroke
    // (which would otherwise build its side's index itself).
    void Prepare();

    // Searches started and not yet shown or dropped.
    bool Searching() const { return m_waitingFor != 0; }
    // Another search's result is shown: the status bar counts its rows and
    // says what was searched (`note`, when not empty), as for the box's own.
    void ShowFound(int count, const QString &note);
    // The box's tip: its name and key.
    static QString Tip();
    // What the status bar says of the result shown besides its count.
    QString Note() const;
    // Whether the session has nothing running: whatever it had to tell the
    // window is already posted to it.
    bool WorkerIdle() const { return m_session.Idle(); }

signals:
    // A result is in SGTemp (count rows), or the full list is back (count -1).
    void ResultShown(int count);
    // The side's table changed: SGTemp is empty until the rebuilt index answers.
    void IndexRebuilding();

protected:
    void keyPressEvent(QKeyEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    // The other side is shown: the box empties, and no result of the old text appears.
    void SideChanged();
    // The tables were read again: the indexes and results are forgotten, a
    // build of them still running stops, and the text in the box (if any) is
    // searched again.
    void TablesReloaded();
    void onTextChanged(const QString &text);
    void present(int generation, const search::QuickResult &result);
    void showRebuilding(int generation, search::QuickSide side);
    void showError(int generation, const QString &message);
    void restoreFullList();
    search::QuickSide currentSide() const;
    void placeOnToolBar();
    void setBusy(bool busy);
    void setNote(const QString &note);

    TFrmMain &m_main;
    QWidget *m_toolBar;
    search::QuickSession m_session;
    QLabel *m_note; // in the status bar
    bool m_noteAdded = false;
    // The rows last shown in SGTemp, to know whether it still shows them.
    std::shared_ptr<const RowSource> m_shown;
    bool m_showing = false;
    int m_waitingFor = 0; // generation of the search whose result is awaited
};

} // namespace phonebook
