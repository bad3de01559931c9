// Installs a package that sits in the books folder as a finished download's completion does
// (wait, unpack, STATUS), without a transfer or a window: for tests and trials that drive the
// installation on its own, for instance in a process they kill.
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
