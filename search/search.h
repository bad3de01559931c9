// The worker thread of entry and full-text searches. One object serves every search of the
// bridge: it is started again for each request and must not be given a new request while it runs
// (WorkerQueue sees to that).
#pragma once

#include "search/searchstate.h"

#include <QString>
#include <QThread>
#include <atomic>

class Search : public QThread
{
    Q_OBJECT
public:
    struct Request
    {
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
    // The last run's searchResults, searchTotal and searchKind. The thread writes them while it runs; the
    // GUI thread reads them after onTerminated() and copies them into the main window's results,
    // so a run still going while the window closes never writes into the window.
    const SearchState& results() const { return state; }
    // Set by the last run when the dictionary's database exists but did not open; the GUI thread
    // warns the user.
    bool databaseOpenFailed() const { return openFailed; }

signals:
    void onTerminated();

protected:
    void run() override;

private:
    SearchState state;
    Request current;
    std::atomic<bool> openFailed{false};
};
