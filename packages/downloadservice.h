// The dictionary downloads asked for, as the search service is for its searches: one Download
// per dictionary, by sku, from the request until the next request of the same dictionary
// replaces it (or the service goes). Installations wait for one another in the installer's
// queue. Where each download stands and how it ended, the status bar, the warning boxes and the
// book an installation made ready for reading go out through signals, each naming its sku.
#pragma once

#include "packages/download.h"
#include "services/book.h"

#include <QMap>
#include <QObject>
#include <QString>
#include <QVector>

class BookInstaller;

class DownloadService : public QObject
{
    Q_OBJECT
public:
    // What a request led to.
    enum class Request {
        // Nothing happened: `sku` is not a plain name or the engine folder is missing.
        Refused,
        // A new download of the dictionary has started.
        Started,
        // The dictionary's package is being installed or waits for that: the request follows
        // that installation, which phase() of inProgress() tells.
        Following,
    };

    explicit DownloadService(QObject* parent = nullptr);
    // Every download still known goes with the service, its transfer with it.
    ~DownloadService() override;

    // The installer every installation waits for, shared with the rest of the program so that
    // one extraction runs at a time; none: nothing is unpacked.
    void setInstaller(BookInstaller* shared) { installer = shared; }

    // Starts the download of dictionary `sku` into its package in the books folder (an older
    // package there goes first); the installation looks the dictionary up in `library`, the
    // account's library. A dictionary being installed, or waiting for that, is left to it.
    Request download(const QString& sku, const QVector<Book>& library);
    // Stops the transfer of dictionary `sku`, if one runs; nothing more is heard of it.
    void cancelDownload(const QString& sku);

    // The downloads by sku, until replaced (also those over).
    const QMap<QString, Download*>& inProgress() const { return downloads; }

signals:
    // The signals of the download of `sku` (see Download).
    void progressed(const QString& sku, int done, int total);
    void phaseChanged(const QString& sku, Download::Phase phase);
    void failed(const QString& sku, const QString& message);
    void installed(const QString& sku);
    void statusMessage(const QString& text, int timeout);
    // The text of the user's warning box.
    void warning(const QString& text);
    // Dictionary `bookId` has been unpacked by its installation: it is the one open for reading.
    void bookInstalled(const QString& bookId);

private:
    void startDownload(const QString& filePath, const QString& sku, const QVector<Book>& library);

    BookInstaller* installer = nullptr;
    QMap<QString, Download*> downloads;
};
