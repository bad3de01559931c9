// The reference store service with its demo catalog, driven by the program's own service clients.
#include "base/appsettings.h"
#include "services/httpconnection.h"
#include "services/libraryws.h"
#include "services/servicerequest.h"
#include "services/updatews.h"
#include "tests/support/runningservice.h"
#include "tests/support/testsupport.h"

#include <QCryptographicHash>

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
    QByteArray body;
    QByteArray tag;
    QByteArray date;
    QByteArray range;
};
Fetched fetch(const RunningService& service, const QString& path, const HttpConnection::Headers& headers = {})
{
    HttpConnection http;
    http.setServer({ "127.0.0.1", service.port });
    QSignalSpy done(&http, &HttpConnection::done);
    http.get(path, nullptr, headers);
    Fetched result;
    if (done.wait(10000))
        result = { done.first().first().toBool(), http.statusCode(), http.readAll(), http.replyHeader("ETag"),
                   http.replyHeader("Last-Modified"), http.replyHeader("Content-Range") };
    return result;
}
}

class TestStoreService : public QObject
{
    Q_OBJECT
private:
    QTemporaryDir packages;
    const QByteArray package = TestSupport::noise(50000);
    RunningService service; // the plain one; tests of an option start their own

private slots:
    void initTestCase()
    {
#ifndef VOCALUME_STORESERVICE
        QSKIP("the store service is not built");
#endif
        QFile file(packages.filePath("ZDEMO001.zip"));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(package);
        file.close();
        QVERIFY(service.start(packages.path()));
    }

    void init()
    {
        TestSupport::resetHome();
        ServiceEndpoint::setCurrent({ "127.0.0.1", service.port });
    }

    void historyListsTheCatalogAndStoresTheCharsets()
    {
        LibraryWS library;
        QSignalSpy books(&library, &LibraryWS::replyLibrary);
        QSignalSpy errors(&library, &LibraryWS::errorMessage);
        library.getHistory("demo", "demo");
        QTRY_COMPARE_WITH_TIMEOUT(books.count(), 1, 10000);
        const QVector<Book> list = books.first().first().value<QVector<Book>>();
        QStringList ids, purchased;
        for (const Book& book : list) {
            ids << book.bookId;
            purchased << book.purchased;
            QCOMPARE(book.image, service.base() + "/media/covers/" + book.bookId + ".png");
            QVERIFY(!book.title.isEmpty());
        }
        QCOMPARE(ids, QStringList({ "ZDEMO001", "ZDEMO002", "ZDEMO003" }));
        QCOMPARE(purchased, QStringList({ "true", "true", "false" }));
        QCOMPARE(list.at(0).subtitle, QStringLiteral("Edizione dimostrativa, più di cento voci"));
        // The digest of the packages the service has.
        QCOMPARE(list.at(0).sha256, QString(QCryptographicHash::hash(package, QCryptographicHash::Sha256).toHex()));
        QCOMPARE(list.at(1).sha256, QString());
        const AppSettings settings;
        QVERIFY(settings.startCharset("it").startsWith("à|"));
        QCOMPARE(settings.startCharset("it").count('|'), settings.endCharset("it").count('|'));

        library.getHistory("demo", "scaduta");
        QTRY_COMPARE_WITH_TIMEOUT(errors.count(), 1, 10000);
        QVERIFY(errors.first().first().toString().startsWith("2: "));
    }

    // The open dictionaries are offered only once their packages were built, with their size.
    void optionalDictionariesNeedTheirPackage()
    {
        QTemporaryDir built;
        QFile file(built.filePath("ZOPEN003.zip"));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(TestSupport::noise(3 * 1024 * 1024 + 1));
        file.close();
        RunningService withPackage;
        QVERIFY(withPackage.start(built.path()));
        LibraryWS library;
        QSignalSpy books(&library, &LibraryWS::replyLibrary);
        library.getHistory("demo", "demo");
        QTRY_COMPARE_WITH_TIMEOUT(books.count(), 1, 10000);
        QStringList listed;
        for (const Book& book : books.first().first().value<QVector<Book>>())
            listed << book.bookId + "/" + book.weight + "/" + book.purchased;
        QCOMPARE(listed,
                 QStringList({ "ZDEMO001/10/true", "ZDEMO002/20/true", "ZDEMO003/30/false", "ZOPEN003/4/true" }));
    }

