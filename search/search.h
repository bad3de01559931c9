// The worker thread of entry and full-text searches. One object serves every search of the
// bridge: it is started again for each request and must not be given a new request while it runs
// (WorkerQueue sees to that).
#pragma once

#include <QString>
#include <QThread>
#include <atomic>

class SearchState;

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

    // `state` receives the results; it is owned by the main window and outlives the thread.
    explicit Search(SearchState* state);
    ~Search() override;

    void setRequest(const Request& request);
    const Request& request() const { return current; }
    // Set by the last run when the dictionary's database exists but did not open; the GUI thread
    // warns the user.
    bool databaseOpenFailed() const { return openFailed; }

signals:
    void onTerminated();

protected:
    void run() override;

private:
    SearchState* state;
    Request current;
    std::atomic<bool> openFailed{false};
};
