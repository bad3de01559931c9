// Free space on the file system of a folder, and the user's text when something does not fit.
#pragma once

#include <QString>
#include <functional>

class DiskSpace {
public:
    // Bytes this user may still write on the file system holding `path` (or its nearest
    // existing parent); -1 when unknown.
    static qint64 available(const QString& path);
    // What keeps `needed` bytes from fitting at `path`, in numbers for the user ("servono
    // 812 MB, liberi 120 MB"); empty when they fit. An unknown free space counts as fitting.
    static QString shortage(qint64 needed, const QString& path);
    // Replaces the measurement (tests simulate a full disk with it); an empty function
    // restores the real one.
    static void setProbe(const std::function<qint64(const QString&)>& probe);
};
