#include "search/analitic.h"

#include "search/booksearch.h"

Analitic::~Analitic() { stopAndWait(); }

void Analitic::setRequest(int id, const Request& request)
{
    currentId = id;
    current = request;
}

void Analitic::run()
{
    serveRequests([this] { serve(); }, [this] { emit onTerminated(); });
}

void Analitic::serve()
{
    state.wordListResults.clear();
    const Request& r = current;
    openFailed = searchWordList(&state, r.sku, r.word, r.from, r.to, r.sourceLanguage) == DatabaseAccess::OpenFailed;
}
