// The worker thread of the alphabetical word list ("analitic" list). Serves every request of the
// bridge, like Search, and is never given a new request while one runs.
#pragma once

#include "search/searchstate.h"
#include "search/searchworker.h"

#include <QString>
#include <atomic>

class Analitic : public SearchWorker {
    Q_OBJECT
public:
    struct Request {
        QString word;
        QString from; // rows to skip
        QString to; // rows to return
        QString sku;
        QString callback;
        QString sourceLanguage;
    };

    Analitic() = default;
    ~Analitic() override;

    void setRequest(const Request& request);
    const Request& request() const { return current; }
    // The last run's wordListResults and wordListTotal, read by the GUI thread after
    // onTerminated() (see Search::results()).
    const SearchState& results() const { return state; }
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
