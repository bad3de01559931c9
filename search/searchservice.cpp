#include "search/searchservice.h"

#include "base/diagnostics.h"
#include "base/scriptliteral.h"
#include "search/resultliteral.h"
#include "search/scopelist.h"

#include <QSqlDatabase>

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
        connect(searchThread.data(), &Search::onTerminated, this, &SearchService::searchTerminated);
    }
    searchQueue.submit(searchThread.data(), request);
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

void SearchService::searchTerminated()
{
    if (!searchQueue.isBusy())
        return;
    const Search::Request request = searchThread->request();
    if (searchThread->databaseOpenFailed())
        emit databaseOpenFailed();
    results.takeSearchFrom(searchThread->results());
    answer(ScriptLiteral::singleQuoted(
               request.callback, ResultLiteral::search(results.searchResults, results.searchTotal, results.searchKind)),
        "Risposta ricerca:\n");
    if (searchQueue.finish(searchThread.data()))
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
    answer(ScriptLiteral::singleQuoted(
               request.callback, ResultLiteral::wordList(results.wordListResults, results.wordListTotal)),
        "Risposta analitic:\n");
    if (wordsQueue.finish(wordsThread.data()))
        showWorking(listingText());
}

void SearchService::answer(const QString& statement, const char* label)
{
    emit pageStatement(statement);
    if (Diagnostics::wanted()) {
        Diagnostics::debug("%s", label);
        Diagnostics::debug("%s", statement.toUtf8().constData());
    }
    hideWorking();
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
