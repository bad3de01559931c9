#include "web/enginenetworkaccess.h"

#include "base/diagnostics.h"
#include "web/engineurls.h"

#include <QNetworkRequest>

EngineNetworkAccess::EngineNetworkAccess(QObject* parent)
    : QNetworkAccessManager(parent)
{
}

QNetworkReply* EngineNetworkAccess::createRequest(Operation operation, const QNetworkRequest& request, QIODevice* data)
{
    const QUrl url = request.url();
    if (EngineUrls::isEngineFile(url) || url.scheme() == QLatin1String("data"))
        return QNetworkAccessManager::createRequest(operation, request, data);
    Diagnostics::debug("Richiesta rifiutata: %s", qPrintable(url.toString()));
    // A request without an address fails with an unknown protocol, as the page expects of a
    // resource it cannot have.
    return QNetworkAccessManager::createRequest(operation, QNetworkRequest(), data);
}
