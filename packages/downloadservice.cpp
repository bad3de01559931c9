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

DownloadService::Request DownloadService::download(const QString& sku, const QVector<Book>& library)
{
    // The sku names a file and a folder inside the books folder: nothing else may be touched.
    if (!DataPaths::isPlainName(sku))
        return Request::Refused;
    // The package of a dictionary being installed, or waiting for its turn, stays under the
    // installer: asking again follows that installation.
    const Download* running = downloads.value(sku);
    if (running && (running->phase() == Download::Phase::Queued || running->phase() == Download::Phase::Installing))
        return Request::Following;
    QDir books;
    if (!BookInstaller::enterBooksFolder(&books))
        return Request::Refused;
    const QString package = DataPaths::packageFile(books.absoluteFilePath(sku));
    if (QFile::exists(package)) {
        if (QFile::remove(package))
            Diagnostics::output("Rimosso vecchio libro %s.zip\n", qPrintable(sku));
        else
            Diagnostics::output("Errori nella rimozione vecchio libro %s.zip\n", qPrintable(sku));
    }
    startDownload(package, sku, library);
    return Request::Started;
}

void DownloadService::startDownload(const QString& filePath, const QString& sku, const QVector<Book>& library)
{
    Download* download = new Download;
    if (Download* old = downloads.value(sku)) {
        Diagnostics::debug("deleting download structure for %s", qPrintable(sku));
        old->discard();
    }
    downloads.insert(sku, download);
    connect(download, &Download::progressed, this,
        [this, sku](int done, int total) { emit progressed(sku, done, total); });
    connect(download, &Download::phaseChanged, this, [this, sku](Download::Phase phase) { emit phaseChanged(sku, phase); });
    connect(download, &Download::failed, this, [this, sku](const QString& message) { emit failed(sku, message); });
    connect(download, &Download::installed, this, [this, sku] { emit installed(sku); });
    connect(download, &Download::statusMessage, this, &DownloadService::statusMessage);
    connect(download, &Download::warning, this, &DownloadService::warning);
    connect(download, &Download::bookReady, this, &DownloadService::bookInstalled);
    download->installer = installer;
    download->booksPath = QFileInfo(filePath).absolutePath();
    download->sku = sku;
    download->filePath = filePath;
    download->library = library;
    download->start();
}
