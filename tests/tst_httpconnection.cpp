// The program's HTTP client against a scripted server: outcomes, the queue, abort, the bound on
// buffered bodies, time-outs and streaming into a device.
#include "services/httpconnection.h"
#include "tests/support/httptestserver.h"
#include "tests/support/testsupport.h"

#include <QBuffer>
#include <QElapsedTimer>

// Waits until the connection has reported `n` outcomes.
#define WAIT_DONE(n, ms) QTRY_COMPARE_WITH_TIMEOUT(doneSpy->count(), n, ms)

class TestHttpConnection : public QObject
{
    Q_OBJECT
private:
    QScopedPointer<HttpTestServer> server;
    QScopedPointer<HttpConnection> http;
    QScopedPointer<QSignalSpy> doneSpy;

    bool lastError() const { return doneSpy->last().at(0).toBool(); }

private slots:
    void init()
    {
        TestSupport::resetHome();
        server.reset(new HttpTestServer);
        http.reset(new HttpConnection);
        http->setServer({ "127.0.0.1", server->port() });
        doneSpy.reset(new QSignalSpy(http.data(), &HttpConnection::done));
    }

    void outcomes_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<bool>("error");
        QTest::addColumn<int>("status");
        const QByteArray body = "<result>corpo</result>";
        QTest::newRow("ok") << HttpTestServer::reply(body) << false << 200;
        QTest::newRow("not found") << HttpTestServer::reply(body, 404) << false << 404;
        QTest::newRow("redirect is not followed") << HttpTestServer::reply(body, 302, "Location: /\r\n") << false << 302;
        QTest::newRow("body delimited by close") << "HTTP/1.0 200 OK\r\n\r\n" + body << false << 200;
        QTest::newRow("closed before any reply") << QByteArray() << true << 0;
        QTest::newRow("body shorter than Content-Length") << "HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\n" + body
                                                          << true << 200;
        QTest::newRow("not HTTP") << QByteArray("220 welcome to something else\r\n") << true << 0;
    }

    void outcomes()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(bool, error);
        QFETCH(int, status);
        server->respondWith(bytes);
        http->get("/api/zenta/login.xml?username=a%20b&password=c%26d");
        WAIT_DONE(1, 10000);
        QCOMPARE(lastError(), error);
        QCOMPARE(http->statusCode(), status); // 0 when no reply arrived
        if (!error) {
            QCOMPARE(http->readAll(), QByteArray("<result>corpo</result>"));
            QCOMPARE(server->targets.value(0), "/api/zenta/login.xml?username=a%20b&password=c%26d");
        }
        QCOMPARE(http->bytesAvailable(), qint64(0));
    }

    void requestsQueueOneAtATime()
    {
        // The first reply stops three bytes short of its length until the test releases it; a
        // third request is issued from the slot that reads the second, when the queue is empty.
        server->respond([](const QByteArray& target) {
            const QByteArray whole = HttpTestServer::reply("body of " + target);
            return target == "/first" ? HttpTestServer::Answer { whole.chopped(3), true } : whole;
        });
        QList<QByteArray> bodies;
        connect(http.data(), &HttpConnection::done, this, [&bodies, this](bool) {
            bodies << http->readAll();
            if (bodies.size() == 2)
                http->get("/again");
        });
        http->get("/first");
        http->get("/second");
        QTRY_COMPARE(server->targets.size(), 1);
        QTest::qWait(200);
        QCOMPARE(server->targets.size(), 1); // the second waits for the first reply
        QCOMPARE(doneSpy->count(), 0);
        server->held.first()->write("rst");
        server->held.first()->disconnectFromHost();
        WAIT_DONE(3, 10000);
        QCOMPARE(server->targets, QList<QByteArray>({ "/first", "/second", "/again" }));
        QCOMPARE(bodies, QList<QByteArray>({ "body of /first", "body of /second", "body of /again" }));
        for (const QList<QVariant>& outcome : qAsConst(*doneSpy))
            QCOMPARE(outcome.at(0).toBool(), false);
    }

    void abortEndsTheCurrentRequestAndDropsTheQueue()
    {
        server->respond([](const QByteArray& target) {
            return HttpTestServer::Answer { "HTTP/1.1 200 OK\r\nContent-Length: 50\r\n\r\npart", target == "/held" };
        });
        http->get("/held");
        http->get("/queued");
        QTRY_COMPARE(server->targets.size(), 1);
        http->abort();
        QCOMPARE(doneSpy->count(), 1); // reported before abort() returns
        QCOMPARE(lastError(), true);
        QCOMPARE(http->bytesAvailable(), qint64(0));
        QTest::qWait(200);
        QCOMPARE(server->targets.size(), 1);
        http->abort(); // nothing pending: no signal
        QCOMPARE(doneSpy->count(), 1);

        server->respondWith(HttpTestServer::reply("<result/>"));
        http->get("/after");
        WAIT_DONE(2, 10000);
        QCOMPARE(lastError(), false);
        QCOMPARE(http->readAll(), QByteArray("<result/>"));
    }

    void bufferedBodyIsBounded_data()
    {
        QTest::addColumn<qint64>("bound");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<bool>("error");
        const QByteArray small = "HTTP/1.0 200 OK\r\n\r\n" + TestSupport::noise(4096);
        const QByteArray tooLong = "HTTP/1.1 200 OK\r\nContent-Length: " + QByteArray::number(16 * 1024 * 1024 + 1);
        QTest::newRow("default bound, larger length announced") << qint64(-1) << tooLong + "\r\n\r\n" << true;
        QTest::newRow("default bound, body of exactly 16 MiB")
            << qint64(-1) << HttpTestServer::reply(TestSupport::noise(16 * 1024 * 1024)) << false;
        QTest::newRow("no length, body one byte over") << qint64(4095) << small << true;
        QTest::newRow("no length, body at the bound") << qint64(4096) << small << false;
    }

    void bufferedBodyIsBounded()
    {
        QFETCH(qint64, bound);
        QFETCH(QByteArray, bytes);
        QFETCH(bool, error);
        if (bound > 0)
            http->setMaximumBufferedBody(bound);
        // The announced-length case holds the connection open: only the header can end it.
        const bool headOnly = bytes.endsWith("\r\n\r\n");
        server->respond([bytes, headOnly](const QByteArray&) { return HttpTestServer::Answer(bytes, headOnly); });
        http->get("/big");
        WAIT_DONE(1, 20000);
        QCOMPARE(lastError(), error);
        QCOMPARE(http->bytesAvailable(), error ? 0 : bound > 0 ? bound : 16 * 1024 * 1024);
    }

    void inactivityEndsTheRequest()
    {
        http->setTimeout(300);
        server->respond([](const QByteArray&) {
            return HttpTestServer::Answer { "HTTP/1.1 200 OK\r\nContent-Length: 10\r\n\r\nabc", true };
        });
        QElapsedTimer clock;
        clock.start();
        http->get("/slow");
        WAIT_DONE(1, 5000);
        QCOMPARE(lastError(), true);
        QVERIFY(clock.elapsed() >= 250);
    }

    void streamingWritesIntoTheDeviceAsBytesArrive()
    {
        QTemporaryDir dir;
        QFile file(dir.filePath("package.zip"));
        QVERIFY(file.open(QIODevice::WriteOnly));
        const QByteArray body = TestSupport::noise(6 * 1024 * 1024);
        const int firstPart = 3 * 1024 * 1024;
        const QByteArray head = "HTTP/1.1 200 OK\r\nContent-Length: " + QByteArray::number(body.size()) + "\r\n\r\n";
        server->respond([&](const QByteArray&) { return HttpTestServer::Answer(head + body.left(firstPart), true); });
        QSignalSpy progress(http.data(), &HttpConnection::dataReadProgress);
        http->get("/api/zenta/download.xml?sku=a.zip", &file);
        // Half the body is on disk while the reply is still open.
        QTRY_COMPARE_WITH_TIMEOUT(file.size(), qint64(firstPart), 10000);
        QCOMPARE(doneSpy->count(), 0);
        QCOMPARE(http->bytesAvailable(), qint64(0));
        server->held.first()->write(body.mid(firstPart));
        server->held.first()->disconnectFromHost();
        WAIT_DONE(1, 10000);
        QCOMPARE(lastError(), false);
        file.close();
        QVERIFY(file.open(QIODevice::ReadOnly));
        QVERIFY(file.readAll() == body);
        QCOMPARE(progress.last(), QList<QVariant>({ body.size(), body.size() }));

        // A device that refuses the bytes fails the request.
        QBuffer readOnly;
        QVERIFY(readOnly.open(QIODevice::ReadOnly));
        server->respondWith(HttpTestServer::reply(body.left(20000)));
        QTest::ignoreMessage(QtWarningMsg, "QIODevice::write (QBuffer): ReadOnly device");
        http->get("/x", &readOnly);
        WAIT_DONE(2, 10000);
        QCOMPARE(lastError(), true);
    }
};

VOCALUME_TEST_MAIN(TestHttpConnection)
#include "tst_httpconnection.moc"
