#include "search/searchworker.h"

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

void SearchWorker::serveRequests(const std::function<void()>& serve, const std::function<void()>& answered)
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
        answered();
        lock.relock();
    }
}

void SearchWorker::stopAndWait()
{
    {
        QMutexLocker lock(&mutex);
        stopping = true;
        changed.wakeAll();
    }
    wait();
}
