// Forms and sends a web-service request: a path and query items in the caller's order, each
// name and value percent-encoded exactly once, joined with '=' and '&', issued as a GET to the
// service endpoint in force.
#pragma once

#include "services/httpconnection.h"

#include <QList>
#include <QPair>
#include <QString>
#include <QUrl>

class QIODevice;

class ServiceRequest
{
public:
    using Items = QList<QPair<QString, QString>>;

    // The account services' base path.
    static QString accountPath(const QString& document) { return QStringLiteral("/api/zenta") + document; }

    static QUrl url(const QString& path, const Items& items);
    // Points `connection` at the current endpoint and queues the GET (with `headers`): the body is
    // buffered, or streamed into `to` when given. Returns the URL text for the caller's diagnostic
    // line, with the password and the session identifier (which is the password) shown as "***".
    static QString send(HttpConnection* connection, const QString& path, const Items& items, QIODevice* to = nullptr,
                        const HttpConnection::Headers& headers = HttpConnection::Headers());

private:
    // The URL; `masked`: with the values of the secret items written "***", for diagnostics.
    static QUrl build(const QString& path, const Items& items, bool masked);
};
