// Runs one search or word list through a SearchService, as the bridge does, and returns what the
// page would receive.
#pragma once

#include "search/searchservice.h"

#include <QSignalSpy>
#include <QTest>

Q_DECLARE_METATYPE(Search::Request)

namespace SearchRunner {

struct Outcome {
    QString literal; // the answer's literal; empty when the answer did not come or is not SignalQt('cb', '...')
    QStringList words;
    bool openFailed = false;
};

inline QStringList words(const QList<SearchResult>& results)
{
    QStringList list;
    for (const SearchResult& r : results)
        list << r.word;
    return list;
}

inline Search::Request entry(const QString& sku, const QString& word, const QString& start = QStringLiteral("0"),
    const QString& offset = QStringLiteral("10"), const QString& type = QStringLiteral("0"),
    const QString& scope = QString(), const QString& source = QStringLiteral("it"))
{
    return Search::Request { word, scope, type, sku, start, offset, source, QStringLiteral("cb") };
}

template <class Request>
Outcome run(const Request& request, void (SearchService::*ask)(const Request&), QList<SearchResult> SearchState::*rows)
{
    SearchService service;
    QSignalSpy answered(&service, &SearchService::pageStatement);
    QSignalSpy failed(&service, &SearchService::databaseOpenFailed);
    (service.*ask)(request);
    Outcome outcome;
    if (!answered.wait(20000))
        return outcome;
    const QString statement = answered.at(0).at(0).toString();
    const QString head = QStringLiteral("SignalQt('cb', '");
    if (statement.startsWith(head) && statement.endsWith(QLatin1String("')")))
        outcome.literal = statement.mid(head.size(), statement.size() - head.size() - 2);
    outcome.words = words(service.lastResults().*rows);
    outcome.openFailed = failed.count() == 1;
    return outcome;
}

inline Outcome search(const Search::Request& request)
{
    return run(request, &SearchService::search, &SearchState::searchResults);
}

inline Outcome wordList(const Analitic::Request& request)
{
    return run(request, &SearchService::getWords, &SearchState::wordListResults);
}
}
