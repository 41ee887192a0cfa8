#include "QuickSession.h"

#include "BackgroundBuild.h"
#include "DatabaseError.h"

namespace phonebook::search {

QuickSession::QuickSession(const QString &directory, QObject *parent)
    : QObject(parent)
    , m_searcher(std::make_unique<QuickSearcher>(directory))
{
}

QuickSession::~QuickSession()
{
    ++m_generation; // a search still running gives up
    StopBuilds(this);
}

template <typename Work>
void QuickSession::run(Work work)
{
    ++m_running;
    StartBuild(
        this,
        [this, work = std::move(work)](const StopCheck &stop) {
            {
                const std::lock_guard lock(m_searcherMutex);
                if (m_reset.exchange(false))
                    m_searcher->Reset();
                if (!stop())
                    work(*m_searcher, stop);
            }
            --m_running; // after whatever the work posted
            return 0;
        },
        [](BuildWatcher<int> *watcher) { watcher->deleteLater(); });
}

int QuickSession::Search(QuickSide side, const QString &text)
{
    m_searchedSide = static_cast<int>(side); // before the count, which a build in progress watches
    ++m_searches;
    const int generation = ++m_generation;
    run([this, side, text, generation](QuickSearcher &searcher, const StopCheck &stop) {
        auto cancelled = [this, generation, &stop] { return stop() || m_generation.load() != generation; };
        auto rebuilding = [this, generation, side] {
            QMetaObject::invokeMethod(this, [this, generation, side] { emit Rebuilding(generation, side); },
                                      Qt::QueuedConnection);
        };
        try {
            std::optional<QuickResult> result = searcher.Search(side, text, cancelled, rebuilding);
            if (!result)
                return; // a newer text took over
            QMetaObject::invokeMethod(this, [this, generation, r = std::move(*result)] { emit Found(generation, r); },
                                      Qt::QueuedConnection);
        } catch (const DatabaseError &error) {
            QMetaObject::invokeMethod(this, [this, generation, message = error.message()] { emit Failed(generation, message); },
                                      Qt::QueuedConnection);
        } catch (const std::exception &error) {
            QMetaObject::invokeMethod(
                this, [this, generation, message = QString::fromLocal8Bit(error.what())] { emit Failed(generation, message); },
                Qt::QueuedConnection);
        }
    });
    return generation;
}

void QuickSession::Cancel()
{
    ++m_generation;
}

void QuickSession::Prepare()
{
    const int searches = m_searches.load();
    run([this, searches](QuickSearcher &searcher, const StopCheck &stop) {
        const auto typed = [this, searches] { return m_searches.load() != searches; };
        try {
            for (const QuickSide side : {QuickSide::Persons, QuickSide::Orgs}) {
                // A keystroke takes over, except from the index its search
                // needs: that one is finished rather than begun again.
                const bool wanted = m_searchedSide.load() == static_cast<int>(side);
                auto interrupted = [&] {
                    return stop() || m_reset.load() || (typed() && m_searchedSide.load() != static_cast<int>(side));
                };
                if ((typed() && !wanted) || !searcher.Index(side, interrupted) || typed())
                    break;
            }
        } catch (const std::exception &error) {
            // A missing table is reported when a search asks for it.
            qWarning("Quick search: the indexes were not built ahead: %s", error.what());
        }
    });
}

void QuickSession::Reset()
{
    m_reset = true;
    ++m_generation;
}

} // namespace phonebook::search
