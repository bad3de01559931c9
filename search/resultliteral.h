// The script object literals with which the page is answered after a search, a word list or a
// scope-list request. A literal travels inside a quoted script string and its own values sit in
// quoted strings of their own, so every text taken from a dictionary is made safe for both.
#pragma once

#include "search/searchresult.h"

#include <QList>
#include <QString>

struct Scope {
    QString id;
    QString name;
};

namespace ResultLiteral {
// {tot:<n>,result: [<items>], isLemmatizzata:true} for "lemmatizzatore", else ...false}.
QString search(const QList<SearchResult>& results, int total, const QString& kind);
// {tot:<n>,result: [<items>]}
QString wordList(const QList<SearchResult>& results, int total);
// {tot:<n>, result:[{id:<id>, nome:'<name>'}, ...]}
QString scopes(const QList<Scope>& scopes);
}
