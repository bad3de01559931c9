// One HTTP transfer of a dictionary package into its package file (DataPaths::packageFile). The
// body is streamed into the part file beside it and renamed into place only once it is whole
// and checked (its announced size, and the digest the library gave), so the package name never
// stands for a partial or refused download. A transfer that stops keeps its part file and the
// server's word on it (PartialPackage): the next start continues it with a Range request that
// names the file's validator, and starts over when the server sends the whole file instead.
// Transient failures (no connection, a cut, a time-out, a 5xx) are tried again after growing
// pauses. The manager claims what it writes for as long as it lives (through the installation
// that follows), so that the start-up clean-up of another process leaves it alone.
#pragma once

#include <QFile>
#include <QObject>
#include <QString>
#include <QTimer>
#include <atomic>

#include "base/fileclaim.h"
#include "packages/partialpackage.h"

class HttpConnection;
class QThread;

class DownloadManager : public QObject
{
    Q_OBJECT
public:
    // A package this size or smaller is an error reply of the service, not a package.
    static constexpr qint64 SmallestPackage = 8192;
    // Transient failures in a row tried again before the transfer fails.
    static constexpr int Retries = 3;

    DownloadManager(const QString& sku, const QString& filePath, QObject* parent = nullptr);
    // A transfer still under way stops; what arrived stays for the next one.
    ~DownloadManager() override;

    // Requests the package for the signed-in account (unless the manager already failed),
    // continuing what an earlier transfer kept.
    void start();
    // Stops the transfer and removes what arrived; no signal follows.
    void cancel();
    // Stops the transfer and keeps what arrived for the next start; no signal follows.
    void pause();
    // Ends the transfer as a failure and removes what arrived (ended follows at once).
    void refuse();

    // The text the page and the status bar show for a failed transfer (naming the host when no
    // trusted secure connection was made, or what was wrong with the package); empty otherwise.
    QString errorString() const;
    // The temporary file the body is streamed into.
    QString partPath() const;
    // Bytes an earlier transfer had kept when the current request began.
    qint64 keptBytes() const { return offset; }
    // The pause before the first retry (each later one is twice the one before); tests
    // shorten it.
    static void setRetryPause(int milliseconds);

    HttpConnection* connection = nullptr;
    QFile file;
    QString filePath;
    QString packageName;
    QString host;
    bool finished = false;
    bool failed = false;
    qint32 size = 0;
    // The package's SHA-256 in hexadecimal as the library gives it; empty: none announced (the
    // one an earlier transfer was told then holds).
    QString expectedDigest;

signals:
    // Bytes of the package there so far, those kept from earlier transfers included, and its
    // whole size (0 while unknown).
    void progress(int done, int total);
    // A transient failure: attempt `retry` of Retries follows in `milliseconds`.
    void retrying(int retry, int milliseconds);
    // The transfer is over and recorded how: `finished` (the package is in place) or `failed`.
    // Whoever follows the transfer listens here, never to the connection, whose listeners run
    // in no set order.
    void ended();

private:
    void transferEnded();
    void request();
    void onHeaders();
    void onProgress(int received, int announced);
    // Whether the reply's Content-Range continues the part file at `offset`.
    bool continuesPart() const;
    void retryOrFail(bool progressed);
    void fail(bool keepPart, const QString& message = QString());
    void check(qint64 bytes);
    void digestComputed();
    void accept();
    // Ends what is under way without a word: the request, a retry waiting, a digest computing.
    void halt();

    QFile part;
    // Why the last transfer gave no package, once it has ended.
    QString failure;
    FileClaim claim;
    PartialPackage partial;
    QTimer retryTimer;
    qint64 offset = 0;
    int retried = 0;
    bool replyIsPackage = false;
    bool restartPart = false; // the reply cannot continue the part: it goes, and the next try starts over
    // Why the last try brought no package: what the user is told when no try brings it.
    QString reason;
    // Bumped when the manager halts: what was posted before it no longer applies.
    int generation = 0;
    QThread* hashing = nullptr;
    std::atomic<bool> stopHashing { false };
    QByteArray computedDigest;
};
