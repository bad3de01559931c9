#include "base/privatefile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace {
const QFile::Permissions ownerOnly = QFile::ReadOwner | QFile::WriteOwner;
}

bool PrivateFile::restrict(const QString& path)
{
    const QFileInfo info(path);
    if (!info.exists())
        return true;
    // The owner's flags alone: the "user" ones describe the running user, not the mode.
    const QFile::Permissions mode = info.permissions()
        & ~(QFile::ReadUser | QFile::WriteUser | QFile::ExeUser);
    return mode == ownerOnly || QFile::setPermissions(path, ownerOnly);
}

bool PrivateFile::prepare(const QString& path)
{
    if (!QFileInfo::exists(path)) {
        QFile file(path);
        if (!QDir().mkpath(QFileInfo(path).absolutePath()) || !file.open(QIODevice::WriteOnly))
            return false;
    }
    return restrict(path);
}
