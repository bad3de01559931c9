// Installs a package in the books folder as a finished download does (unpack, STATUS), with
// no transfer or window: for trials that drive the installation alone, say in a process they kill.
#pragma once

#include "base/datapaths.h"
#include "packages/bookinstaller.h"
#include "packages/download.h"

#include <QEventLoop>

namespace DownloadedPackage {
inline void install(const QString& sku)
{
    BookInstaller installer;
    Download download;
    download.installer = &installer;
    download.sku = sku;
    download.booksPath = DataPaths::booksDirectory();
    download.filePath = DataPaths::packageFile(DataPaths::bookDirectory(sku));
    download.library = { Book() };
    download.library[0].bookId = sku;
    QEventLoop over;
    QObject::connect(&download, &Download::installed, &over, &QEventLoop::quit);
    QObject::connect(&download, &Download::failed, &over, &QEventLoop::quit);
    download.installArrived();
    if (download.phase() != Download::Phase::Over)
        over.exec();
}
}
