#include "services/serviceendpoint.h"

#include "vocalumeconfig.h"

#include <QUrl>

namespace {
constexpr int PlainPort = 80;
constexpr int SecurePort = 443;

ServiceEndpoint& active()
{
    static ServiceEndpoint endpoint = ServiceEndpoint::built();
    return endpoint;
}

QString& activeStoreHost()
{
    static QString host = QStringLiteral(VOCALUME_STORE_HOST);
    return host;
}
}

QString ServiceEndpoint::scheme() const
{
    return secure ? QStringLiteral("https") : QStringLiteral("http");
}

QString ServiceEndpoint::base() const
{
    QUrl url;
    url.setScheme(scheme());
    url.setHost(host);
    if (port != (secure ? SecurePort : PlainPort))
        url.setPort(port);
    return url.toString();
}

bool ServiceEndpoint::parse(const QString& text, ServiceEndpoint* endpoint)
{
    QString address = text.trimmed();
    bool secure = false;
    for (const QString& scheme : { QStringLiteral("https://"), QStringLiteral("http://") }) {
        if (address.startsWith(scheme, Qt::CaseInsensitive)) {
            secure = scheme.size() == 8;
            address = address.mid(scheme.size());
            break;
        }
    }
    if (address.endsWith(QLatin1Char('/')))
        address.chop(1);
    if (address.isEmpty() || address.contains(QLatin1Char('/')) || address.contains(QLatin1Char('@')))
        return false;
    const QUrl url(QStringLiteral("http://") + address, QUrl::StrictMode);
    if (!url.isValid() || url.host().isEmpty() || !url.path().isEmpty() || url.hasQuery() || url.hasFragment())
        return false;
    const int chosen = url.port(secure ? SecurePort : PlainPort);
    if (chosen <= 0 || chosen > 65535)
        return false;
    *endpoint = { url.host(), quint16(chosen), secure };
    return true;
}

ServiceEndpoint ServiceEndpoint::built()
{
    return { QStringLiteral(VOCALUME_SERVICE_HOST), quint16(VOCALUME_SERVICE_PORT), VOCALUME_SERVICE_SECURE != 0 };
}

ServiceEndpoint ServiceEndpoint::current()
{
    return active();
}

void ServiceEndpoint::setCurrent(const ServiceEndpoint& endpoint)
{
    active() = endpoint;
}

QString ServiceEndpoint::storeHost()
{
    return activeStoreHost();
}

void ServiceEndpoint::setStoreHost(const QString& host)
{
    activeStoreHost() = host;
}
