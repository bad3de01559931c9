// The thread under Search and Analitic. One thread serves every request of its kind: it is
// started by the first request and then sleeps between requests, so a search does not pay for
// creating a thread and is scheduled at once when it is woken.
#pragma once

#include <QMutex>
#include <QThread>
#include <QWaitCondition>
#include <functional>

class SearchWorker : public QThread {
public:
    // Runs the request set last: starts the thread the first time, wakes it afterwards.
    void runRequest();
    // Blocks until the last request's run has ended and the thread waits for the next one.
    void waitUntilIdle();

protected:
    // The thread's body: calls `serve` once for every runRequest() until stopAndWait(), then
    // `answered` once the thread counts as idle again, so the GUI thread's waitUntilIdle() after
    // the answer returns at once instead of waiting for the worker to be woken a second time.
    void serveRequests(const std::function<void()>& serve, const std::function<void()>& answered);
    // Ends the thread. The derived class's destructor calls it, before its own members go.
    void stopAndWait();

private:
    QMutex mutex;
    QWaitCondition changed;
    bool pending = false;
    bool serving = false;
    bool stopping = false;
    bool started = false;
};
