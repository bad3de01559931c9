// A time limit for each statement run on a dictionary's connection. A database whose view (or
// whatever else) makes one statement run for minutes must not keep the page waiting that long:
// SQLite's progress handler interrupts the statement once the limit is reached, and the request
// answers as a failed search.
#pragma once

#include <QDeadlineTimer>

struct sqlite3;

class StatementTimeLimit {
public:
    // The limit when none was set: far above the slowest search of a real dictionary (well under
    // a second), far below what a user waits for.
    static constexpr int defaultMilliseconds = 10000;

    // Watches the statements of `connection` (not owned) until destroyed.
    explicit StatementTimeLimit(sqlite3* connection);
    ~StatementTimeLimit();
    StatementTimeLimit(const StatementTimeLimit&) = delete;
    StatementTimeLimit& operator=(const StatementTimeLimit&) = delete;

    // Starts the clock of the next statement, with the common limit or one of its own.
    void start();
    void start(int milliseconds);
    // True once a statement has been interrupted; it stays so.
    bool reached() const { return interrupted; }

    // The limit of every statement from now on, on every thread (tests shorten it).
    static void setMilliseconds(int milliseconds);
    static int milliseconds();

private:
    static int check(void* self);

    sqlite3* connection;
    QDeadlineTimer deadline;
    bool interrupted = false;
};
