// A session bus of the test's own: the process starts itself again under dbus-run-session, so
// that nothing it registers or calls reaches the desktop the tests run on.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <unistd.h>
#include <vector>

namespace PrivateBus {
// Returns only in the process that runs on the private bus; otherwise replaces this process
// with dbus-run-session running it again, or ends it when that cannot start.
inline void enter(int argc, char* argv[])
{
    const char* const marker = "VOCALUME_PRIVATE_BUS";
    if (std::getenv(marker))
        return;
    setenv(marker, "1", 1);
    std::vector<char*> command { const_cast<char*>("dbus-run-session"), const_cast<char*>("--") };
    command.insert(command.end(), argv, argv + argc);
    command.push_back(nullptr);
    execvp(command.front(), command.data());
    std::fprintf(stderr, "dbus-run-session is not installed: run scripts/install-deps.sh\n");
    std::exit(1);
}
}
