// A scripted store service on 127.0.0.1 for the sign-in and synchronisation tests: logins that
// are accepted, refused or stuck, the account's library from `catalog` (held, trickling or with
// an error), and covers that arrive at once, trickle, never finish or are missing.
#pragma once

#include "tests/support/httptestserver.h"

#include <QBuffer>
#include <QImage>
#include <QString>
#include <algorithm>

class CatalogService
{
public:
    struct Entry {
        QString sku;
        QString purchased;
        QString revision;
        QString cover;
    };

    QList<Entry> catalog;
    QByteArray historyError; // error fields of the history reply
    bool holdHistory = false;
    int historyPieces = 1; // above 1: the history reply trickles in
    int coverPieces = 1;   // above 1: every cover trickles in
    int stuckLogins = 0;   // this many login replies stop after their first bytes
    bool loginAccepted = true;
    HttpTestServer server;

    CatalogService()
    {
        server.makeCurrent();
        server.respond([this](const QByteArray& target) { return answer(target); });
    }

    int requests(const QByteArray& path) const
    {
        return int(std::count_if(server.targets.begin(), server.targets.end(),
                                 [&path](const QByteArray& t) { return t.startsWith(path); }));
    }
    int loginRequests() const { return requests("/api/zenta/login.xml"); }
    int historyRequests() const { return requests("/api/zenta/getHistory.xml"); }

    static QByteArray png(int w, int h)
    {
        QImage image(w, h, QImage::Format_RGB32);
        image.fill(Qt::darkBlue);
        QBuffer buffer;
        buffer.open(QIODevice::WriteOnly);
        image.save(&buffer, "PNG");
        return buffer.data();
    }

private:
    QByteArray history() const
    {
        QByteArray xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?><result>" + historyError;
        for (const Entry& e : catalog) {
            xml += "<book><field name=\"bookId\">" + e.sku.toUtf8() + "</field>"
                   "<field name=\"title\">Dizionario " + e.sku.toUtf8() + "</field>"
                   "<field name=\"author\">Autore d'esempio</field>"
                   "<field name=\"purchased\">" + e.purchased.toUtf8() + "</field>"
                   "<field name=\"revision\">" + e.revision.toUtf8() + "</field>"
                   "<field name=\"image\">http://127.0.0.1/media/" + e.cover.toUtf8() + "</field></book>";
        }
        return xml + "</result>";
    }

    // A complete reply whose body arrives in `pieces` parts, one every 80 ms.
    static HttpTestServer::Answer trickled(const QByteArray& body, int pieces, const QByteArray& type)
    {
        const int step = qMax(1, (body.size() + pieces - 1) / pieces);
        QList<QByteArray> parts;
        for (int at = 0; at < body.size(); at += step)
            parts << body.mid(at, step);
        const QByteArray head = "HTTP/1.1 200 X\r\nConnection: close\r\nContent-Type: " + type
            + "\r\nContent-Length: " + QByteArray::number(body.size()) + "\r\n\r\n";
        return { head + parts.takeFirst(), false, parts };
    }

    HttpTestServer::Answer answer(const QByteArray& target)
    {
        if (target.startsWith("/api/zenta/login.xml")) {
            const QByteArray body = loginAccepted ? "<result><field name=\"errorCode\">0</field></result>"
                                                  : "<result><field name=\"errorCode\">3</field></result>";
            if (stuckLogins > 0 && stuckLogins--)
                return { "HTTP/1.1 200 X\r\nContent-Length: " + QByteArray::number(body.size()) + "\r\n\r\n" + body.left(8),
                         true };
            return { HttpTestServer::reply(body), false };
        }
        if (target.startsWith("/api/zenta/getHistory.xml")) {
            if (historyPieces > 1)
                return trickled(history(), historyPieces, "text/xml");
            return { holdHistory ? QByteArray() : HttpTestServer::reply(history()), holdHistory };
        }
        if (target.startsWith("/media/missing"))
            return { HttpTestServer::reply("<html>non trovato</html>", 404), false };
        if (target.startsWith("/media/stuck")) {
            const QByteArray cover = png(40, 60);
            return trickled(cover, cover.size(), "image/png");
        }
        if (target.startsWith("/media/") && coverPieces > 1)
            return trickled(png(40, 60), coverPieces, "image/png");
        if (target.startsWith("/media/"))
            return { HttpTestServer::reply(png(40, 60), 200, "Content-Type: image/png\r\n"), false };
        return { HttpTestServer::reply("<result/>"), false };
    }
};
