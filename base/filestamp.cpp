#include "base/filestamp.h"

#include <QFile>
#include <sys/stat.h>

namespace FileStamp {

QByteArray of(const QString& path)
{
    struct stat st;
    if (::stat(QFile::encodeName(path).constData(), &st) != 0)
        return QByteArray();
    return QByteArray::number(qulonglong(st.st_dev)) + ':' + QByteArray::number(qulonglong(st.st_ino)) + ':'
        + QByteArray::number(qlonglong(st.st_size)) + ':' + QByteArray::number(qlonglong(st.st_mtim.tv_sec)) + '.'
        + QByteArray::number(qlonglong(st.st_mtim.tv_nsec));
}
}
