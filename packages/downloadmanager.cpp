#include "packages/downloadmanager.h"

#include "base/appsettings.h"
#include "base/datapaths.h"
#include "base/diagnostics.h"
#include "packages/downloadfailure.h"
#include "services/httpconnection.h"
#include "services/serviceendpoint.h"
#include "services/servicerequest.h"

#include <QFileInfo>
#include <limits>

namespace {
// How much of a refused reply's body the diagnostic shows.
constexpr qint64 DiagnosticBodyLimit = 64 * 1024;

bool isSuccess(int status)
{
    return status >= 200 && status < 300;
}
}

DownloadManager::DownloadManager(const QString& sku, const QString& filePath, QObject* parent)
    : QObject(parent)
    , filePath(filePath)
    , packageName(sku + QStringLiteral(".zip"))
    , host(ServiceEndpoint::current().host)
{
    file.setFileName(filePath);
    part.setFileName(partPath());
    connection = new HttpConnection(this);
    connect(connection, &HttpConnection::done, this, &DownloadManager::done);
}

DownloadManager::~DownloadManager()
{
    // A transfer still running goes with its connection; what it wrote so far goes too.
    delete connection;
    connection = nullptr;
    if (!finished)
        discardPart();
}

void DownloadManager::start()
{
    if (failed)
        return;
    AppSettings settings;
    const QString username = settings.username();
    const QString sessionId = settings.sessionId();
    // A part file that cannot be opened makes the first write fail, which ends the transfer
    // as a failure the page hears about.
    if (!part.open(QIODevice::WriteOnly | QIODevice::Truncate))
        Diagnostics::warning("Impossibile creare il file %s", qPrintable(partPath()));
    else
        claim.claim(partPath());
    const QString url = ServiceRequest::send(connection, ServiceRequest::accountPath(QStringLiteral("/download.xml")),
                                             { { QStringLiteral("username"), username },
                                               { QStringLiteral("sessionId"), sessionId },
                                               { QStringLiteral("sku"), packageName } },
                                             &part);
    Diagnostics::output("Download ws: %s%s\n", qPrintable(host), qPrintable(url));
}

void DownloadManager::done(bool error)
{
    const qint64 received = part.isOpen() ? part.size() : 0;
    const bool flushed = !part.isOpen() || part.flush();
    part.close();
    size = qint32(qMin<qint64>(received, std::numeric_limits<qint32>::max()));

    const bool usable = !error && flushed && isSuccess(connection->statusCode()) && received > SmallestPackage;
    failure = DownloadFailure::text(connection->failure(), connection->statusCode(), received, flushed,
                                    QFileInfo(filePath).absolutePath());
    if (usable) {
        QFile::remove(filePath);
        if (part.rename(filePath)) {
            finished = true;
            return;
        }
        Diagnostics::warning("Impossibile rinominare %s in %s", qPrintable(partPath()), qPrintable(filePath));
    }

    QByteArray body;
    if (part.open(QIODevice::ReadOnly)) {
        body = part.read(DiagnosticBodyLimit);
        part.close();
    }
    discardPart();
    size = 0;
    failed = true;
    Diagnostics::debug("%s", body.constData());
}

QString DownloadManager::partPath() const { return DataPaths::partFile(filePath); }

QString DownloadManager::errorMessage() const
{
    if (!failed)
        return QString();
    const QString certificate = connection ? connection->certificateFailure() : QString();
    return certificate.isEmpty() ? failure : certificate;
}

void DownloadManager::discardPart()
{
    part.close();
    part.remove();
}
