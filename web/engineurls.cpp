#include "web/engineurls.h"

#include "base/datapaths.h"

#include <QDir>
#include <QUrl>

namespace {
// The local path of a file: URL, with "." and ".." resolved; empty for any other address.
QString localPath(const QUrl& url)
{
    if (!url.isLocalFile() || !url.host().isEmpty())
        return QString();
    return QDir::cleanPath(url.toLocalFile());
}

bool isInside(const QString& path, const QString& folder)
{
    return path.startsWith(QDir::cleanPath(folder) + QLatin1Char('/'));
}
}

bool EngineUrls::isEnginePage(const QUrl& url)
{
    const QString path = localPath(url);
    return isInside(path, DataPaths::engineDirectory()) && !isInside(path, DataPaths::booksDirectory());
}

bool EngineUrls::isEngineFile(const QUrl& url)
{
    return isInside(localPath(url), DataPaths::engineDirectory());
}

bool EngineUrls::isOutsideAddress(const QUrl& url)
{
    const QString scheme = url.scheme();
    return scheme == QLatin1String("http") || scheme == QLatin1String("https") || scheme == QLatin1String("mailto");
}
