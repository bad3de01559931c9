#include "packages/downloadservice.h"

#include "base/datapaths.h"
#include "base/diagnostics.h"
#include "packages/bookinstaller.h"
#include "packages/download.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

DownloadService::DownloadService(QObject* parent)
    : QObject(parent)
{
}

DownloadService::~DownloadService()
{
    for (auto it = downloads.cbegin(); it != downloads.cend(); ++it) {
        Diagnostics::debug("deleting download structure for \"%s\"", qPrintable(it.key()));
        delete it.value();
    }
    downloads.clear();
}

void DownloadService::cancelDownload(const QString& sku)
{
    if (Download* current = downloads.value(sku))
        current->cancel();
}

void DownloadService::download(const QString& sku, const QString& callback, const QVector<Book>& library)
{
    // The sku names a file and a folder inside the books folder: nothing else may be touched.
    if (!DataPaths::isPlainName(sku))
        return;
    // The package of a dictionary being installed, or waiting for its turn, stays under the
    // installer: the page asking again hears how that installation goes.
    Download* running = downloads.value(sku);
    if (running && (running->phase() == Download::Phase::Queued || running->phase() == Download::Phase::Installing)) {
        running->follow(callback);
        return;
    }
    QDir books;
    if (!BookInstaller::enterBooksFolder(&books))
        return;
    const QString package = DataPaths::packageFile(books.absoluteFilePath(sku));
    if (QFile::exists(package)) {
        if (QFile::remove(package))
            Diagnostics::output("Rimosso vecchio libro %s.zip\n", qPrintable(sku));
        else
            Diagnostics::output("Errori nella rimozione vecchio libro %s.zip\n", qPrintable(sku));
    }
    startDownload(package, sku, callback, library);
}

void DownloadService::startDownload(
    const QString& filePath, const QString& sku, const QString& callback, const QVector<Book>& library)
{
    Download* download = new Download;
    if (Download* old = downloads.value(sku)) {
        Diagnostics::debug("deleting download structure for %s", qPrintable(sku));
        old->discard();
    }
    downloads.insert(sku, download);
    connect(download, &Download::pageStatement, this, &DownloadService::pageStatement);
    connect(download, &Download::statusMessage, this, &DownloadService::statusMessage);
    connect(download, &Download::warning, this, &DownloadService::warning);
    connect(download, &Download::bookReady, this, &DownloadService::bookInstalled);
    download->installer = installer;
    download->booksPath = QFileInfo(filePath).absolutePath();
    download->sku = sku;
    download->filePath = filePath;
    download->callback = callback;
    download->library = library;
    download->start();
}
