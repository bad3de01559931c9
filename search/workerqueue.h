// Hands requests to a reusable worker thread (Search or Analitic) on the GUI thread. A request
// that arrives while the worker is busy waits and runs next, replacing an older waiting one, so
// the running request's parameters never change and its results reach its own callback.
// "Busy" lasts until the GUI side has delivered the results (finish()), not only while the worker
// runs: the next run clears the worker's results.
#pragma once

template <typename Worker> class WorkerQueue {
public:
    using Request = typename Worker::Request;

    // Starts `request` at once when the worker is free, else keeps it as the next one.
    // True when it started.
    bool submit(Worker* worker, const Request& request)
    {
        if (busy) {
            waiting = request;
            hasWaiting = true;
            return false;
        }
        launch(worker, request);
        return true;
    }

    // Called once the results of the running request were delivered: waits for the worker's run
    // to end and starts the waiting request, if any. True when one started.
    bool finish(Worker* worker)
    {
        worker->waitUntilIdle();
        busy = false;
        if (!hasWaiting)
            return false;
        hasWaiting = false;
        launch(worker, waiting);
        return true;
    }

    bool isBusy() const { return busy; }
    bool hasWaitingRequest() const { return hasWaiting; }

private:
    void launch(Worker* worker, const Request& request)
    {
        worker->setRequest(request);
        busy = true;
        worker->runRequest();
    }

    Request waiting {};
    bool busy = false;
    bool hasWaiting = false;
};
