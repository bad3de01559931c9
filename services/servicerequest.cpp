#include "services/servicerequest.h"

#include "services/httpconnection.h"
#include "services/serviceendpoint.h"

#include <QStringList>

QUrl ServiceRequest::url(const QString& path, const Items& items)
{
    QUrl url;
    url.setPath(path);
    // Every name and value is encoded here, once, and handed over as an encoded query: a value is
    // never read as if it were encoded already ("ab%41cd" must not leave as "abAcd"), and '+',
    // which the services read as a blank, leaves as "%2B".
    QStringList pairs;
    for (const auto& item : items)
        pairs << QString::fromLatin1(QUrl::toPercentEncoding(item.first) + '=' + QUrl::toPercentEncoding(item.second));
    url.setQuery(pairs.join(QLatin1Char('&')), QUrl::StrictMode);
    return url;
}

QString ServiceRequest::send(HttpConnection* connection, const QString& path, const Items& items, QIODevice* to)
{
    const QUrl request = url(path, items);
    const ServiceEndpoint endpoint = ServiceEndpoint::current();
    connection->setHost(endpoint.host, endpoint.port);
    connection->get(request.toString(QUrl::FullyEncoded), to);
    return request.toString();
}
