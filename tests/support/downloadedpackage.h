// Installs a package in the books folder as a finished download does (wait, unpack, STATUS), with
// no transfer or window: for trials that drive the installation alone, say in a process they kill.
#pragma once

#include "base/datapaths.h"
#include "packages/bookinstaller.h"
#include "packages/download.h"
#include "packages/downloadmanager.h"

namespace DownloadedPackage {
inline void install(const QString& sku)
{
    BookInstaller installer;
    Download download;
    download.installer = &installer;
    download.sku = sku;
    download.callback = QStringLiteral("cb");
    download.booksPath = DataPaths::booksDirectory();
    download.filePath = DataPaths::packageFile(DataPaths::bookDirectory(sku));
    download.library = { Book() };
    download.library[0].bookId = sku;
    download.manager = new DownloadManager(sku, download.filePath);
    download.manager->finished = true;
    download.done(false);
}
}
