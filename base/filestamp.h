// What tells one version of a file from another without reading it: its device, inode, size and
// modification time. A file written beside and renamed into place, or changed where it stands,
// gets another stamp.
#pragma once

#include <QByteArray>
#include <QString>

namespace FileStamp {

// The file's stamp; empty when it cannot be read (no such file).
QByteArray of(const QString& path);
}
