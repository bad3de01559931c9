// Runs one search or word list on its worker thread, as the bridge does, and returns the literal
// the page would receive.
#pragma once

#include "search/analitic.h"
#include "search/resultliteral.h"
#include "search/search.h"
#include "search/searchstate.h"

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

// Runs the request on the worker's thread and waits for its end, heard on this thread as the
// bridge hears it (so an end that comes before the wait is not missed).
template <class Worker>
bool runToEnd(Worker& worker, const typename Worker::Request& request)
{
    bool terminated = false;
    QObject::connect(&worker, &Worker::onTerminated, &worker, [&terminated] { terminated = true; });
    worker.setRequest(request);
    worker.runRequest();
    if (!QTest::qWaitFor([&terminated] { return terminated; }, 20000))
        return false;
    worker.waitUntilIdle();
    return true;
}

inline Outcome search(const Search::Request& request)
{
    Search thread;
    Outcome outcome;
    if (!runToEnd(thread, request))
        return outcome;
    const SearchState& state = thread.results();
    outcome.literal = ResultLiteral::search(state.searchResults, state.searchTotal, state.searchKind);
    outcome.words = words(state.searchResults);
    outcome.openFailed = thread.databaseOpenFailed();
    return outcome;
}

inline Outcome wordList(const Analitic::Request& request)
{
    Analitic thread;
    Outcome outcome;
    if (!runToEnd(thread, request))
        return outcome;
    const SearchState& state = thread.results();
    outcome.literal = ResultLiteral::wordList(state.wordListResults, state.wordListTotal);
    outcome.words = words(state.wordListResults);
    outcome.openFailed = thread.databaseOpenFailed();
    return outcome;
}
}
