#include "services/servicereply.h"

#include "services/httpconnection.h"

ServiceReply::ServiceReply(HttpConnection* connection, Encoding encoding)
{
    const int status = connection->statusCode();
    received = connection->error() == HttpConnection::Error::None && status >= 200 && status < 300;
    const QByteArray bytes = connection->readAll();
    certificateFailure = connection->certificateFailure();
    if (!received)
        return;
    body = decode(bytes, encoding);
    // A text that does not parse leaves the document empty (the parser may have kept a partial
    // tree), which isResult() then reports.
    if (!document.setContent(body))
        document = QDomDocument();
}

QString ServiceReply::decode(const QByteArray& body, Encoding encoding)
{
    const int zero = body.indexOf('\0');
    const QByteArray bytes = zero < 0 ? body : body.left(zero);
    return encoding == Encoding::Latin1 ? QString::fromLatin1(bytes) : QString::fromUtf8(bytes);
}

void ServiceReply::walk(const std::function<void(const QDomElement&)>& visit)
{
    for (QDomElement child = root().firstChildElement(); !child.isNull(); child = child.nextSiblingElement()) {
        if (child.tagName() == QLatin1String("field")) {
            const QString name = child.attribute(QStringLiteral("name"));
            if (name == QLatin1String("errorCode") && !errorSeen) {
                // The first code that refuses names the refusal: a later one, "0" included,
                // neither clears nor replaces it.
                errorCode = child.text();
                if (!errorCode.isEmpty() && errorCode != QLatin1String("0"))
                    errorSeen = true;
            } else if (name == QLatin1String("errorDescription")) {
                errorDescription = child.text();
            }
        }
        if (visit)
            visit(child);
    }
}

QString ServiceReply::refusalIn(const QByteArray& body)
{
    ServiceReply reply;
    if (!reply.document.setContent(body) || !reply.isResult())
        return QString();
    reply.walk();
    if (!reply.errorSeen)
        return QString();
    return reply.errorDescription.trimmed().isEmpty() ? reply.errorCode : reply.errorDescription.trimmed();
}

QString ServiceReply::errorString() const
{
    if (!received)
        return certificateFailure.isEmpty() ? networkError() : certificateFailure;
    if (!isResult())
        return unreadableXml();
    if (errorSeen)
        return errorCode + QStringLiteral(": ") + errorDescription;
    return QString();
}
