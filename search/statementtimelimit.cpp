#include "search/statementtimelimit.h"

#include <atomic>
#include <sqlite3.h>

namespace {
std::atomic<int> limit { StatementTimeLimit::defaultMilliseconds };
// Virtual machine steps between two looks at the clock: a few microseconds of work.
constexpr int stepsBetweenChecks = 1000;
}

StatementTimeLimit::StatementTimeLimit(sqlite3* connection)
    : connection(connection)
{
    if (connection)
        sqlite3_progress_handler(connection, stepsBetweenChecks, &StatementTimeLimit::check, this);
}

StatementTimeLimit::~StatementTimeLimit()
{
    if (connection)
        sqlite3_progress_handler(connection, 0, nullptr, nullptr);
}

void StatementTimeLimit::start() { start(limit.load()); }

void StatementTimeLimit::start(int milliseconds) { deadline.setRemainingTime(milliseconds); }

int StatementTimeLimit::check(void* self)
{
    auto* watch = static_cast<StatementTimeLimit*>(self);
    if (watch->deadline.hasExpired())
        watch->interrupted = true;
    return watch->interrupted ? 1 : 0;
}

void StatementTimeLimit::setMilliseconds(int milliseconds) { limit.store(milliseconds); }

int StatementTimeLimit::milliseconds() { return limit.load(); }
