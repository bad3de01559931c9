#include "base/directorytree.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

bool removeDirectoryTree(const QString& path)
{
    const QFileInfo top(path);
    if (top.isSymLink())
        return QFile::remove(path);
    QDir dir(path);
    if (!dir.exists())
        return true;
    const QFileInfoList entries = dir.entryInfoList(
        QDir::Files | QDir::AllDirs | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::DirsFirst);
    for (const QFileInfo& entry : entries) {
        const bool removed = entry.isDir() && !entry.isSymLink() ? removeDirectoryTree(entry.absoluteFilePath())
                                                                 : QFile::remove(entry.absoluteFilePath());
        if (!removed)
            return false;
    }
    return dir.rmdir(path);
}
