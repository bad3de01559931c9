// Runs one search or word list through a SearchService, as the bridge does, and returns what it
// ended with.
#pragma once

#include "search/searchservice.h"

#include <QSignalSpy>
#include <QTest>

Q_DECLARE_METATYPE(SearchRequest)

namespace SearchRunner {

struct Outcome {
    bool ended = false; // the request ended, under its own number
    SearchResults results;
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

// The results an end of `spy` (on SearchService::searchEnded) carries.
inline SearchResults resultsOf(const QList<QVariant>& end) { return end.at(1).value<SearchResults>(); }

inline SearchRequest entry(const QString& sku, const QString& word, const QString& start = QStringLiteral("0"),
    const QString& offset = QStringLiteral("10"), const QString& type = QStringLiteral("0"),
    const QString& scope = QString(), const QString& source = QStringLiteral("it"))
{
    return SearchRequest { word, scope, type, sku, start, offset, source };
}

inline Outcome run(const SearchRequest& request, int (SearchService::*ask)(const SearchRequest&))
{
    SearchService service;
    QSignalSpy ended(&service, &SearchService::searchEnded);
    QSignalSpy failed(&service, &SearchService::databaseOpenFailed);
    const int id = (service.*ask)(request);
    Outcome outcome;
    if (!ended.wait(20000))
        return outcome;
    outcome.ended = ended.count() == 1 && ended.at(0).at(0).toInt() == id;
    outcome.results = resultsOf(ended.at(0));
    outcome.words = words(outcome.results.rows);
    outcome.openFailed = failed.count() == 1;
    return outcome;
}

inline Outcome search(const SearchRequest& request) { return run(request, &SearchService::search); }

// `request`'s start and offset: the rows to skip and to list.
inline Outcome wordList(const SearchRequest& request) { return run(request, &SearchService::getWords); }
}
