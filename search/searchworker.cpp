#include "search/searchworker.h"

#include "search/booksearch.h"

SearchWorker::SearchWorker(Job job)
    : runs(job)
{
}

SearchWorker::~SearchWorker()
{
    {
        QMutexLocker lock(&mutex);
        stopping = true;
        changed.wakeAll();
    }
    wait();
}

void SearchWorker::setRequest(int id, const SearchRequest& request)
{
    currentId = id;
    current = request;
}

void SearchWorker::runRequest()
{
    QMutexLocker lock(&mutex);
    pending = true;
    if (!started) {
        started = true;
        start();
    } else {
        changed.wakeAll();
    }
}

void SearchWorker::waitUntilIdle()
{
    QMutexLocker lock(&mutex);
    while (pending || serving)
        changed.wait(&mutex);
}

void SearchWorker::run()
{
    QMutexLocker lock(&mutex);
    for (;;) {
        while (!pending && !stopping)
            changed.wait(&mutex);
        if (stopping)
            return;
        pending = false;
        serving = true;
        lock.unlock();
        serve();
        lock.relock();
        serving = false;
        changed.wakeAll();
        lock.unlock();
        emit onTerminated();
        lock.relock();
    }
}

void SearchWorker::serve()
{
    found.rows.clear();
    const SearchRequest& r = current;
    DatabaseAccess access;
    if (runs == Job::WordList)
        access = searchWordList(&found, r.sku, r.word, r.start, r.offset, r.sourceLanguage);
    else if (r.type == QLatin1String("0") || r.type == QLatin1String("1"))
        access = searchOnBookEntry(&found, r.sku, r.word, r.scope, r.start, r.sourceLanguage, r.offset);
    else
        access = searchOnBookFullText(&found, r.sku, r.word, r.scope, r.start, r.offset, r.sourceLanguage);
    openFailed = access == DatabaseAccess::OpenFailed;
}
