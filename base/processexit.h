// Ends the process at once (sign-out, reset, failed engine copy). Tests replace the ending
// with a recorder so the paths that end the program can be followed in-process.
#pragma once

#include <functional>

class ProcessExit
{
public:
    using Handler = std::function<void(int code)>;

    // Ends the process with `code`; with a handler installed, calls it and returns instead.
    static void terminate(int code);
    static void setHandler(Handler handler);
};
