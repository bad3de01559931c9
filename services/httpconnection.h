// The one HTTP client of the program, with the shape of the old QHttp: one request at a time
// (later ones wait in a queue), the outcome as done(bool error), the body buffered until read or
// streamed into a device. It is the only class that knows QNetworkAccessManager.
#pragma once

#include <QByteArray>
#include <QObject>
#include <QScopedPointer>
#include <QString>

class QIODevice;

class HttpConnection : public QObject
{
    Q_OBJECT
public:
    static constexpr qint64 DefaultMaximumBufferedBody = 16 * 1024 * 1024;
    static constexpr int DefaultTimeout = 60000;

    explicit HttpConnection(QObject* parent = nullptr);
    ~HttpConnection() override;

    // Host (and port) of the requests issued from now on; the port defaults to the build's.
    void setHost(const QString& host);
    void setHost(const QString& host, quint16 port);
    // Queues a GET of `pathAndQuery` (for instance "/api/zenta/login.xml?username=a").
    // Without `to`, the body is buffered until readAll(); with `to` (open for writing) the body
    // is written into it as it arrives and only a bounded amount is held in memory (whatever the
    // HTTP status: callers that need a package check statusCode()). Redirects are not followed.
    // Returns an identifier of the request.
    int get(const QString& pathAndQuery, QIODevice* to = nullptr);
    // Cancels the current request and clears the queue; the current one ends with done(true)
    // before abort() returns. Queued requests end without a signal.
    void abort();

    // Bytes of the buffered body of the finished request.
    qint64 bytesAvailable() const;
    QByteArray readAll();
    // HTTP status of the last request (0 when no reply arrived).
    int statusCode() const;
    // Largest body kept in memory; a larger buffered body ends the request as a failure.
    void setMaximumBufferedBody(qint64 bytes);
    // A request that transfers nothing for this long ends as a failure.
    void setTimeout(int milliseconds);

signals:
    // error is true for transport failures, a body cut short, time-outs and abort(); false when
    // a reply arrived, whatever its HTTP status.
    void done(bool error);
    // Body bytes so far and the announced total (0 when the reply names no length).
    void dataReadProgress(int done, int total);

private:
    struct Private;
    void startNext();
    void readBody();
    void onMetaData();
    void onFinished();
    void finish(bool error);
    void dropReply();

    QScopedPointer<Private> d;
};
