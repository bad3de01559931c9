#include "search/searchservice.h"

#include <QSqlDatabase>
#include <algorithm>

namespace {
const int workingDelayMs = 250;

QString searchingText() { return QStringLiteral("Ricerca in corso..."); }
QString listingText() { return QStringLiteral("Recupero indici in corso..."); }

// The results of a worker's last run, as the request's end carries them.
SearchResults searchResultsOf(const SearchState& state)
{
    const SearchResults::Kind kind = state.searchKind == QLatin1String("lemmatizzatore") ? SearchResults::Kind::Entry
                                                                                          : SearchResults::Kind::FullText;
    return SearchResults { kind, state.searchResults, state.searchTotal };
}

SearchResults wordListOf(const SearchState& state)
{
    return SearchResults { SearchResults::Kind::WordList, state.wordListResults, state.wordListTotal };
}
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

int SearchService::search(const Search::Request& request)
{
    showWorking(searchingText());
    if (!searchThread) {
        searchThread.reset(new Search);
        connect(searchThread.data(), &Search::onTerminated, this,
            [this] { searchTerminated(searchThread.data(), searchQueue); });
    }
    const int id = nextId();
    dropped(searchQueue.submit(searchThread.data(), id, request));
    return id;
}

QList<int> SearchService::searchEach(const QList<Search::Request>& requests)
{
    QList<int> ids;
    if (requests.isEmpty())
        return ids;
    showWorking(searchingText());
    while (eachWorkers.size() < size_t(requests.size())) {
        eachWorkers.push_back(std::make_unique<EachWorker>());
        EachWorker* worker = eachWorkers.back().get();
        connect(&worker->thread, &Search::onTerminated, this,
            [this, worker] { searchTerminated(&worker->thread, worker->queue); });
    }
    for (int i = 0; i < requests.size(); ++i) {
        ids << nextId();
        dropped(eachWorkers[i]->queue.submit(&eachWorkers[i]->thread, ids.last(), requests.at(i)));
    }
    return ids;
}

int SearchService::getWords(const Analitic::Request& request)
{
    showWorking(listingText());
    if (!wordsThread) {
        wordsThread.reset(new Analitic);
        connect(wordsThread.data(), &Analitic::onTerminated, this, &SearchService::wordsTerminated);
    }
    const int id = nextId();
    dropped(wordsQueue.submit(wordsThread.data(), id, request));
    return id;
}

QList<Scope> SearchService::getScopes(const QString& sku)
{
    QList<Scope> scopes;
    QSqlDatabase connection = QSqlDatabase::database(QSqlDatabase::defaultConnection, false);
    if (connection.isValid() && readScopes(connection, sku, scopes) == DatabaseAccess::OpenFailed)
        emit databaseOpenFailed();
    return scopes;
}

void SearchService::searchTerminated(Search* worker, WorkerQueue<Search>& queue)
{
    if (!queue.isBusy())
        return;
    const int id = worker->requestId();
    if (worker->databaseOpenFailed())
        emit databaseOpenFailed();
    const SearchResults results = searchResultsOf(worker->results());
    // The worker's results are read: the request waiting for it may start.
    const bool next = queue.finish(worker);
    end(id, results, next, searchingText());
}

void SearchService::wordsTerminated()
{
    if (!wordsQueue.isBusy())
        return;
    const int id = wordsThread->requestId();
    if (wordsThread->databaseOpenFailed())
        emit databaseOpenFailed();
    const SearchResults results = wordListOf(wordsThread->results());
    const bool next = wordsQueue.finish(wordsThread.data());
    end(id, results, next, listingText());
}

void SearchService::end(int requestId, const SearchResults& results, bool next, const QString& message)
{
    emit searchEnded(requestId, results);
    if (!anyBusy())
        hideWorking();
    if (next)
        showWorking(message);
}

bool SearchService::anyBusy() const
{
    return searchQueue.isBusy() || wordsQueue.isBusy()
        || std::any_of(eachWorkers.cbegin(), eachWorkers.cend(),
            [](const std::unique_ptr<EachWorker>& w) { return w->queue.isBusy(); });
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

int SearchService::nextId() { return ++lastId; }

void SearchService::dropped(int requestId)
{
    if (requestId != 0)
        emit requestDropped(requestId);
}
