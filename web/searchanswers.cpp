#include "web/searchanswers.h"

#include "base/diagnostics.h"
#include "base/scriptliteral.h"
#include "web/resultliteral.h"

SearchAnswers::SearchAnswers(QObject* parent)
    : QObject(parent)
{
    connect(&searches, &SearchService::searchEnded, this, &SearchAnswers::answer);
    // A request replaced while it waited never answers: its callback is forgotten.
    connect(&searches, &SearchService::requestDropped, this, [this](int requestId) { callbacks.remove(requestId); });
}

void SearchAnswers::search(const SearchRequest& request, const QString& callback)
{
    callbacks.insert(searches.search(request), callback);
}

void SearchAnswers::searchEach(const QList<Asked>& asked)
{
    QList<SearchRequest> requests;
    for (const Asked& a : asked)
        requests << a.request;
    const QList<int> ids = searches.searchEach(requests);
    for (int i = 0; i < ids.size(); ++i)
        callbacks.insert(ids.at(i), asked.at(i).callback);
}

void SearchAnswers::getWords(const SearchRequest& request, const QString& callback)
{
    callbacks.insert(searches.getWords(request), callback);
}

void SearchAnswers::getScopes(const QString& sku, const QString& callback)
{
    Diagnostics::debug("getScopes callback: %s", qPrintable(callback));
    const QString statement = ScriptLiteral::doubleQuoted(callback, ResultLiteral::scopes(searches.getScopes(sku)));
    emit pageStatement(statement);
    Diagnostics::debug("Risposta getScopes: %s", statement.toUtf8().constData());
}

void SearchAnswers::answer(int requestId, const SearchResults& results)
{
    const QString statement = ScriptLiteral::singleQuoted(callbacks.take(requestId), ResultLiteral::search(results));
    emit pageStatement(statement);
    if (Diagnostics::wanted()) {
        Diagnostics::debug("%s", results.kind == SearchResults::Kind::WordList ? "Risposta analitic:\n" : "Risposta ricerca:\n");
        Diagnostics::debug("%s", statement.toUtf8().constData());
    }
}
