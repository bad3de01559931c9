// Hands requests to a reusable SearchWorker on the GUI thread. A request that arrives while the
// worker is busy waits and runs next, replacing an older waiting one, so the running request's
// parameters never change and its results reach whoever asked for them. "Busy" lasts until the
// GUI side has delivered the results (finish()), not only while the worker runs: the next run
// clears the worker's results.
#pragma once

#include "search/searchworker.h"

class WorkerQueue {
public:
    // Starts request `id` at once when the worker is free, else keeps it as the next one. The
    // request it replaces there will never run: its id is returned (0 when none was waiting).
    int submit(SearchWorker* worker, int id, const SearchRequest& request)
    {
        if (!busy) {
            launch(worker, id, request);
            return 0;
        }
        const int dropped = waitingId;
        waitingId = id;
        waiting = request;
        return dropped;
    }

    // Called once the results of the running request were delivered: waits for the worker's run
    // to end and starts the waiting request, if any. True when one started.
    bool finish(SearchWorker* worker)
    {
        worker->waitUntilIdle();
        busy = false;
        if (waitingId == 0)
            return false;
        launch(worker, waitingId, waiting);
        waitingId = 0;
        return true;
    }

    bool isBusy() const { return busy; }

private:
    void launch(SearchWorker* worker, int id, const SearchRequest& request)
    {
        worker->setRequest(id, request);
        busy = true;
        worker->runRequest();
    }

    SearchRequest waiting;
    int waitingId = 0;
    bool busy = false;
};
