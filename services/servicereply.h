// The reply envelope shared by the service clients: the buffered body decoded up to its first
// zero byte, parsed as XML with the root element "result", the fields "errorCode" and
// "errorDescription", and the Italian texts of the three ways a request can fail.
#pragma once

#include <QDomDocument>
#include <QString>
#include <functional>

class HttpConnection;

class ServiceReply
{
public:
    enum class Encoding { Latin1, Utf8 };

    static QString networkError() { return QStringLiteral("Errore di rete"); }
    static QString unreadableXml() { return QStringLiteral("XML non interpretabile"); }

    // Takes in the request that `connection` has just finished. A transport failure, or a reply
    // whose HTTP status is not a success, counts as not arrived and nothing is read.
    ServiceReply(HttpConnection* connection, Encoding encoding);

    static QString decode(const QByteArray& body, Encoding encoding);

    bool arrived() const { return received; }
    // The decoded body.
    QString text() const { return body; }
    // Whether the document element is exactly "result" (an unparsable text has none).
    bool isResult() const { return document.documentElement().tagName() == QLatin1String("result"); }
    QDomElement root() const { return document.documentElement(); }

    // Walks the element children of the root in document order, taking in the error fields;
    // every element is also handed to `visit`.
    void walk(const std::function<void(const QDomElement&)>& visit = {});
    // What errorMessage carries for this reply: "Errore di rete" (or, when no trusted secure
    // connection was made, the text naming the host), "XML non interpretabile", error code +
    // ": " + error description, or an empty text for a success.
    QString errorString() const;

    // The service's own words when `body` is its reply refusing a request (its error
    // description, else its error code); empty for anything else, a package's bytes among them.
    static QString refusalIn(const QByteArray& body);

private:
    ServiceReply() = default;

    bool received = false;
    QString certificateFailure;
    QString body;
    QDomDocument document;
    QString errorCode;
    QString errorDescription;
    bool errorSeen = false;
};
