// The one HTTP client of the program, with the shape of the old QHttp: one request at a time
// (later ones wait in a queue), the outcome as finished() and error(), the body buffered until read or
// streamed into a device. It is the only class that knows QNetworkAccessManager.
// Over TLS the system's certificate checks always apply: a server that fails them gets nothing,
// and nothing is ever sent again in clear instead.
#pragma once

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QPair>
#include <QScopedPointer>
#include <QString>

class QIODevice;
struct ServiceEndpoint;

class HttpConnection : public QObject
{
    Q_OBJECT
public:
    static constexpr qint64 DefaultMaximumBufferedBody = 16 * 1024 * 1024;
    static constexpr int DefaultTimeout = 60000;
    // Request headers beyond the connection's own, as name and value.
    using Headers = QList<QPair<QByteArray, QByteArray>>;

    explicit HttpConnection(QObject* parent = nullptr);
    ~HttpConnection() override;

    // Host, port and scheme of the requests issued from now on.
    void setServer(const ServiceEndpoint& server);
    // Queues a GET of `pathAndQuery` (for instance "/api/zenta/login.xml?username=a").
    // Without `to`, the body is buffered until readAll(); with `to` (open for writing) the body
    // is written into it as it arrives and only a bounded amount is held in memory (whatever the
    // HTTP status: callers that need a package check statusCode()). Redirects are not followed.
    // `headers` go with the request (a Range, for instance). Returns an identifier of the request.
    int get(const QString& pathAndQuery, QIODevice* to = nullptr, const Headers& headers = Headers());
    // Queues a POST of `body` to `pathAndQuery`, with `headers` (its Content-Type, for
    // instance); the reply's body is buffered as for get() without a device.
    int post(const QString& pathAndQuery, const QByteArray& body, const Headers& headers = Headers());
    // Cancels the current request and clears the queue; the current one ends with done(true)
    // before abort() returns. Queued requests end without a signal.
    void abort();

    // Bytes of the buffered body of the finished request.
    qint64 bytesAvailable() const;
    QByteArray readAll();
    // HTTP status of the last request (0 when no reply arrived).
    int statusCode() const;
    // A header of the last reply as it arrived (empty when it had none).
    QByteArray replyHeader(const QByteArray& name) const;
    // From now on the current body is held in memory instead of being written into the device
    // given to get(): its first `limit` bytes, for a diagnostic; the rest is read and dropped. For
    // a reply whose status says it is no content for that device.
    void keepBodyHead(qint64 limit);
    // When the last request found no trusted secure connection (a certificate the system does not
    // accept, a server that does not speak TLS): what the user is told, naming the host. Empty
    // otherwise.
    QString certificateFailure() const;
    // Whether `text` is such a failure.
    static bool isCertificateFailure(const QString& text);
    // Why the last request failed, as far as the transfer tells.
    enum class Error {
        None,        // no failure, or a reply whose HTTP status tells the rest
        Unreachable, // no connection to the server (refused, unknown host, no network)
        TimedOut,    // nothing transferred for the time-out
        Dropped,     // the connection ended before the whole body arrived
        NotStored,   // the body could not be written where it was streamed to
        TooLarge,    // a buffered body over its limit
        Insecure,    // no trusted secure connection
        Aborted
    };
    Error error() const;
    // Largest body kept in memory; a larger buffered body ends the request as a failure.
    void setMaximumBufferedBody(qint64 bytes);
    // A request that transfers nothing for this long ends as a failure.
    void setTimeout(int milliseconds);

signals:
    // The request has ended: error() is None when a reply arrived, whatever its HTTP status;
    // otherwise the transport failed, the body was cut short, it timed out or was aborted.
    void finished();
    // Body bytes so far and the announced total (0 when the reply names no length).
    void dataReadProgress(int done, int total);
    // The status and headers of the current reply are known and no byte of its body was handed
    // on yet: statusCode() and replyHeader() tell them.
    void headersArrived();

private:
    struct Private;
    int enqueue(const QString& pathAndQuery, QIODevice* to, const Headers& headers, const QByteArray* body);
    void startNext();
    void readBody();
    void onMetaData();
    void onFinished();
    void finish(Error why);
    void dropReply();

    QScopedPointer<Private> d;
};
