#include "app/processexit.h"

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
    std::exit(code);
}

void ProcessExit::setHandler(Handler h)
{
    handler = std::move(h);
}
