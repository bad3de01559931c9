// The searches and word lists the page asks for. Owns both worker threads (created by their first
// request and reused) and the queues that hold a request arriving while its worker is busy. Lives
// on the GUI thread; every request gets a number, and a finished request comes back with it and
// its results, which the layer above turns into the page's answer.
#pragma once

#include "search/scopelist.h"
#include "search/searchrequest.h"
#include "search/searchresults.h"
#include "search/workerqueue.h"

#include <QList>
#include <QObject>
#include <QString>
#include <QTimer>
#include <memory>
#include <vector>

class SearchService : public QObject {
    Q_OBJECT
public:
    explicit SearchService(QObject* parent = nullptr);
    // A worker still running is waited for: it writes only into its own results.
    ~SearchService() override;

    // Start the request at once when its worker is free; else it waits for the running one and
    // replaces an older waiting request of its kind. Returns the request's number.
    int search(const SearchRequest& request);
    // Every dictionary of `requests` at once, each on a worker of its own kept for the next
    // search of every dictionary: each request ends on its own, in whatever order they end. A
    // request waits for the running one of its place in the list and replaces an older one
    // waiting there. Returns the requests' numbers, in the order of `requests`.
    QList<int> searchEach(const QList<SearchRequest>& requests);
    // The alphabetical word list of the headwords beginning with the request's word: `start` and
    // `offset` are the rows to skip and to list; scope and type are not read.
    int getWords(const SearchRequest& request);
    // The subject scopes of dictionary `sku`, read at once through the program's default SQL
    // connection (none: the list is empty).
    QList<Scope> getScopes(const QString& sku);

signals:
    // Request `requestId` has ended with `results`.
    void searchEnded(int requestId, const SearchResults& results);
    // Request `requestId` was replaced by a newer one while it waited: it never runs.
    void requestDropped(int requestId);
    // The dictionary's database exists but did not open; comes before that request's end.
    void databaseOpenFailed();
    // A request has waited longer than the working delay, or another starts while one shows:
    // the busy state with its message. workingEnded() follows once a request has ended.
    void working(const QString& message);
    void workingEnded();

private:
    // A worker and the queue of its requests.
    struct Lane {
        explicit Lane(SearchWorker::Job job)
            : worker(job)
        {
        }
        SearchWorker worker;
        WorkerQueue queue;
    };

    // The lane of `job` (the word lists', the page's searches'), made by its first request.
    Lane& lane(std::unique_ptr<Lane>& made, SearchWorker::Job job);
    int submit(Lane& lane, const SearchRequest& request);
    // A request has ended on `lane`: its results go up, the busy state ends once no request runs
    // or waits, and the request waiting there starts.
    void terminated(Lane& lane);
    bool anyBusy() const;
    // Most requests answer within a few milliseconds, and painting the busy state for them would
    // cost more than the search: it shows only for a request still unanswered after the delay.
    void showWorking(const QString& message);
    void hideWorking();

    // A request that arrives while its worker is busy waits for it, so the running request's
    // parameters never change and each end goes to the request that asked for it.
    std::unique_ptr<Lane> searches;
    std::unique_ptr<Lane> wordLists;
    std::vector<std::unique_ptr<Lane>> eachLanes;
    int lastId = 0;
    QTimer workingDelay;
    QString workingMessage;
    bool workingShown = false;
};
