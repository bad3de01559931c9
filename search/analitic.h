// The worker thread of the alphabetical word list ("analitic" list). Reused for every request,
// like Search, and never given a new request while it runs.
#pragma once

#include <QString>
#include <QThread>
#include <atomic>

class SearchState;

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

    explicit Analitic(SearchState* state);
    ~Analitic() override;

    void setRequest(const Request& request);
    const Request& request() const { return current; }
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
