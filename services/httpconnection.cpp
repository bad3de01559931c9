#include "services/httpconnection.h"

#include "base/diagnostics.h"
#include "services/serviceendpoint.h"

#include <QIODevice>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QPointer>
#include <QQueue>
#include <QSslError>
#include <QUrl>
#include <limits>

namespace {
// What the network stack may hold between two reads of ours.
constexpr qint64 ReadBufferSize = 1024 * 1024;

struct Request {
    int id = 0;
    QString pathAndQuery;
    QPointer<QIODevice> to;
    bool streaming = false;
    HttpConnection::Headers headers;
    bool post = false;
    QByteArray body; // of a POST
};

const QString certificateFailurePrefix = QStringLiteral("Impossibile stabilire una connessione sicura con ");

int clampToInt(qint64 value)
{
    return int(qBound<qint64>(0, value, std::numeric_limits<int>::max()));
}

// Errors the network stack raises only because of the HTTP status: the reply itself arrived.
bool isStatusError(QNetworkReply::NetworkError error)
{
    return (error >= QNetworkReply::ContentAccessDenied && error <= QNetworkReply::UnknownContentError)
        || (error >= QNetworkReply::InternalServerError && error <= QNetworkReply::UnknownServerError);
}

// What a failed transfer's network error means to the user: `answered` when the server had begun
// to reply, `insecure` when no trusted secure connection was made.
HttpConnection::Error failureOf(QNetworkReply::NetworkError error, bool answered, bool insecure)
{
    if (insecure)
        return HttpConnection::Error::Insecure;
    // The transfer time-out ends a reply as cancelled; abort() never reaches here.
    if (error == QNetworkReply::OperationCanceledError || error == QNetworkReply::TimeoutError)
        return HttpConnection::Error::TimedOut;
    return answered ? HttpConnection::Error::Dropped : HttpConnection::Error::Unreachable;
}
}

struct HttpConnection::Private {
    QNetworkAccessManager* manager = nullptr;
    ServiceEndpoint server = ServiceEndpoint::current();
    QString refusedHost; // of the last request, when no trusted secure connection was made
    HttpConnection::Error failure = HttpConnection::Error::None;
    QQueue<Request> queue;
    Request current;
    QPointer<QNetworkReply> reply;
    QByteArray body;
    QList<QNetworkReply::RawHeaderPair> headers;
    qint64 keptHead = -1; // a body held only in part (keepBodyHead); -1: not
    bool headersTold = false;
    int status = 0;
    qint64 announced = -1;
    qint64 received = 0;
    qint64 maximumBody = HttpConnection::DefaultMaximumBufferedBody;
    int timeout = HttpConnection::DefaultTimeout;
    int nextId = 1;
    bool delivering = false;
};

HttpConnection::HttpConnection(QObject* parent)
    : QObject(parent)
    , d(new Private)
{
    d->manager = new QNetworkAccessManager(this);
}

HttpConnection::~HttpConnection()
{
    d->queue.clear();
    dropReply();
}

void HttpConnection::setServer(const ServiceEndpoint& server)
{
    d->server = server;
}

int HttpConnection::get(const QString& pathAndQuery, QIODevice* to, const Headers& headers)
{
    return enqueue(pathAndQuery, to, headers, nullptr);
}

int HttpConnection::post(const QString& pathAndQuery, const QByteArray& body, const Headers& headers)
{
    return enqueue(pathAndQuery, nullptr, headers, &body);
}

int HttpConnection::enqueue(const QString& pathAndQuery, QIODevice* to, const Headers& headers, const QByteArray* body)
{
    Request request;
    request.id = d->nextId++;
    request.pathAndQuery = pathAndQuery;
    request.to = to;
    request.streaming = to != nullptr;
    request.headers = headers;
    request.post = body != nullptr;
    if (body)
        request.body = *body;
    d->queue.enqueue(request);
    if (!d->delivering)
        startNext();
    return request.id;
}

void HttpConnection::abort()
{
    d->queue.clear();
    if (d->reply)
        finish(Error::Aborted);
}

qint64 HttpConnection::bytesAvailable() const
{
    return d->body.size();
}

QByteArray HttpConnection::readAll()
{
    QByteArray body;
    body.swap(d->body);
    return body;
}

int HttpConnection::statusCode() const
{
    return d->status;
}

QByteArray HttpConnection::replyHeader(const QByteArray& name) const
{
    for (const QNetworkReply::RawHeaderPair& header : d->headers)
        if (header.first.compare(name, Qt::CaseInsensitive) == 0)
            return header.second;
    return QByteArray();
}

void HttpConnection::keepBodyHead(qint64 limit)
{
    d->current.streaming = false;
    d->current.to = nullptr;
    d->keptHead = limit;
}

QString HttpConnection::certificateFailure() const
{
    if (d->refusedHost.isEmpty())
        return QString();
    return certificateFailurePrefix + d->refusedHost
        + QStringLiteral(": il server non ha presentato un certificato valido e attendibile, quindi non gli è "
                         "stato inviato nulla. Controlla l'indirizzo del negozio e la data e l'ora del computer, poi "
                         "riprova.");
}

HttpConnection::Error HttpConnection::error() const
{
    return d->failure;
}

bool HttpConnection::isCertificateFailure(const QString& text)
{
    return text.startsWith(certificateFailurePrefix);
}

