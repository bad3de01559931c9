// The reference store service with its demo catalog, driven by the program's own service clients:
// what the program's tests rely on it doing.
#include "base/appsettings.h"
#include "services/httpconnection.h"
#include "services/libraryws.h"
#include "services/servicerequest.h"
#include "services/updatews.h"
#include "tests/support/runningservice.h"
#include "tests/support/serviceoutcome.h"
#include "tests/support/testsupport.h"

#include <QCryptographicHash>

using namespace ServiceOutcome;

namespace {
QString downloadPath(const QString& sessionId, const QString& sku)
{
    return ServiceRequest::url(ServiceRequest::accountPath("/download.xml"),
                               { { "username", "demo" }, { "sessionId", sessionId }, { "sku", sku + ".zip" } })
        .toString(QUrl::FullyEncoded);
}

// A GET on `service` (with `headers`): done's error flag, status, body and validators.
struct Fetched {
    bool error = true;
    int status = 0;
    QByteArray body, tag, date, range;
};
Fetched fetch(const RunningService& service, const QString& path, const HttpConnection::Headers& headers = {})
{
    HttpConnection http;
    http.setServer({ "127.0.0.1", service.port });
    QSignalSpy done(&http, &HttpConnection::done);
    http.get(path, nullptr, headers);
    if (!done.wait(10000))
        return {};
    return { done.first().first().toBool(), http.statusCode(), http.readAll(), http.replyHeader("ETag"),
             http.replyHeader("Last-Modified"), http.replyHeader("Content-Range") };
}
}

class TestStoreService : public QObject
{
    Q_OBJECT
private:
    QTemporaryDir packages;
    const QByteArray package = TestSupport::noise(50000);
    RunningService service;

private slots:
    void initTestCase()
    {
#ifndef VOCALUME_STORESERVICE
        QSKIP("the store service is not built");
#endif
        // An open dictionary is listed once its package is built, weighing its size in megabytes.
        QVERIFY(TestSupport::writeFile(packages.filePath("ZDEMO001.zip"), package));
        QVERIFY(TestSupport::writeFile(packages.filePath("ZOPEN003.zip"), TestSupport::noise(3 * 1024 * 1024 + 1)));
        QVERIFY(service.start(packages.path()));
    }

    void init()
    {
        TestSupport::resetHome();
        ServiceEndpoint::setCurrent({ "127.0.0.1", service.port });
    }

    void historyListsTheCatalogAndStoresTheCharsets()
    {
        const auto history = [](const QString& session) {
            return ask<LibraryWS>(&LibraryWS::replyLibrary, [&](LibraryWS& c) { c.getHistory("demo", session); });
        };
        const QVector<Book> list = history("demo").replied.value(0).value<QVector<Book>>();
        QStringList listed;
        for (const Book& book : list)
            listed << book.bookId + "/" + book.purchased;
        QCOMPARE(listed, QStringList({ "ZDEMO001/true", "ZDEMO002/true", "ZDEMO003/false", "ZOPEN003/true" }));
        QCOMPARE(list.last().weight, QStringLiteral("4"));
        // The digest is of the package the service has; none without one.
        QCOMPARE(list.at(0).sha256, QString(QCryptographicHash::hash(package, QCryptographicHash::Sha256).toHex()));
        QCOMPARE(list.at(1).sha256, QString());
        const AppSettings settings;
        QVERIFY(settings.startCharset("it").startsWith("à|"));
        QCOMPARE(settings.startCharset("it").count('|'), settings.endCharset("it").count('|'));
        QVERIFY(history("scaduta").error.startsWith("2: "));
    }

    // A package in whole or from a byte on (an interrupted download continues so), or a small XML
    // refusal: the program buffers those, not packages.
    void download_data()
    {
        QTest::addColumn<QString>("session");
        QTest::addColumn<QString>("sku");
        QTest::addColumn<QByteArray>("range");
        QTest::addColumn<QByteArray>("ifRange"); // "tag", "date": the package's own ETag, Last-Modified
        QTest::addColumn<int>("status");
        QTest::addColumn<int>("from"); // the body is the package from this byte on
        QTest::addColumn<QByteArray>("errorCode"); // of a refusal
        const auto package = [](const char* name, const QByteArray& range, const QByteArray& ifRange, int status,
                                int from) {
            QTest::newRow(name) << "demo" << "ZDEMO001" << range << ifRange << status << from << QByteArray();
        };
        const auto refused = [](const char* name, const QString& session, const QString& sku, int status,
                                const QByteArray& code) {
            QTest::newRow(name) << session << sku << QByteArray() << QByteArray() << status << 0 << code;
        };
        package("purchased", "", "", 200, 0);
        package("from a byte on", "bytes=30000-", "", 206, 30000);
        package("if the tag holds", "bytes=30000-", "tag", 206, 30000);
        package("if the date holds", "bytes=49999-", "date", 206, 49999);
        package("if another tag holds: all", "bytes=30000-", "\"x\"", 200, 0);
        package("several ranges: all", "bytes=0-1,5-9", "", 200, 0);
        package("beyond the end", "bytes=50000-", "", 416, 50000);
        refused("not purchased", "demo", "ZDEMO003", 403, "6");
        refused("unknown sku", "demo", "../ZDEMO001", 404, "5");
        refused("bad session", "x", "ZDEMO001", 403, "2");
    }

    void download()
    {
        QFETCH(QString, session);
        QFETCH(QString, sku);
        QFETCH(QByteArray, range);
        QFETCH(QByteArray, ifRange);
        QFETCH(int, status);
        QFETCH(int, from);
        QFETCH(QByteArray, errorCode);
        const Fetched whole = fetch(service, downloadPath("demo", "ZDEMO001"));
        QVERIFY(whole.tag.startsWith('"') && !whole.date.isEmpty());
        HttpConnection::Headers headers;
        if (!range.isEmpty())
            headers << qMakePair(QByteArray("Range"), range);
        if (!ifRange.isEmpty())
            headers << qMakePair(QByteArray("If-Range"),
                                 ifRange == "tag" ? whole.tag : ifRange == "date" ? whole.date : ifRange);
        const Fetched reply = fetch(service, downloadPath(session, sku), headers);
        QCOMPARE(reply.error, false);
        QCOMPARE(reply.status, status);
        if (!errorCode.isEmpty()) {
            QVERIFY(reply.body.size() <= 8192);
            QVERIFY(reply.body.contains("<field name=\"errorCode\">" + errorCode + "</field>"));
            return;
        }
        QCOMPARE(reply.tag, whole.tag);
        QVERIFY(reply.body == package.mid(from));
        QCOMPARE(reply.range, status == 206 ? "bytes " + QByteArray::number(from) + "-49999/50000"
                                            : status == 416 ? QByteArray("bytes */50000") : QByteArray());
    }

    // A demo run offers no update, and a download page it serves itself.
    void versionCheck()
    {
        QCOMPARE(ask<UpdateWS>(&UpdateWS::replyUpdate, [](UpdateWS& c) { c.checkVersion(); }).replied,
                 QVariantList({ false, service.base() + "/software/" }));
        QCOMPARE(fetch(service, "/software/").status, 200);
    }
};

VOCALUME_TEST_MAIN(TestStoreService)
#include "tst_storeservice.moc"
