// Runs one search or word list on its worker thread, as the bridge does, and returns the literal
// the page would receive.
#pragma once

#include "search/analitic.h"
#include "search/resultliteral.h"
#include "search/search.h"
#include "search/searchstate.h"

#include <QSignalSpy>
#include <QTest>

Q_DECLARE_METATYPE(Search::Request)
Q_DECLARE_METATYPE(Analitic::Request)

namespace SearchRunner {

struct Outcome {
    QString literal;
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

inline Outcome search(const Search::Request& request)
{
    Search thread;
    QSignalSpy terminated(&thread, &Search::onTerminated);
    thread.setRequest(request);
    thread.runRequest();
    Outcome outcome;
    if (!terminated.wait(20000))
        return outcome;
    thread.waitUntilIdle();
    const SearchState& state = thread.results();
    outcome.literal = ResultLiteral::search(state.searchResults, state.searchTotal, state.searchKind);
    outcome.words = words(state.searchResults);
    outcome.openFailed = thread.databaseOpenFailed();
    return outcome;
}

inline Outcome wordList(const Analitic::Request& request)
{
    Analitic thread;
    QSignalSpy terminated(&thread, &Analitic::onTerminated);
    thread.setRequest(request);
    thread.runRequest();
    Outcome outcome;
    if (!terminated.wait(20000))
        return outcome;
    thread.waitUntilIdle();
    const SearchState& state = thread.results();
    outcome.literal = ResultLiteral::wordList(state.wordListResults, state.wordListTotal);
    outcome.words = words(state.wordListResults);
    outcome.openFailed = thread.databaseOpenFailed();
    return outcome;
}
}
