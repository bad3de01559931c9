// The searches and word lists the page asks for. Owns both worker threads (created by their first
// request and reused), the queues that hold a request arriving while its worker is busy, and the
// results last delivered. Lives on the GUI thread; a finished request comes back as the
// statement that answers the page, which the GUI layer runs.
#pragma once

#include "search/analitic.h"
#include "search/search.h"
#include "search/searchstate.h"
#include "search/workerqueue.h"

#include <QObject>
#include <QScopedPointer>
#include <QString>
#include <QTimer>
#include <memory>
#include <vector>

class SearchService : public QObject {
    Q_OBJECT
public:
    explicit SearchService(QObject* parent = nullptr);
    // A worker still running is waited for: it writes only into its own results.
    ~SearchService() override;

    // Start the request at once when its worker is free; else it waits for the running one and
    // replaces an older waiting request of its kind.
    void search(const Search::Request& request);
    // Every dictionary of `requests` at once, each on a worker of its own kept for the next
    // search of every dictionary: each request answers its own callback as it ends, in whatever
    // order they end. A request waits for the running one of its place in the list and replaces
    // an older one waiting there.
    void searchEach(const QList<Search::Request>& requests);
    void getWords(const Analitic::Request& request);
    // Answers `callback` with the subject scopes of dictionary `sku`, read at once through the
    // program's default SQL connection (none: the list is empty).
    void getScopes(const QString& sku, const QString& callback);

    // The last search's and word list's results, copied from the workers as they answer.
    const SearchState& lastResults() const { return results; }
    // The callbacks of the last search and word list asked for.
    const QString& searchCallback() const { return lastSearchCallback; }
    const QString& wordsCallback() const { return lastWordsCallback; }

signals:
    // A request has ended: `statement` answers its callback in the page.
    void pageStatement(const QString& statement);
    // The dictionary's database exists but did not open; comes before that request's answer.
    void databaseOpenFailed();
    // A request has waited longer than the working delay, or another starts while one shows:
    // the busy state with its message. workingEnded() follows once a request is answered.
    void working(const QString& message);
    void workingEnded();

private:
    struct EachWorker {
        Search thread;
        WorkerQueue<Search> queue;
    };

    // A search has ended on `worker`: the page hears its results (kept as the last ones when
    // `keep`) and the request waiting there starts.
    void searchTerminated(Search* worker, WorkerQueue<Search>& queue, bool keep);
    void wordsTerminated();
    // Answers the page with a finished request's statement and ends the busy state once no
    // request runs or waits.
    void answer(const QString& statement, const char* label);
    bool anyBusy() const;
    // Most requests answer within a few milliseconds, and painting the busy state for them would
    // cost more than the search: it shows only for a request still unanswered after the delay.
    void showWorking(const QString& message);
    void hideWorking();

    QScopedPointer<Search> searchThread;
    QScopedPointer<Analitic> wordsThread;
    // A request that arrives while the worker is busy waits for it, so the running request's
    // parameters never change and each answer goes to the callback that asked for it.
    WorkerQueue<Search> searchQueue;
    WorkerQueue<Analitic> wordsQueue;
    std::vector<std::unique_ptr<EachWorker>> eachWorkers;
    QString lastSearchCallback;
    QString lastWordsCallback;
    SearchState results;
    QTimer workingDelay;
    QString workingMessage;
    bool workingShown = false;
};
