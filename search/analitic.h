// The worker thread of the alphabetical word list ("analitic" list). Reused for every request,
// like Search, and never given a new request while it runs.
#pragma once

#include "search/searchstate.h"

#include <QString>
#include <QThread>
#include <atomic>

class Analitic : public QThread
{
    Q_OBJECT
public:
    struct Request
    {
        QString word;
        QString from; // rows to skip
        QString to;   // rows to return
        QString sku;
        QString callback;
        QString sourceLanguage;
    };

    Analitic() = default;
    ~Analitic() override;

    void setRequest(const Request& request);
    const Request& request() const { return current; }
    // The last run's wordListResults and wordListTotal. The thread writes them while it runs; the
    // GUI thread reads them after onTerminated() and copies them into the main window's results,
    // so a run still going while the window closes never writes into the window.
    const SearchState& results() const { return state; }
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
