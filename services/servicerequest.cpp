#include "services/servicerequest.h"

#include "services/httpconnection.h"
#include "services/serviceendpoint.h"

#include <QStringList>

QUrl ServiceRequest::url(const QString& path, const Items& items)
{
    return build(path, items, false);
}

QString ServiceRequest::send(HttpConnection* connection, const QString& path, const Items& items, QIODevice* to,
                            const HttpConnection::Headers& headers)
{
    connection->setServer(ServiceEndpoint::current());
    connection->get(url(path, items).toString(QUrl::FullyEncoded), to, headers);
    return build(path, items, true).toString();
}

QUrl ServiceRequest::build(const QString& path, const Items& items, bool masked)
{
    QUrl url;
    url.setPath(path);
    // Every name and value is encoded here, once, and handed over as an encoded query: a value is
    // never read as if it were encoded already ("ab%41cd" must not leave as "abAcd"), and '+',
    // which the services read as a blank, leaves as "%2B".
    QStringList pairs;
    for (const auto& item : items) {
        const bool secret = item.first == QLatin1String("password") || item.first == QLatin1String("sessionId");
        const QByteArray value = masked && secret ? QByteArray("***") : QUrl::toPercentEncoding(item.second);
        pairs << QString::fromLatin1(QUrl::toPercentEncoding(item.first) + '=' + value);
    }
    url.setQuery(pairs.join(QLatin1Char('&')), QUrl::StrictMode);
    return url;
}
