#include "base/fileclaim.h"

#include <QFile>
#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

FileClaim::~FileClaim()
{
    release();
}

bool FileClaim::claim(const QString& path)
{
    release();
    descriptor = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
    if (descriptor >= 0 && ::flock(descriptor, LOCK_EX | LOCK_NB) == 0)
        return true;
    release();
    return false;
}

void FileClaim::release()
{
    if (descriptor >= 0)
        ::close(descriptor);
    descriptor = -1;
}

bool FileClaim::isClaimed(const QString& path)
{
    const int probe = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
    if (probe < 0)
        return false;
    const bool held = ::flock(probe, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK;
    ::close(probe);
    return held;
}
