// The script object literals with which the page is answered after a search, a word list or a
// scope-list request. A literal travels inside a quoted script string and its own values sit in
// quoted strings of their own, so every text taken from a dictionary is made safe for both.
#pragma once

#include "search/scopelist.h"
#include "search/searchresults.h"

#include <QList>
#include <QString>

namespace ResultLiteral {
// A search's: {tot:<n>,result: [<items>], isLemmatizzata:true} for an entry search, else
// ...false}; a word list's: {tot:<n>,result: [<items>]}.
QString search(const SearchResults& found);
// {tot:<n>, result:[{id:<id>, nome:'<name>'}, ...]}
QString scopes(const QList<Scope>& scopes);
}
