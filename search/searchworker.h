// The thread under Search and Analitic. One thread serves every request of its kind: it is
// started by the first request and then sleeps between requests, so a search does not pay for
// creating a thread and is scheduled at once when it is woken. It also holds what both kinds
// share: the last run's results, its database failure and the signal that answers a run.
#pragma once

#include "search/searchstate.h"

#include <QMutex>
#include <QThread>
#include <QWaitCondition>
#include <atomic>
#include <functional>

class SearchWorker : public QThread {
    Q_OBJECT
public:
    // Runs the request set last: starts the thread the first time, wakes it afterwards.
    void runRequest();
    // Blocks until the last request's run has ended and the thread waits for the next one.
    void waitUntilIdle();

    // The last run's results (Search: searchResults, searchTotal and searchKind; Analitic:
    // wordListResults and wordListTotal). The thread writes them while it runs; the GUI thread
    // reads them after onTerminated() and copies them into the SearchService's results, so a run
    // still going while the service goes never writes into it.
    const SearchState& results() const { return state; }
    // Set by the last run when the dictionary's database exists but did not open; the GUI thread
    // warns the user.
    bool databaseOpenFailed() const { return openFailed; }
    // The SearchService's number of the request set last.
    int requestId() const { return currentId; }

signals:
    void onTerminated();

protected:
    // The thread's body: calls `serve` once for every runRequest() until stopAndWait(), then
    // `answered` once the thread counts as idle again, so the GUI thread's waitUntilIdle() after
    // the answer returns at once instead of waiting for the worker to be woken a second time.
    void serveRequests(const std::function<void()>& serve, const std::function<void()>& answered);
    // Ends the thread. The derived class's destructor calls it, before its own members go.
    void stopAndWait();

    SearchState state;
    std::atomic<bool> openFailed { false };
    int currentId = 0;

private:
    QMutex mutex;
    QWaitCondition changed;
    bool pending = false;
    bool serving = false;
    bool stopping = false;
    bool started = false;
};