void HttpConnection::setMaximumBufferedBody(qint64 bytes)
{
    d->maximumBody = bytes;
}

void HttpConnection::setTimeout(int milliseconds)
{
    d->timeout = milliseconds;
}

void HttpConnection::startNext()
{
    if (d->reply || d->queue.isEmpty())
        return;
    d->current = d->queue.dequeue();
    d->body.clear();
    d->headers.clear();
    d->keptHead = -1;
    d->headersTold = false;
    d->status = 0;
    d->announced = -1;
    d->received = 0;
    d->refusedHost.clear();
    d->failure = Error::None;

    QUrl url(d->current.pathAndQuery, QUrl::TolerantMode);
    url.setScheme(d->server.scheme());
    url.setHost(d->server.host);
    url.setPort(d->server.port);
    QNetworkRequest request(url);
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::ManualRedirectPolicy);
    request.setTransferTimeout(d->timeout);
    // Bodies are counted against Content-Length, which only holds for an unencoded body.
    request.setRawHeader("Accept-Encoding", "identity");
    for (const auto& header : d->current.headers)
        request.setRawHeader(header.first, header.second);

    QNetworkReply* reply = d->current.post ? d->manager->post(request, d->current.body) : d->manager->get(request);
    reply->setReadBufferSize(ReadBufferSize);
    d->reply = reply;
    connect(reply, &QNetworkReply::metaDataChanged, this, &HttpConnection::onMetaData);
    connect(reply, &QNetworkReply::readyRead, this, &HttpConnection::readBody);
    connect(reply, &QNetworkReply::finished, this, &HttpConnection::onFinished);
    // The errors are never ignored: the handshake then fails and the request ends as a failure.
    connect(reply, &QNetworkReply::sslErrors, this, [this, reply](const QList<QSslError>& errors) {
        d->refusedHost = reply->url().host();
        for (const QSslError& error : errors)
            Diagnostics::warning("Certificato rifiutato da %s: %s", qPrintable(d->refusedHost),
                                 qPrintable(error.errorString()));
    });
    // The total is the announced length: the stack reports the received count as the total
    // at the end of a reply that announced none.
    connect(reply, &QNetworkReply::downloadProgress, this, [this](qint64 received, qint64) {
        emit dataReadProgress(clampToInt(received), d->announced < 0 ? 0 : clampToInt(d->announced));
    });
}

void HttpConnection::onMetaData()
{
    const QVariant status = d->reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    d->status = status.isValid() ? status.toInt() : 0;
    const QVariant length = d->reply->header(QNetworkRequest::ContentLengthHeader);
    d->announced = length.isValid() ? length.toLongLong() : -1;
    d->headers = d->reply->rawHeaderPairs();
    if (!d->headersTold && status.isValid()) {
        d->headersTold = true;
        QPointer<QNetworkReply> reply(d->reply);
        emit headersArrived();
        if (!reply || reply != d->reply)
            return; // the receiver ended the request
    }
    // Refuse an oversized body before any of it is read.
    if (!d->current.streaming && d->keptHead < 0 && d->announced > d->maximumBody)
        finish(Error::TooLarge);
}

void HttpConnection::readBody()
{
    if (!d->reply || d->reply->bytesAvailable() <= 0)
        return;
    const QByteArray chunk = d->reply->readAll();
    d->received += chunk.size();
    bool stored = true;
    if (d->current.streaming)
        stored = d->current.to && d->current.to->write(chunk) == chunk.size();
    else if (d->keptHead >= 0)
        d->body.append(chunk.left(int(qBound<qint64>(0, d->keptHead - d->body.size(), chunk.size()))));
    else {
        stored = d->body.size() + chunk.size() <= d->maximumBody;
        if (stored)
            d->body.append(chunk);
    }
    if (!stored)
        finish(d->current.streaming ? Error::NotStored : Error::TooLarge);
}

void HttpConnection::onFinished()
{
    readBody();
    if (!d->reply)
        return; // already ended while reading
    const QNetworkReply::NetworkError error = d->reply->error();
    // A reply that carries an error status arrived, whatever the stack calls it (400 and 418 an
    // invalid operation, 407 a proxy failure): its status tells the rest.
    bool failed = error != QNetworkReply::NoError && !isStatusError(error) && d->status < 400;
    if (error == QNetworkReply::SslHandshakeFailedError)
        d->refusedHost = d->reply->url().host();
    // The stack reports a body cut short itself; this guard keeps a short reply from ever passing.
    if (!failed && d->announced >= 0 && d->received != d->announced)
        failed = true;
    finish(failed ? failureOf(error, d->received > 0 || d->status != 0, !d->refusedHost.isEmpty()) : Error::None);
}

void HttpConnection::dropReply()
{
    QNetworkReply* reply = d->reply;
    d->reply = nullptr;
    if (!reply)
        return;
    reply->disconnect(this);
    if (reply->isRunning())
        reply->abort();
    reply->deleteLater();
}

void HttpConnection::finish(Error why)
{
    d->failure = why;
    dropReply();
    if (why != Error::None)
        d->body.clear();
    QPointer<HttpConnection> self(this);
    d->delivering = true;
    emit finished();
    if (!self)
        return;
    d->delivering = false;
    startNext();
}
