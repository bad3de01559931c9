// Files that hold the account's credentials (the settings with the session identifier, which is
// the password; the page's store with SESSIONID) are readable and writable by their owner only,
// also when an older release or a restored backup left them open to others.
#pragma once

#include <QString>

class PrivateFile
{
public:
    // Gives an existing file the mode 0600; true when it has it now, or when it is missing.
    static bool restrict(const QString& path);
    // As restrict(), and makes the file, empty, when it is missing (its folder too): what is
    // written into it afterwards is never readable by others, not even for a moment.
    static bool prepare(const QString& path);
};
