#include "services/serviceendpoint.h"

#include "vocalumeconfig.h"

namespace {
ServiceEndpoint& active()
{
    static ServiceEndpoint endpoint { QStringLiteral(VOCALUME_SERVICE_HOST), quint16(VOCALUME_HTTP_PORT) };
    return endpoint;
}

QString& activeStoreHost()
{
    static QString host = QStringLiteral(VOCALUME_STORE_HOST);
    return host;
}
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
