// A dictionary download: progress while the package arrives (a pause keeps what arrived for
// later), one failure, or the installation (unpacking into books/<sku>, STATUS "1") and its
// outcome. An installation waits for its turn while another one runs. It reaches neither the page
// nor the window itself: where it stands, how it ended, the status bar, the warning box and the
// book made ready for reading go out through signals.
#pragma once

#include <QObject>
#include <QString>
#include <QVector>

#include "services/book.h"

class BookInstaller;
class DownloadManager;

class Download : public QObject
{
    Q_OBJECT
public:
    // Where the download stands: its package arriving, paused by the user (what arrived is kept
    // for the next start), waiting for the installer, being installed, or over (installed,
    // failed, cancelled, discarded or never started). The only state of a download.
    enum class Phase { Transfer, Paused, Queued, Installing, Over };

    explicit Download(QObject* parent = nullptr);
    ~Download() override;

    // Starts the transfer (dropping any earlier one of this download), continuing what an earlier
    // one kept, unless the package is already there.
    void start();
    // Stops the transfer (a paused one too) and removes what arrived; nothing more is heard of
    // this download.
    void cancel();
    // Stops the transfer and keeps what arrived, for the next download of the dictionary to
    // continue; nothing more is heard of it. False when no transfer runs.
    bool pause();
    // Installs the package already at filePath as a finished transfer does (it arrived some
    // other way): phaseChanged() and then the outcome follow.
    void installArrived() { queueInstallation(); }
    // Silences the download and deletes it once control returns to the event loop (it may be
    // the one telling its end right now). An installation under way goes on without it.
    void discard();

    Phase phase() const { return current; }
    // The transfer's latest progress: bytes received and announced (0: not known).
    qint64 receivedBytes() const { return received; }
    qint64 announcedBytes() const { return announced; }

    // The whole percent done of `total` bytes (0 while the size is unknown: total 0), and the
    // size in megabytes with one decimal.
    static int percentOf(qint64 done, qint64 total);
    static QString sizeText(qint64 total);

    DownloadManager* manager = nullptr;
    // Installs the package; shared by every installation so that only one runs at a time.
    BookInstaller* installer = nullptr;
    QVector<Book> library;
    QString sku;
    QString filePath;
    // The books folder, found by whoever starts the download.
    QString booksPath;

    // The transfer's progress report: `done` of `total` bytes (total 0: size not known). The
    // first known size is checked against the free space.
    void updateProgress(int done, int total);

signals:
    // Transfer progress: `done` of `total` bytes (total 0: size not known).
    void progressed(int done, int total);
    // The installation waits for the installer (Queued) or has begun (Installing).
    void phaseChanged(Download::Phase phase);
    // Over without an installed dictionary: `message` is for the user.
    void failed(const QString& message);
    // Over: the dictionary is installed and recorded.
    void installed();
    void statusMessage(const QString& text, int timeout);
    // The text of the user's warning box.
    void warning(const QString& text);
    // The package of dictionary `bookId` is unpacked into its folder: the book is the one open
    // for reading from now on. Sent before the outcome.
    void bookReady(const QString& bookId);

private:
    // What the installation's work found, read once it is over.
    struct Outcome {
        bool unpacked = false;
        // Why it is not installed, for the user (empty: installed).
        QString failure;
        // The user's warning box, beside the installer's own.
        QString warning;
    };

    void transferEnded();
    void tellRetry(int retry, int milliseconds);
    void queueInstallation();
    void installationEnded(const Outcome& outcome);
    void reportFailure();
    // The work of an installation, on the installer's thread: unpacks and records the book.
    static Outcome install(BookInstaller* installer, const QString& sku, const QString& bookId,
        const QString& booksPath);
    // STATUS "1" for the installed book; false (with the warning's text) when the store does not
    // open or the update fails.
    static bool recordInstalled(const QString& bookId, QString* warning);
    QString bookIdentifier() const;

    Phase current = Phase::Over;
    // The first announced size is checked against the free space; a refusal replaces the
    // generic failure text.
    bool spaceChecked = false;
    QString refusal;
    qint64 received = 0;
    qint64 announced = 0;
};

Q_DECLARE_METATYPE(Download::Phase)