    void download_data()
    {
        QTest::addColumn<QString>("session");
        QTest::addColumn<QString>("sku");
        QTest::addColumn<int>("status");
        QTest::addColumn<QByteArray>("errorCode");
        QTest::newRow("purchased") << "demo" << "ZDEMO001" << 200 << QByteArray();
        QTest::newRow("package file missing") << "demo" << "ZDEMO002" << 404 << QByteArray("7");
        QTest::newRow("not purchased") << "demo" << "ZDEMO003" << 403 << QByteArray("6");
        QTest::newRow("unknown sku") << "demo" << "../ZDEMO001" << 404 << QByteArray("5");
        QTest::newRow("bad session") << "x" << "ZDEMO001" << 403 << QByteArray("2");
    }

    void download()
    {
        QFETCH(QString, session);
        QFETCH(QString, sku);
        QFETCH(int, status);
        QFETCH(QByteArray, errorCode);
        const Fetched reply = fetch(service, downloadPath(session, sku));
        QCOMPARE(reply.error, false);
        QCOMPARE(reply.status, status);
        if (errorCode.isEmpty()) {
            QVERIFY(reply.body == package);
        } else {
            QVERIFY(reply.body.size() <= 8192); // the program takes small bodies for error replies
            QVERIFY(reply.body.contains("<field name=\"errorCode\">" + errorCode + "</field>"));
        }
    }

    void ranges_data()
    {
        QTest::addColumn<QByteArray>("range");
        QTest::addColumn<QByteArray>("ifRange"); // "tag", "date": the package's own ETag, Last-Modified
        QTest::addColumn<int>("status");
        QTest::addColumn<int>("from"); // the body is the package from this byte on
        QTest::newRow("from a byte on") << QByteArray("bytes=30000-") << QByteArray() << 206 << 30000;
        QTest::newRow("if the tag holds") << QByteArray("bytes=30000-") << QByteArray("tag") << 206 << 30000;
        QTest::newRow("if the date holds") << QByteArray("bytes=49999-") << QByteArray("date") << 206 << 49999;
        QTest::newRow("if another tag holds: all") << QByteArray("bytes=30000-") << QByteArray("\"x\"") << 200 << 0;
        QTest::newRow("several ranges: all") << QByteArray("bytes=0-1,5-9") << QByteArray() << 200 << 0;
        QTest::newRow("beyond the end") << QByteArray("bytes=50000-") << QByteArray() << 416 << 50000;
    }

    void ranges()
    {
        QFETCH(QByteArray, range);
        QFETCH(QByteArray, ifRange);
        QFETCH(int, status);
        QFETCH(int, from);
        const Fetched whole = fetch(service, downloadPath("demo", "ZDEMO001"));
        QVERIFY(whole.tag.startsWith('"') && !whole.date.isEmpty());
        HttpConnection::Headers headers { { "Range", range } };
        if (!ifRange.isEmpty())
            headers << qMakePair(QByteArray("If-Range"), ifRange == "tag" ? whole.tag : ifRange == "date" ? whole.date : ifRange);
        const Fetched reply = fetch(service, downloadPath("demo", "ZDEMO001"), headers);
        QCOMPARE(reply.status, status);
        QCOMPARE(reply.tag, whole.tag);
        QVERIFY(reply.body == package.mid(from));
        QCOMPARE(reply.range, status == 206 ? "bytes " + QByteArray::number(from) + "-49999/50000"
                                            : status == 416 ? QByteArray("bytes */50000") : QByteArray());
    }

    void versionAndStorePages()
    {
        UpdateWS update;
        QSignalSpy replies(&update, &UpdateWS::replyUpdate);
        update.checkVersion();
        QTRY_COMPARE_WITH_TIMEOUT(replies.count(), 1, 10000);
        QCOMPARE(replies.first(), QList<QVariant>({ false, service.base() + "/software/" }));
        const QList<QPair<QString, QByteArray>> pages = {
            { "/customer/account/forgotpassword/", "Password dimenticata" },
            { "/customer/account/create/", "Crea un nuovo account" },
            { "/catalogsearch/result/?q=ZDEMO003", "Dizionario Italiano-Inglese" },
            { "/software/", "1.1.0" },
        };
        for (const auto& page : pages) {
            const Fetched reply = fetch(service, page.first);
            QCOMPARE(reply.status, 200);
            QVERIFY2(reply.body.contains(page.second), qPrintable(page.first));
        }
    }
};

VOCALUME_TEST_MAIN(TestStoreService)
#include "tst_storeservice.moc"
