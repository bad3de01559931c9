#include "packages/downloadmanager.h"

#include "base/appsettings.h"
#include "base/datapaths.h"
#include "base/diagnostics.h"
#include "packages/archiveextractor.h"
#include "packages/downloadfailure.h"
#include "services/httpconnection.h"
#include "services/serviceendpoint.h"
#include "services/servicereply.h"
#include "services/servicerequest.h"

#include <QCryptographicHash>
#include <QFileInfo>
#include <QRegularExpression>
#include <QThread>
#include <limits>

namespace {
// How much of a refused reply's body the diagnostic shows.
constexpr qint64 DiagnosticBodyLimit = 64 * 1024;
int firstRetryPause = 1000;

int clampToInt(qint64 value)
{
    return int(qBound<qint64>(0, value, std::numeric_limits<int>::max()));
}

// The SHA-256 of the file at `path` in hexadecimal; empty when it cannot be read or `stop` is set.
QByteArray digestOf(const QString& path, const std::atomic<bool>& stop)
{
    QFile file(path);
    QCryptographicHash hash(QCryptographicHash::Sha256);
    if (!file.open(QIODevice::ReadOnly))
        return QByteArray();
    QByteArray chunk(1024 * 1024, Qt::Uninitialized);
    qint64 read;
    while (!stop && (read = file.read(chunk.data(), chunk.size())) > 0)
        hash.addData(chunk.constData(), int(read));
    return stop || file.error() != QFileDevice::NoError ? QByteArray() : hash.result().toHex();
}
}

DownloadManager::DownloadManager(const QString& sku, const QString& filePath, QObject* parent)
    : QObject(parent)
    , filePath(filePath)
    , packageName(sku + QStringLiteral(".zip"))
    , host(ServiceEndpoint::current().host)
    , partial(filePath)
{
    file.setFileName(filePath);
    part.setFileName(partPath());
    connection = new HttpConnection(this);
    connect(connection, &HttpConnection::finished, this, &DownloadManager::transferEnded);
    connect(connection, &HttpConnection::headersArrived, this, &DownloadManager::onHeaders);
    connect(connection, &HttpConnection::dataReadProgress, this, &DownloadManager::onProgress);
    retryTimer.setSingleShot(true);
    connect(&retryTimer, &QTimer::timeout, this, &DownloadManager::request);
}

DownloadManager::~DownloadManager()
{
    halt();
    delete connection;
    connection = nullptr;
}

void DownloadManager::setRetryPause(int milliseconds) { firstRetryPause = milliseconds; }

void DownloadManager::start()
{
    if (failed)
        return;
    retried = 0;
    request();
}

void DownloadManager::request()
{
    part.close();
    partial = PartialPackage(filePath);
    const bool resuming = partial.read() && partial.isResumable();
    if (!resuming)
        partial = PartialPackage(filePath);
    if (!expectedDigest.isEmpty())
        partial.sha256 = expectedDigest;
    offset = resuming ? partial.bytes() : 0;
    replyIsPackage = false;
    restartPart = false;

    if (resuming && offset == partial.size) {
        // Whole already (the process ended before it was checked): nothing to ask for.
        claim.claim(partPath());
        QTimer::singleShot(0, this, [this, run = generation] {
            if (run == generation)
                check(offset);
        });
        return;
    }
    if (!resuming)
        QFile::remove(DataPaths::resumeFile(filePath));
    // A part file that cannot be opened makes the first write fail, which ends the transfer
    // as a failure the page hears about.
    if (!part.open(QIODevice::WriteOnly | (resuming ? QIODevice::Append : QIODevice::Truncate)))
        Diagnostics::warning("Impossibile creare il file %s", qPrintable(partPath()));
    else
        claim.claim(partPath());
    HttpConnection::Headers headers;
    if (resuming)
        headers = { { "Range", "bytes=" + QByteArray::number(offset) + '-' }, { "If-Range", partial.validator() } };
    AppSettings settings;
    const QString url = ServiceRequest::send(connection, ServiceRequest::accountPath(QStringLiteral("/download.xml")),
                                             { { QStringLiteral("username"), settings.username() },
                                               { QStringLiteral("sessionId"), settings.sessionId() },
                                               { QStringLiteral("sku"), packageName } },
                                             &part, headers);
    Diagnostics::output("Download ws: %s%s%s\n", qPrintable(host), qPrintable(url),
                        resuming ? qPrintable(QStringLiteral(" (da %1 byte)").arg(offset)) : "");
}

