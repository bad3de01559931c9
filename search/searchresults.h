// What one search or word list found: the rows of the page asked for and how many there are in
// all. The search layer hands it up as it is; the page's literal is made from it above.
#pragma once

#include "search/searchresult.h"

#include <QList>
#include <QMetaType>

struct SearchResults {
    // Which request found the rows: the page reads an entry search's answer differently.
    enum class Kind {
        Entry, // headwords and inflected forms
        FullText, // keywords
        WordList, // the alphabetical word list
    };

    Kind kind = Kind::Entry;
    QList<SearchResult> rows;
    int total = 0; // -1 when the counting statement failed or a number was refused
};

Q_DECLARE_METATYPE(SearchResults)
