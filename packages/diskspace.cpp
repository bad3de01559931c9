#include "packages/diskspace.h"

#include <QFileInfo>
#include <QStorageInfo>

namespace {
std::function<qint64(const QString&)>& probeFunction()
{
    static std::function<qint64(const QString&)> probe;
    return probe;
}

// Whole megabytes, rounded up for what is needed and down for what is free, so the two
// numbers never suggest that it would just fit.
qint64 megabytes(qint64 bytes, bool roundUp)
{
    constexpr qint64 mb = 1024 * 1024;
    return roundUp ? (bytes + mb - 1) / mb : bytes / mb;
}
}

qint64 DiskSpace::available(const QString& path)
{
    if (probeFunction())
        return probeFunction()(path);
    // The nearest folder that exists holds what the path will hold; no path names no disk.
    QString existing = path.isEmpty() ? QString() : QFileInfo(path).absoluteFilePath();
    while (!existing.isEmpty() && !QFileInfo::exists(existing)) {
        const QString parent = QFileInfo(existing).absolutePath();
        existing = parent == existing ? QString() : parent;
    }
    if (existing.isEmpty())
        return -1;
    const QStorageInfo storage(existing);
    return storage.isValid() ? storage.bytesAvailable() : -1;
}

QString DiskSpace::shortage(qint64 needed, const QString& path)
{
    const qint64 free = available(path);
    if (free < 0 || needed <= free)
        return QString();
    return QStringLiteral("servono %1 MB, liberi %2 MB").arg(megabytes(needed, true)).arg(megabytes(free, false));
}

void DiskSpace::setProbe(const std::function<qint64(const QString&)>& probe) { probeFunction() = probe; }
