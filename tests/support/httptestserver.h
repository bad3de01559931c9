// A scripted HTTP server on 127.0.0.1 for tests: it reads each request head (and the body its
// Content-Length announces), records the request target and body and answers with exactly the
// bytes the test chooses, so malformed, short, slow or held replies are as easy to produce as
// good ones.
#pragma once

#include "services/serviceendpoint.h"

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>
#include <functional>

class HttpTestServer
{
public:
    struct Answer {
        Answer(const QByteArray& bytes = {}, bool hold = false, const QList<QByteArray>& later = {})
            : bytes(bytes), hold(hold), later(later)
        {
        }
        QByteArray bytes; // written as they are
        bool hold;        // keep the connection open afterwards instead of closing it
        QList<QByteArray> later; // written one every 80 ms after `bytes`, then the connection closes
    };
    using Responder = std::function<Answer(const QByteArray& target)>;

    HttpTestServer()
    {
        server.listen(QHostAddress::LocalHost);
        QObject::connect(&server, &QTcpServer::newConnection, &server, [this] {
            while (QTcpSocket* socket = server.nextPendingConnection())
                accept(socket);
        });
    }

    quint16 port() const { return server.serverPort(); }
    // Points the process's service endpoint at this server.
    void makeCurrent() const { ServiceEndpoint::setCurrent({ QStringLiteral("127.0.0.1"), port() }); }
    void respond(Responder responder) { answer = std::move(responder); }
    void respondWith(const QByteArray& bytes)
    {
        answer = [bytes](const QByteArray&) { return Answer { bytes, false }; };
    }

    // A complete reply with Content-Length, closing the connection.
    static QByteArray reply(const QByteArray& body, int status = 200, const QByteArray& headers = QByteArray())
    {
        return "HTTP/1.1 " + QByteArray::number(status) + " X\r\nConnection: close\r\nContent-Type: text/xml\r\n"
            + headers + "Content-Length: " + QByteArray::number(body.size()) + "\r\n\r\n" + body;
    }

    QList<QByteArray> targets;           // request targets in arrival order
    QList<QByteArray> bodies;            // and their bodies (empty for none)
    QList<QPointer<QTcpSocket>> held;    // connections answered with hold = true

private:
    void accept(QTcpSocket* socket)
    {
        QObject::connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
        QObject::connect(socket, &QTcpSocket::readyRead, socket, [this, socket] {
            QByteArray& head = heads[socket];
            head += socket->readAll();
            const int end = head.indexOf("\r\n\r\n");
            if (end < 0)
                return;
            const int length = contentLength(head.left(end));
            if (head.size() < end + 4 + length)
                return;
            const QList<QByteArray> requestLine = head.left(head.indexOf("\r\n")).split(' ');
            bodies << head.mid(end + 4, length);
            heads.remove(socket);
            const QByteArray target = requestLine.value(1);
            targets << target;
            const Answer a = answer ? answer(target) : Answer { reply("<result/>"), false };
            socket->write(a.bytes);
            if (a.hold)
                held << socket;
            if (!a.later.isEmpty())
                trickle(socket, a.later);
            else if (!a.hold)
                socket->disconnectFromHost();
        });
    }

    static int contentLength(const QByteArray& head)
    {
        for (const QByteArray& line : head.split('\n'))
            if (line.toLower().startsWith("content-length:"))
                return line.mid(15).trimmed().toInt();
        return 0;
    }

    static void trickle(QTcpSocket* socket, QList<QByteArray> pieces)
    {
        auto* timer = new QTimer(socket);
        QObject::connect(timer, &QTimer::timeout, socket, [socket, timer, pieces]() mutable {
            socket->write(pieces.takeFirst());
            if (pieces.isEmpty()) {
                timer->stop();
                socket->disconnectFromHost();
            }
        });
        timer->start(80);
    }

    QTcpServer server;
    Responder answer;
    QHash<QTcpSocket*, QByteArray> heads;
};
