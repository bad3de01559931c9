#include "packages/cachedimage.h"

#include "base/datapaths.h"
#include "base/diagnostics.h"
#include "services/httpconnection.h"
#include "services/serviceendpoint.h"

#include <QBuffer>
#include <QDir>
#include <QFileInfo>
#include <QImageReader>
#include <QSaveFile>
#include <QTimer>
#include <QUrl>

int CachedImage::deadlineMilliseconds = 30000;

CachedImage::CachedImage(const QString& url, QObject* parent)
    : QObject(parent)
    , address(url)
    , connection(new HttpConnection(this))
{
    host = address.host();
    urlPath = address.path();
    name = nameOf(url);

    // Without a covers folder nothing is cached; the download then fails rather than write
    // somewhere else.
    const QString covers = DataPaths::coversDirectory();
    const bool reachable = QDir().mkpath(covers);
    localPath = reachable ? covers + QDir::separator() + fileNameOf(name) : QString();
    file.setFileName(localPath);
    present = reachable && file.exists();
    connect(connection, &HttpConnection::finished, this, &CachedImage::replyEnded);
    // A cover that keeps trickling in would otherwise hold its library forever.
    deadline.setSingleShot(true);
    connect(&deadline, &QTimer::timeout, this, [this] {
        Diagnostics::output("Copertina scaduta: %s\n", qPrintable(urlPath));
        connection->abort();
    });
}

CachedImage::~CachedImage() = default;

bool CachedImage::isCached(const QString& url)
{
    return QFileInfo::exists(DataPaths::coversDirectory() + QDir::separator() + fileNameOf(nameOf(url)));
}

QString CachedImage::nameOf(const QString& url)
{
    return url.mid(url.lastIndexOf(QLatin1Char('/')) + 1);
}

QString CachedImage::fileNameOf(const QString& name)
{
    const int nameDot = name.lastIndexOf(QLatin1Char('.'));
    QString fileName = name;
    if (nameDot >= 0)
        fileName.replace(nameDot, 4, QStringLiteral(".png"));
    return fileName;
}

void CachedImage::start()
{
    error = false;
    connection->setServer(server());
    deadline.start(deadlineMilliseconds);
    connection->get(QUrl(urlPath).toString(QUrl::FullyEncoded));
}

ServiceEndpoint CachedImage::server() const
{
    const ServiceEndpoint services = ServiceEndpoint::current();
    // Plain HTTP chosen: the cover's host on the services' port, whatever its address says.
    if (!services.secure)
        return { host, services.port, false };
    // TLS chosen: the store's own host is reached as every other request, also when the address
    // says http. Another host is asked over TLS too (its https port, unless the address is an
    // https one naming its own): what the user reads never travels in clear, and a host that
    // does not speak TLS gives no cover.
    if (host.compare(services.host, Qt::CaseInsensitive) == 0
        || host.compare(ServiceEndpoint::storeHost(), Qt::CaseInsensitive) == 0)
        return { host, services.port, true };
    const bool secure = address.scheme().compare(QLatin1String("https"), Qt::CaseInsensitive) == 0;
    return { host, quint16(secure ? address.port(443) : 443), true };
}

void CachedImage::replyEnded()
{
    deadline.stop();
    if (connection->error() != HttpConnection::Error::None || connection->statusCode() / 100 != 2) {
        // Also a reply that is not a success: an error page must never pass for a cover.
        error = true;
        emit finished();
        return;
    }
    const QByteArray body = connection->readAll();
    QBuffer buffer;
    buffer.setData(body);
    QImageReader reader(&buffer);
    // The header tells the size: a picture too big for a cover is refused before it is decoded.
    const QSize size = reader.size();
    if (size.isValid() && size.width() <= MaxSourceSide && size.height() <= MaxSourceSide)
        image = reader.read();
    else
        image = QImage();
    QSaveFile out(localPath);
    const bool saved = !image.isNull() && !localPath.isEmpty() && out.open(QIODevice::WriteOnly)
        && image.scaled(CoverWidth, CoverHeight, Qt::IgnoreAspectRatio, Qt::SmoothTransformation).save(&out, "PNG")
        && out.commit();
    if (saved)
        Diagnostics::output("Salvata immagine %s\n", qPrintable(localPath));
    else
        error = true;
    emit finished();
}
