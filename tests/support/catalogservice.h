// A scripted store service on 127.0.0.1: logins accepted, refused or stuck, the account's library
// from `catalog` (held, trickling or with an error), and covers whole, trickling, stuck or missing.
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

    // How many requests went to the store's `name` ("login", "getHistory").
    int requests(const char* name) const
    {
        const QByteArray path = QByteArray("/api/zenta/") + name + ".xml";
        return int(std::count_if(server.targets.begin(), server.targets.end(), [&](const QByteArray& t) { return t.startsWith(path); }));
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

    // A complete reply whose body arrives in `pieces` parts, one every 80 ms after the first.
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
            const QByteArray body = QByteArray("<result><field name=\"errorCode\">") + (loginAccepted ? "0" : "3") + "</field></result>";
            if (stuckLogins > 0 && stuckLogins--)
                return { "HTTP/1.1 200 X\r\nContent-Length: " + QByteArray::number(body.size()) + "\r\n\r\n" + body.left(8), true };
            return HttpTestServer::reply(body);
        }
        if (target.startsWith("/api/zenta/getHistory.xml"))
            return holdHistory ? HttpTestServer::Answer({}, true) : trickled(history(), historyPieces, "text/xml");
        if (target.startsWith("/media/missing"))
            return HttpTestServer::reply("<html>non trovato</html>", 404);
        if (!target.startsWith("/media/"))
            return HttpTestServer::reply("<result/>");
        QImage image(40, 60, QImage::Format_RGB32);
        image.fill(Qt::darkBlue);
        QBuffer cover;
        cover.open(QIODevice::WriteOnly);
        image.save(&cover, "PNG");
        return trickled(cover.data(), target.startsWith("/media/stuck") ? int(cover.size()) : coverPieces, "image/png");
    }
};
