// Free space on the file system of a folder, and the user's text when something does not fit.
#pragma once

#include <QString>
#include <functional>

class DiskSpace {
public:
    // Bytes this user may still write on the file system holding `path` (or its nearest
    // existing parent); -1 when unknown.
    static qint64 available(const QString& path);
    // True when `needed` bytes fit at `path`; otherwise `shortage` gets the numbers for the
    // user, e.g. "servono 812 MB, liberi 120 MB". An unknown free space counts as fitting.
    static bool fits(qint64 needed, const QString& path, QString* shortage);
    // Replaces the measurement (tests simulate a full disk with it); an empty function
    // restores the real one.
    static void setProbe(const std::function<qint64(const QString&)>& probe);
};
