// A worker thread of the SearchService, running one job: the page's searches or its word lists.
// One thread serves every request of its worker: it is started by the first request and then
// sleeps between requests, so a search does not pay for creating a thread and is scheduled at
// once when it is woken. It must not be given a new request while one runs (WorkerQueue sees to
// that).
#pragma once

#include "search/searchrequest.h"
#include "search/searchresults.h"

#include <QMutex>
#include <QThread>
#include <QWaitCondition>
#include <atomic>

class SearchWorker : public QThread {
    Q_OBJECT
public:
    // What the worker runs for each request.
    enum class Job {
        Search, // an entry search for type "0" or "1", else a full-text one
        WordList, // the alphabetical word list (start and offset: the rows to skip and to list)
    };

    explicit SearchWorker(Job job);
    // Ends the thread, waiting for a run still going.
    ~SearchWorker() override;

    // The request the next runRequest() runs, and the SearchService's number for it.
    void setRequest(int id, const SearchRequest& request);
    int requestId() const { return currentId; }
    Job job() const { return runs; }
    // Runs the request set last: starts the thread the first time, wakes it afterwards.
    void runRequest();
    // Blocks until the last request's run has ended and the thread waits for the next one.
    void waitUntilIdle();

    // The last run's results. The thread writes them while it runs; the GUI thread reads them
    // after onTerminated(), before the next request starts.
    const SearchResults& results() const { return found; }
    // Set by the last run when the dictionary's database exists but did not open; the GUI thread
    // warns the user.
    bool databaseOpenFailed() const { return openFailed; }

signals:
    void onTerminated();

protected:
    // Serves every request until the object is destroyed; onTerminated() follows each once the
    // thread counts as idle again, so the GUI thread's waitUntilIdle() after the answer returns at
    // once instead of waiting for the worker to be woken a second time.
    void run() override;

private:
    // One request: fills the results.
    void serve();

    const Job runs;
    SearchRequest current;
    int currentId = 0;
    SearchResults found;
    std::atomic<bool> openFailed { false };
    QMutex mutex;
    QWaitCondition changed;
    bool pending = false;
    bool serving = false;
    bool stopping = false;
    bool started = false;
};