bool DownloadManager::continuesPart() const
{
    static const QRegularExpression range(QStringLiteral("^bytes (\\d+)-(\\d+)/(\\d+)$"));
    const QString told = QString::fromLatin1(connection->replyHeader("Content-Range")).trimmed();
    const QRegularExpressionMatch match = range.match(told);
    // A server that answers the range of a file whose tag changed has not read the If-Range.
    const QByteArray tag = connection->replyHeader("ETag");
    return match.hasMatch() && match.captured(1).toLongLong() == offset
        && (partial.size < 0 || match.captured(3).toLongLong() == partial.size)
        && (tag.isEmpty() || partial.etag.isEmpty() || tag == partial.etag);
}

void DownloadManager::onHeaders()
{
    const int status = connection->statusCode();
    const bool whole = status == 200;
    const QByteArray length = connection->replyHeader("Content-Length");
    // The service answers its refusals with status 200 and a few bytes: to a request that
    // continues a part, such an answer (or one whose size is not told) is held apart until its
    // body shows whether it is the whole package anew, and the kept bytes stay as they are.
    const bool maybeRefusal = whole && offset > 0 && (length.isEmpty() || length.toLongLong() <= SmallestPackage);
    replyIsPackage = (whole && !maybeRefusal) || (status == 206 && continuesPart());
    if (!replyIsPackage) {
        // An answer that is no package (or a range elsewhere) never reaches the part file.
        restartPart = status == 206 || status == 416;
        connection->keepBodyHead(DiagnosticBodyLimit);
        return;
    }
    if (whole) {
        // The file changed since the part began, or the server does not send ranges: start over.
        if (offset > 0)
            part.resize(0);
        offset = 0;
        partial.size = length.isEmpty() ? -1 : length.toLongLong();
    } else {
        const QByteArray range = connection->replyHeader("Content-Range");
        partial.size = range.mid(range.indexOf('/') + 1).toLongLong();
    }
    if (whole || !connection->replyHeader("ETag").isEmpty() || !connection->replyHeader("Last-Modified").isEmpty()) {
        partial.etag = connection->replyHeader("ETag");
        partial.lastModified = connection->replyHeader("Last-Modified");
    }
    partial.state = PartialPackage::State::Running;
    if (!partial.write())
        Diagnostics::warning("Impossibile scrivere %s", qPrintable(DataPaths::resumeFile(filePath)));
    emit progress(clampToInt(offset), clampToInt(qMax<qint64>(partial.size, 0)));
}

void DownloadManager::onProgress(int received, int announced)
{
    if (!replyIsPackage)
        return;
    const qint64 total = partial.size >= 0 ? partial.size : (announced > 0 ? offset + announced : 0);
    emit progress(clampToInt(offset + received), clampToInt(total));
}

void DownloadManager::transferEnded()
{
    const bool error = connection->error() != HttpConnection::Error::None;
    // A part file that could not be opened or written (a full disk) is not tried again.
    const bool written = !replyIsPackage || (part.isOpen() && part.flush() && part.error() == QFileDevice::NoError);
    part.close();
    const qint64 there = QFileInfo(partPath()).size();
    size = qint32(qMin<qint64>(there, std::numeric_limits<qint32>::max()));
    const int status = connection->statusCode();
    const bool whole = replyIsPackage && (partial.size < 0 || there == partial.size);
    // Why this try brought no package, for the user should no later try bring it either.
    reason = DownloadFailure::text(connection->error(), status, there, written, QFileInfo(filePath).absolutePath());

    if (!error && written && whole)
        return check(there);
    const QByteArray answer = connection->readAll();
    if (!answer.isEmpty())
        Diagnostics::debug("%s", answer.constData());
    if (!written || !connection->certificateFailure().isEmpty())
        return fail(true);
    if (restartPart) {
        partial.remove();
        return retryOrFail(false);
    }
    // Bytes count as progress only when the next try continues from them.
    if (error || status >= 500 || (replyIsPackage && there < partial.size))
        return retryOrFail(there > offset && partial.isResumable());
    if (!replyIsPackage && status == 200) {
        // Held apart from a kept part: the whole package without a length, asked for again
        // from its start, or the service's refusal, told in its own words.
        if (answer.size() > SmallestPackage) {
            partial.remove();
            return retryOrFail(false);
        }
        const QString said = ServiceReply::refusalIn(answer);
        return fail(true, said.isEmpty() ? QString() : DownloadFailure::keptAfterRefusal(said));
    }
    if (replyIsPackage)
        return fail(false, QStringLiteral("Il pacchetto scaricato è più grande di quanto annunciato dal negozio ed è "
                                          "stato eliminato. Scarica di nuovo il dizionario."));
    // A refusal of the service (a 4xx): what arrived before stays for later.
    fail(true);
}

