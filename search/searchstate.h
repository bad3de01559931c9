// The results of the last search and of the last word list. The SearchService keeps one as the
// results last delivered; each worker fills one of its own while it runs, and the GUI thread
// copies the worker's half into the service's once the worker's onTerminated() has reached it.
#pragma once

#include "search/searchresult.h"

#include <QList>
#include <QString>

class SearchState {
public:
    // Entry and full-text searches (Search).
    QList<SearchResult> searchResults;
    int searchTotal = 0; // -1 when the counting statement failed
    QString searchKind; // "lemmatizzatore" or "fullText"

    // The alphabetical word list (Analitic).
    QList<SearchResult> wordListResults;
    int wordListTotal = 0;

    void takeSearchFrom(const SearchState& worker)
    {
        searchResults = worker.searchResults;
        searchTotal = worker.searchTotal;
        searchKind = worker.searchKind;
    }
    void takeWordListFrom(const SearchState& worker)
    {
        wordListResults = worker.wordListResults;
        wordListTotal = worker.wordListTotal;
    }
};
