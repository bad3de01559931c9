// The worker thread of entry and full-text searches. One object serves every search of the
// bridge, one request at a time; it must not be given a new request while one runs (WorkerQueue
// sees to that).
#pragma once

#include "search/searchstate.h"
#include "search/searchworker.h"

#include <QString>
#include <atomic>

class Search : public SearchWorker {
    Q_OBJECT
public:
    struct Request {
        QString word;
        QString scope;
        QString type; // "0" or "1": headword search; anything else: full text
        QString sku;
        QString start;
        QString offset;
        QString sourceLanguage;
        QString callback; // answered with this search's results
    };

    Search() = default;
    ~Search() override;

    void setRequest(const Request& request);
    const Request& request() const { return current; }
    // The last run's searchResults, searchTotal and searchKind. The thread writes them while it
    // runs; the GUI thread reads them after onTerminated() and copies them into the main window's
    // results, so a run still going while the window closes never writes into the window.
    const SearchState& results() const { return state; }
    // Set by the last run when the dictionary's database exists but did not open; the GUI thread
    // warns the user.
    bool databaseOpenFailed() const { return openFailed; }

signals:
    void onTerminated();

protected:
    // Serves every request until the object is destroyed.
    void run() override;

private:
    // One request: fills the results; onTerminated() follows once the thread is free again.
    void serve();

    SearchState state;
    Request current;
    std::atomic<bool> openFailed { false };
};
