#include "packages/cachedimage.h"

#include "app/diagnostics.h"
#include "services/httpconnection.h"
#include "services/serviceendpoint.h"

#include <QDir>
#include <QSaveFile>
#include <QTimer>
#include <QUrl>

int CachedImage::deadlineMilliseconds = 30000;

CachedImage::CachedImage(const QString& url, QObject* parent)
    : QObject(parent)
    , connection(new HttpConnection(this))
{
    const QUrl parsed(url);
    host = parsed.host();
    urlPath = parsed.path();
    name = url.mid(url.lastIndexOf(QLatin1Char('/')) + 1);

    QDir covers(QDir::homePath());
    for (const char* step : {".vocalumezenta", "engine", "covers"}) {
        const QString folder = QString::fromLatin1(step);
        if (!covers.cd(folder)) {
            covers.mkdir(folder);
            covers.cd(folder);
        }
    }
    localPath = covers.path() + QDir::separator() + name;
    const int dot = localPath.lastIndexOf(QLatin1Char('.'));
    if (dot >= 0)
        localPath.replace(dot, 4, QStringLiteral(".png"));
    file.setFileName(localPath);
    present = file.exists();
    connect(connection, &HttpConnection::done, this, &CachedImage::done);
}

CachedImage::~CachedImage() = default;

bool CachedImage::download()
{
    error = false;
    if (file.exists())
        return true;
    connection->setHost(host);
    finished = false;
    // A cover that keeps trickling in would otherwise hold the library forever.
    QTimer deadline;
    deadline.setSingleShot(true);
    connect(&deadline, &QTimer::timeout, this, [this] {
        Diagnostics::output("Copertina scaduta: %s\n", qPrintable(urlPath));
        connection->abort();
    });
    deadline.start(deadlineMilliseconds);
    connection->get(QUrl(urlPath).toString(QUrl::FullyEncoded));
    if (!finished)
        loop.exec();
    return error;
}

void CachedImage::done(bool failed)
{
    finished = true;
    if (failed || connection->statusCode() / 100 != 2) {
        // Also a reply that is not a success: an error page must never pass for a cover.
        error = true;
        loop.quit();
        return;
    }
    image.loadFromData(connection->readAll());
    QSaveFile out(localPath);
    const bool saved = !image.isNull() && out.open(QIODevice::WriteOnly)
        && image.scaled(CoverWidth, CoverHeight, Qt::IgnoreAspectRatio, Qt::SmoothTransformation).save(&out, "PNG")
        && out.commit();
    if (saved)
        Diagnostics::output("Salvata immagine %s\n", qPrintable(localPath));
    else
        error = true;
    loop.quit();
}
