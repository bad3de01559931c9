// The results of the last search and of the last word list. The main window owns one; each
// worker writes only its own half while it runs, and the GUI thread reads that half once the
// worker's onTerminated() has reached it and before the worker is started again.
#pragma once

#include "search/searchresult.h"

#include <QList>
#include <QString>

class SearchState
{
public:
    // Filled by Search: entry and full-text searches.
    QList<SearchResult> searchResults;
    int searchTotal = 0; // -1 when the counting statement failed
    QString searchKind;  // "lemmatizzatore" or "fullText"

    // Filled by Analitic: the alphabetical word list.
    QList<SearchResult> wordListResults;
    int wordListTotal = 0;
};
