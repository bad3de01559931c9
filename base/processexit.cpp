#include "base/processexit.h"

#include <cstdio>
#include <cstdlib>

namespace {
ProcessExit::Handler handler;
}

void ProcessExit::terminate(int code)
{
    if (handler) {
        handler(code);
        return;
    }
    // Nothing of the normal shutdown runs: static destructors racing the web engine's and the
    // network's threads could crash a process that has already done everything it had to.
    std::fflush(stdout);
    std::fflush(stderr);
    std::_Exit(code);
}

void ProcessExit::setHandler(Handler h)
{
    handler = std::move(h);
}
