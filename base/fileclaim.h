// An advisory lock on a file for as long as the claim lives, kept through renames and released
// by the system when the process ends, however it ends. A clean-up tells by it a file another
// process is still working on from one a killed process left behind.
#pragma once

#include <QString>

class FileClaim
{
public:
    FileClaim() = default;
    ~FileClaim();
    FileClaim(const FileClaim&) = delete;
    FileClaim& operator=(const FileClaim&) = delete;

    // Claims the existing file `path` (dropping an earlier claim); false when it cannot be
    // opened or someone else holds it.
    bool claim(const QString& path);
    void release();

    // Whether a claim other than the caller's own holds `path`.
    static bool isClaimed(const QString& path);

private:
    int descriptor = -1;
};
