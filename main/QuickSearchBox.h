#pragma once
// The quick-search box at the right end of the tool bar. The list of the side
// that is shown follows the text as it is typed: each change starts a search
// on a worker thread and cancels the one still running; the result is shown
// in SGTemp (individuals layout, or the department-search layout on the
// organisations side). Emptying the box, or Esc in it, gives the side's full
// list back. When a search finds its table replaced by a new edition, SGTemp
// shows an empty list under the busy cursor while the index is built again,
// then the new edition's rows.

#include "QuickSearch.h"

#include <QLineEdit>

#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>

namespace phonebook {

class TFrmMain;

class QuickSearchBox : public QLineEdit {
    Q_OBJECT

public:
    // Width of the box on the tool bar, in pixels.
    static constexpr int BoxWidth = 280;

    QuickSearchBox(TFrmMain &main, QWidget *toolBar);
    // Stops the worker; a search still running is abandoned.
    ~QuickSearchBox() override;

    // The other side is shown: the box empties, and no result of the old text appears.
    void SideChanged();
    // The tables were read again: the indexes and results are forgotten, a
    // build of them still running stops, and the text in the box (if any) is
    // searched again.
    void TablesReloaded();
    // Builds both sides' indexes on the worker now, before the first keystroke
    // (which would otherwise build its side's index itself).
    void Prepare();

    // Searches started and not yet shown or dropped.
    bool Searching() const { return m_waitingFor != 0; }
    // Searches the worker gave up because a newer text arrived.
    int CancelledCount() const { return m_cancelled.load(); }
    // Whether the worker has nothing to do: whatever it had to tell the
    // window is already posted to it.
    bool WorkerIdle() const;

signals:
    // A result is in SGTemp (count rows), or the full list is back (count -1).
    void ResultShown(int count);
    // The side's table changed: SGTemp is empty until the rebuilt index answers.
    void IndexRebuilding();

protected:
    void keyPressEvent(QKeyEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    struct Request {
        int generation = 0;
        search::QuickSide side = search::QuickSide::Persons;
        QString text;
        bool prepareOnly = false;
    };

    void onTextChanged(const QString &text);
    void submit(Request request);
    void workerLoop();
    void present(int generation, const search::QuickResult &result);
    void showRebuilding(int generation, search::QuickSide side);
    void showError(int generation, const QString &message);
    void restoreFullList();
    search::QuickSide currentSide() const;
    void placeOnToolBar();
    void setBusy(bool busy);

    TFrmMain &m_main;
    QWidget *m_toolBar;
    // The rows last shown in SGTemp, to know whether it still shows them.
    std::shared_ptr<const RowSource> m_shown;
    bool m_showing = false;
    int m_waitingFor = 0; // generation of the search whose result is awaited

    std::atomic<int> m_generation{0};
    std::atomic<int> m_cancelled{0};
    mutable std::mutex m_mutex;
    std::condition_variable m_wake;
    std::optional<Request> m_request;   // the newest request not yet taken
    bool m_prepare = false;             // build the indexes when idle
    bool m_reset = false;               // forget indexes before the next request
    bool m_stop = false;
    bool m_working = false;             // the worker is handling what it took
    std::unique_ptr<search::QuickSearcher> m_searcher; // used on the worker only
    std::thread m_worker;
};

} // namespace phonebook
