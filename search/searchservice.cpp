#include "search/searchservice.h"

#include <QSqlDatabase>
#include <algorithm>

namespace {
const int workingDelayMs = 250;

QString searchingText() { return QStringLiteral("Ricerca in corso..."); }
QString listingText() { return QStringLiteral("Recupero indici in corso..."); }
}

SearchService::SearchService(QObject* parent)
    : QObject(parent)
{
    qRegisterMetaType<SearchResults>();
    workingDelay.setSingleShot(true);
    workingDelay.setInterval(workingDelayMs);
    connect(&workingDelay, &QTimer::timeout, this, [this] {
        workingShown = true;
        emit working(workingMessage);
    });
}

SearchService::~SearchService() = default;

int SearchService::search(const SearchRequest& request)
{
    showWorking(searchingText());
    return submit(lane(searches, SearchWorker::Job::Search), request);
}

QList<int> SearchService::searchEach(const QList<SearchRequest>& requests)
{
    QList<int> ids;
    if (requests.isEmpty())
        return ids;
    showWorking(searchingText());
    while (eachLanes.size() < size_t(requests.size())) {
        eachLanes.emplace_back();
        lane(eachLanes.back(), SearchWorker::Job::Search);
    }
    for (int i = 0; i < requests.size(); ++i)
        ids << submit(*eachLanes[i], requests.at(i));
    return ids;
}

int SearchService::getWords(const SearchRequest& request)
{
    showWorking(listingText());
    return submit(lane(wordLists, SearchWorker::Job::WordList), request);
}

QList<Scope> SearchService::getScopes(const QString& sku)
{
    QList<Scope> scopes;
    QSqlDatabase connection = QSqlDatabase::database(QSqlDatabase::defaultConnection, false);
    if (connection.isValid() && readScopes(connection, sku, scopes) == DatabaseAccess::OpenFailed)
        emit databaseOpenFailed();
    return scopes;
}

SearchService::Lane& SearchService::lane(std::unique_ptr<Lane>& made, SearchWorker::Job job)
{
    if (!made) {
        made = std::make_unique<Lane>(job);
        Lane* created = made.get();
        connect(&created->worker, &SearchWorker::onTerminated, this, [this, created] { terminated(*created); });
    }
    return *made;
}

int SearchService::submit(Lane& lane, const SearchRequest& request)
{
    const int id = ++lastId;
    const int dropped = lane.queue.submit(&lane.worker, id, request);
    if (dropped != 0)
        emit requestDropped(dropped);
    return id;
}

void SearchService::terminated(Lane& lane)
{
    if (!lane.queue.isBusy())
        return;
    const int id = lane.worker.requestId();
    if (lane.worker.databaseOpenFailed())
        emit databaseOpenFailed();
    const SearchResults results = lane.worker.results();
    // The worker's results are read: the request waiting for it may start.
    const bool next = lane.queue.finish(&lane.worker);
    emit searchEnded(id, results);
    if (!anyBusy())
        hideWorking();
    if (next)
        showWorking(lane.worker.job() == SearchWorker::Job::WordList ? listingText() : searchingText());
}

bool SearchService::anyBusy() const
{
    const auto busy = [](const std::unique_ptr<Lane>& lane) { return lane && lane->queue.isBusy(); };
    return busy(searches) || busy(wordLists) || std::any_of(eachLanes.cbegin(), eachLanes.cend(), busy);
}

void SearchService::showWorking(const QString& message)
{
    workingMessage = message;
    if (workingShown)
        emit working(workingMessage);
    else if (!workingDelay.isActive())
        workingDelay.start();
}

void SearchService::hideWorking()
{
    workingDelay.stop();
    if (!workingShown)
        return;
    workingShown = false;
    emit workingEnded();
}
