// A dictionary download as the page sees it: progress while the package arrives (a pause keeps
// what arrived for later), one failure callback, or the installation (unpacking into
// books/<sku>, STATUS "1") and its outcome. An
// installation waits for its turn while another one runs; the page hears that it is queued.
// It reaches neither the page nor the window itself: what the page is to run, the status bar,
// the warning box and the book made ready for reading go out through signals.
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
    // failed, cancelled or never started).
    enum class Phase { Transfer, Paused, Queued, Installing, Over };

    explicit Download(QObject* parent = nullptr);
    ~Download() override;

    // Starts the transfer (dropping any earlier one of this download), continuing what an earlier
    // one kept, unless the package is already there.
    void start();
    // Stops the transfer (a paused one too) and removes what arrived; the page hears nothing
    // more of this download.
    void cancel();
    // Stops the transfer and keeps what arrived, for the next download of the dictionary to
    // continue; the page hears nothing more of this download. False when no transfer runs.
    bool pause();
    // Deletes the download now, or once its installation has ended when one is running (the
    // installation lets events run, and the page may ask for the same dictionary meanwhile).
    void discard();
    // The page asks again for a dictionary whose package is being installed or waits for it:
    // `newCallback` hears where it stands and how it ends.
    void follow(const QString& newCallback);

    Phase phase() const;
    // The transfer's latest progress: bytes received and announced (0: not known).
    qint64 receivedBytes() const { return received; }
    qint64 announcedBytes() const { return announced; }

    // Text of the page's progress literal for `done` of `total` bytes (total 0: size unknown),
    // and its two values: the whole percent done (0 while the size is unknown) and the size in
    // megabytes with one decimal.
    static QString progressLiteral(int done, int total);
    static int percentOf(qint64 done, qint64 total);
    static QString sizeText(qint64 total);

    DownloadManager* manager = nullptr;
    // Unpacks the package; shared by every installation so that only one runs at a time.
    BookInstaller* installer = nullptr;
    QVector<Book> library;
    QString callback;
    QString sku;
    QString filePath;
    // The books folder, found by whoever starts the download.
    QString booksPath;
    bool cancelled = false;

signals:
    // A statement for the page to run (its SignalQt answers).
    void pageStatement(const QString& statement);
    void statusMessage(const QString& text, int timeout);
    // The text of the user's warning box.
    void warning(const QString& text);
    // The package of dictionary `bookId` is unpacked into its folder: the book is the one open
    // for reading from now on. Sent before its STATUS is recorded.
    void bookReady(const QString& bookId);

public slots:
    void updateProgress(int done, int total);
    void done(bool error);

private:
    void tellRetry(int retry, int milliseconds);
    void queueInstallation();
    void runInstallation();
    // Installs the package; the statement that tells the page how it ended.
    QString install();
    // Installs the package; the reason for the page when it did not (empty: installed).
    QString installOrSayWhyNot();
    void reportFailure();
    // The page's failure literal for `message`.
    void tellFailure(const QString& message);
    QString failureStatement(QString message) const;
    QString phaseLiteral() const;
    // STATUS "1" for the installed book; false (after its warning) when the store does not open
    // or the update fails.
    bool recordInstalled(const QString& bookId);
    QString bookIdentifier() const;

    // The first announced size is checked against the free space; a refusal replaces the
    // generic failure text.
    bool spaceChecked = false;
    QString refusal;
    bool queued = false;
    bool paused = false;
    bool installing = false;
    // The page has heard how the installation ended. Events still run before it returns, and a
    // page asking meanwhile must not find the download under way, for no answer follows.
    bool outcomeTold = false;
    bool discarded = false;
    qint64 received = 0;
    qint64 announced = 0;
};