void DownloadManager::retryOrFail(bool progressed)
{
    // A transfer that keeps bringing bytes is not failing, however often its connection drops.
    if (progressed)
        retried = 0;
    if (retried >= Retries)
        return fail(true);
    const int pause = firstRetryPause << retried++;
    Diagnostics::debug("Download %s interrotto: nuovo tentativo (%d di %d) tra %d ms", qPrintable(packageName), retried,
                       Retries, pause);
    emit retrying(retried, pause);
    retryTimer.start(pause);
}

void DownloadManager::fail(bool keepPart, const QString& message)
{
    if (keepPart && partial.isResumable()) {
        partial.state = PartialPackage::State::Stopped;
        partial.write();
    } else {
        // What arrived instead of a package may be the service's word on why.
        QFile body(partPath());
        if (body.open(QIODevice::ReadOnly))
            Diagnostics::debug("%s", body.read(DiagnosticBodyLimit).constData());
        partial.remove();
    }
    claim.release();
    failure = message.isEmpty() ? reason : message;
    size = 0;
    failed = true;
    emit ended();
}

// The whole package is there: a body too small for a package is the service's error reply, and
// a digest announced must match before the package takes its name.
void DownloadManager::check(qint64 bytes)
{
    if (bytes <= SmallestPackage) {
        QFile body(partPath());
        const QString said = body.open(QIODevice::ReadOnly) ? ServiceReply::refusalIn(body.readAll()) : QString();
        return fail(false, said.isEmpty() ? QString() : DownloadFailure::refusal(said));
    }
    // Told neither its size nor its digest, a body is whole only when it ends as an archive does:
    // a connection that dropped looks like its end.
    if (partial.size < 0 && partial.sha256.isEmpty() && !ArchiveExtractor::endsWhole(partPath())) {
        reason = DownloadFailure::text(HttpConnection::Error::None, 200, bytes, true, QString());
        partial.remove();
        return retryOrFail(false);
    }
    if (partial.sha256.isEmpty())
        return accept();
    // Read on a thread of its own: a large package takes a while.
    stopHashing = false;
    const QString path = partPath();
    hashing = QThread::create([this, path] { computedDigest = digestOf(path, stopHashing); });
    connect(hashing, &QThread::finished, this, [this, run = generation] {
        if (run == generation)
            digestComputed();
    });
    hashing->start();
}

void DownloadManager::digestComputed()
{
    hashing->deleteLater();
    hashing = nullptr;
    if (computedDigest.compare(partial.sha256.toLatin1(), Qt::CaseInsensitive) == 0)
        return accept();
    Diagnostics::warning("Impronta SHA-256 di %s: %s invece di %s", qPrintable(packageName), computedDigest.constData(),
                         qPrintable(partial.sha256));
    fail(false, QStringLiteral("Il pacchetto scaricato non corrisponde a quello del negozio (impronta SHA-256 diversa) "
                               "ed è stato eliminato. Scarica di nuovo il dizionario."));
}

void DownloadManager::accept()
{
    QFile::remove(filePath);
    if (!part.rename(filePath)) {
        Diagnostics::warning("Impossibile rinominare %s in %s", qPrintable(partPath()), qPrintable(filePath));
        return fail(true);
    }
    QFile::remove(DataPaths::resumeFile(filePath));
    finished = true;
    emit ended();
}

void DownloadManager::halt()
{
    ++generation;
    retryTimer.stop();
    if (hashing) {
        stopHashing = true;
        hashing->wait();
        delete hashing;
        hashing = nullptr;
    }
    if (connection) {
        const QSignalBlocker quiet(connection);
        connection->abort();
    }
    part.close();
    claim.release();
}

void DownloadManager::cancel()
{
    halt();
    partial.remove();
}

void DownloadManager::pause()
{
    halt();
    PartialPackage kept(filePath);
    if (kept.read() && kept.isResumable()) {
        kept.state = PartialPackage::State::Paused;
        kept.write();
    } else {
        kept.remove();
    }
}

void DownloadManager::refuse()
{
    halt();
    fail(false);
}

QString DownloadManager::partPath() const { return DataPaths::partFile(filePath); }

QString DownloadManager::errorString() const
{
    if (!failed)
        return QString();
    const QString certificate = connection ? connection->certificateFailure() : QString();
    if (!certificate.isEmpty())
        return certificate;
    return failure.isEmpty() ? QStringLiteral("Si è verificato un errore nello scaricamento del dizionario") : failure;
}
