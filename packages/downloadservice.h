// The dictionary downloads the page asks for, as the search service is for its searches: one
// Download per dictionary, by sku, from the request until the next request of the same
// dictionary replaces it (or the service goes). Installations wait for one another in the
// installer's queue. What the page is to run, the status bar, the warning boxes and the book
// an installation made ready for reading go out through signals.
#pragma once

#include "services/book.h"

#include <QMap>
#include <QObject>
#include <QString>
#include <QVector>

class BookInstaller;
class Download;

class DownloadService : public QObject
{
    Q_OBJECT
public:
    explicit DownloadService(QObject* parent = nullptr);
    // Every download still known goes with the service, its transfer with it.
    ~DownloadService() override;

    // The installer every installation waits for, shared with the rest of the program so that
    // one extraction runs at a time; none: nothing is unpacked.
    void setInstaller(BookInstaller* shared) { installer = shared; }

    // Starts the download of dictionary `sku` into its package in the books folder (an older
    // package there goes first); `callback` hears of it, and the installation looks the
    // dictionary up in `library`, the account's library. The package of a dictionary being
    // installed, or waiting for that, stays under the installer and `callback` follows it.
    // Nothing happens when `sku` is not a plain name or the engine folder is missing.
    void download(const QString& sku, const QString& callback, const QVector<Book>& library);
    // Stops the transfer of dictionary `sku`, if one runs; the page hears nothing more of it.
    void cancelDownload(const QString& sku);

    // The downloads by sku, until replaced (also those over).
    const QMap<QString, Download*>& inProgress() const { return downloads; }

signals:
    // A statement for the page to run (the SignalQt answers of the callbacks).
    void pageStatement(const QString& statement);
    void statusMessage(const QString& text, int timeout);
    // The text of the user's warning box.
    void warning(const QString& text);
    // Dictionary `bookId` has been unpacked by its installation: it is the one open for reading.
    void bookInstalled(const QString& bookId);

private:
    void startDownload(const QString& filePath, const QString& sku, const QString& callback,
        const QVector<Book>& library);

    BookInstaller* installer = nullptr;
    QMap<QString, Download*> downloads;
};
