// Removing a folder and everything below it, without ever following a symbolic link.
#pragma once

#include <QString>

// Removes `path` and everything in it; symbolic links are removed as links, never followed.
// True when the path is gone or never existed; false at the first entry that stays.
bool removeDirectoryTree(const QString& path);
