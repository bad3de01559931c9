#include "search/searchservice.h"

#include "base/diagnostics.h"
#include "base/scriptliteral.h"
#include "search/resultliteral.h"
#include "search/scopelist.h"

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
    workingDelay.setSingleShot(true);
    workingDelay.setInterval(workingDelayMs);
    connect(&workingDelay, &QTimer::timeout, this, [this] {
        workingShown = true;
        emit working(workingMessage);
    });
}

SearchService::~SearchService() = default;

void SearchService::search(const Search::Request& request)
{
    showWorking(searchingText());
    lastSearchCallback = request.callback;
    if (!searchThread) {
        searchThread.reset(new Search);
        connect(searchThread.data(), &Search::onTerminated, this,
            [this] { searchTerminated(searchThread.data(), searchQueue, true); });
    }
    searchQueue.submit(searchThread.data(), request);
}

void SearchService::searchEach(const QList<Search::Request>& requests)
{
    if (requests.isEmpty())
        return;
    showWorking(searchingText());
    while (eachWorkers.size() < size_t(requests.size())) {
        eachWorkers.push_back(std::make_unique<EachWorker>());
        EachWorker* worker = eachWorkers.back().get();
        connect(&worker->thread, &Search::onTerminated, this,
            [this, worker] { searchTerminated(&worker->thread, worker->queue, false); });
    }
    for (int i = 0; i < requests.size(); ++i)
        eachWorkers[i]->queue.submit(&eachWorkers[i]->thread, requests.at(i));
}

void SearchService::getWords(const Analitic::Request& request)
{
    showWorking(listingText());
    lastWordsCallback = request.callback;
    if (!wordsThread) {
        wordsThread.reset(new Analitic);
        connect(wordsThread.data(), &Analitic::onTerminated, this, &SearchService::wordsTerminated);
    }
    wordsQueue.submit(wordsThread.data(), request);
}

void SearchService::getScopes(const QString& sku, const QString& callback)
{
    Diagnostics::debug("getScopes callback: %s", qPrintable(callback));
    QList<Scope> scopes;
    QSqlDatabase connection = QSqlDatabase::database(QSqlDatabase::defaultConnection, false);
    if (connection.isValid() && readScopes(connection, sku, scopes) == DatabaseAccess::OpenFailed)
        emit databaseOpenFailed();
    const QString statement = ScriptLiteral::doubleQuoted(callback, ResultLiteral::scopes(scopes));
    emit pageStatement(statement);
    Diagnostics::debug("Risposta getScopes: %s", statement.toUtf8().constData());
}

void SearchService::searchTerminated(Search* worker, WorkerQueue<Search>& queue, bool keep)
{
    if (!queue.isBusy())
        return;
    const Search::Request request = worker->request();
    if (worker->databaseOpenFailed())
        emit databaseOpenFailed();
    const SearchState& ended = worker->results();
    const QString statement = ScriptLiteral::singleQuoted(
        request.callback, ResultLiteral::search(ended.searchResults, ended.searchTotal, ended.searchKind));
    if (keep)
        results.takeSearchFrom(ended);
    // The worker's results are read: the request waiting for it may start.
    const bool next = queue.finish(worker);
    answer(statement, "Risposta ricerca:\n");
    if (next)
        showWorking(searchingText());
}

void SearchService::wordsTerminated()
{
    if (!wordsQueue.isBusy())
        return;
    const Analitic::Request request = wordsThread->request();
    if (wordsThread->databaseOpenFailed())
        emit databaseOpenFailed();
    results.takeWordListFrom(wordsThread->results());
    const bool next = wordsQueue.finish(wordsThread.data());
    answer(ScriptLiteral::singleQuoted(
               request.callback, ResultLiteral::wordList(results.wordListResults, results.wordListTotal)),
        "Risposta analitic:\n");
    if (next)
        showWorking(listingText());
}

void SearchService::answer(const QString& statement, const char* label)
{
    emit pageStatement(statement);
    if (Diagnostics::wanted()) {
        Diagnostics::debug("%s", label);
        Diagnostics::debug("%s", statement.toUtf8().constData());
    }
    if (!anyBusy())
        hideWorking();
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
