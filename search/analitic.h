// The worker thread of the alphabetical word list ("analitic" list). Serves every word list of the
// SearchService, like Search, and is never given a new request while one runs.
#pragma once

#include "search/searchworker.h"

#include <QString>

class Analitic : public SearchWorker {
    Q_OBJECT
public:
    struct Request {
        QString word;
        QString from; // rows to skip
        QString to; // rows to return
        QString sku;
        QString sourceLanguage;
    };

    Analitic() = default;
    ~Analitic() override;

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
