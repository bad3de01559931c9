// One search or word list the page asks for, every field as the page gives it: the numbers are
// checked by the search that reads them.
#pragma once

#include <QString>

struct SearchRequest {
    QString word;
    QString scope; // a full-text search's scope; empty: the whole dictionary
    QString type; // "0" or "1": headword search; anything else: full text (a word list has none)
    QString sku;
    QString start; // rows to skip
    QString offset; // rows to return
    QString sourceLanguage;
};
