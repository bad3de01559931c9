#include "search/search.h"

#include "search/booksearch.h"

Search::~Search() { stopAndWait(); }

void Search::setRequest(int id, const Request& request)
{
    currentId = id;
    current = request;
}

void Search::run()
{
    serveRequests([this] { serve(); }, [this] { emit onTerminated(); });
}

void Search::serve()
{
    state.searchResults.clear();
    const Request& r = current;
    DatabaseAccess access;
    if (r.type == QLatin1String("0") || r.type == QLatin1String("1"))
        access = searchOnBookEntry(&state, r.sku, r.word, r.scope, r.start, r.sourceLanguage, r.offset);
    else
        access = searchOnBookFullText(&state, r.sku, r.word, r.scope, r.start, r.offset, r.sourceLanguage);
    openFailed = access == DatabaseAccess::OpenFailed;
}
