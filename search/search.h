// The worker thread of entry and full-text searches. One object serves every search of the
// SearchService, one request at a time; it must not be given a new request while one runs (WorkerQueue
// sees to that).
#pragma once

#include "search/searchworker.h"

#include <QString>

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
    };

    Search() = default;
    ~Search() override;

    void setRequest(int id, const Request& request);
    const Request& request() const { return current; }

protected:
    // Serves every request until the object is destroyed.
    void run() override;

private:
    // One request: fills the results; onTerminated() follows once the thread is free again.
    void serve();

    Request current;
};
