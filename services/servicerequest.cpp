#include "services/servicerequest.h"

#include "services/httpconnection.h"
#include "services/serviceendpoint.h"

#include <QUrlQuery>

QUrl ServiceRequest::url(const QString& path, const Items& items)
{
    QUrl url;
    url.setPath(path);
    QUrlQuery query;
    query.setQueryDelimiters(QLatin1Char('='), QLatin1Char('&'));
    for (const auto& item : items)
        query.addQueryItem(item.first, item.second);
    // The URL layer leaves '+' as it is, and services read a bare '+' as a blank: a password
    // holding '+' would arrive altered. Only values can hold one, so encoding every '+' is safe.
    QString text = query.toString(QUrl::FullyEncoded);
    text.replace(QLatin1Char('+'), QLatin1String("%2B"));
    url.setQuery(text, QUrl::StrictMode);
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
