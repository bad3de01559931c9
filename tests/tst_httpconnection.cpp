// The program's HTTP client against a scripted server: outcomes, the bound on buffered bodies,
// time-outs, the queue, abort and streaming into a device.
#include "services/httpconnection.h"
#include "tests/support/httptestserver.h"
#include "tests/support/testsupport.h"

#include <QBuffer>
#include <QElapsedTimer>

// Waits until the connection has reported `n` outcomes.
#define WAIT_DONE(n) QTRY_COMPARE_WITH_TIMEOUT(doneSpy->count(), n, 10000)

class TestHttpConnection : public QObject
{
    Q_OBJECT
private:
    QScopedPointer<HttpTestServer> server;
    QScopedPointer<HttpConnection> http;
    QScopedPointer<QSignalSpy> doneSpy;

    bool lastError() const { return doneSpy->last().at(0).toBool(); }
    // Answers every request with `bytes`, keeping the connection open when `hold`.
    void answer(const QByteArray& bytes, bool hold = true)
    {
        server->respond([bytes, hold](const QByteArray&) { return HttpTestServer::Answer(bytes, hold); });
    }

private slots:
    void init()
    {
        TestSupport::resetHome();
        server.reset(new HttpTestServer);
        http.reset(new HttpConnection);
        http->setServer({ "127.0.0.1", server->port() });
        doneSpy.reset(new QSignalSpy(http.data(), &HttpConnection::done));
    }

    // A reply that arrived whole is no error whatever its status; its body is what follows the head.
    void outcomes_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<bool>("hold");      // the server keeps the connection open after the bytes
        QTest::addColumn<qint64>("bound");   // of buffered bodies; 0: the default
        QTest::addColumn<int>("timeout");    // 0: the default
        QTest::addColumn<bool>("error");
        QTest::addColumn<int>("status");     // 0 when no reply arrived
        const auto row = [](const char* name, const QByteArray& bytes, bool error, int status, bool hold = false,
                            qint64 bound = 0, int timeout = 0) {
            QTest::newRow(name) << bytes << hold << bound << timeout << error << status;
        };
        const QByteArray body = "<result>corpo</result>";
        const QByteArray small = "HTTP/1.0 200 OK\r\n\r\n" + TestSupport::noise(4096);
        row("ok", HttpTestServer::reply(body), false, 200);
        row("not found", HttpTestServer::reply(body, 404), false, 404);
        row("redirect is not followed", HttpTestServer::reply(body, 302, "Location: /\r\n"), false, 302);
        row("body delimited by close", "HTTP/1.0 200 OK\r\n\r\n" + body, false, 200);
        row("closed before any reply", "", true, 0);
        row("body shorter than Content-Length", "HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\n" + body, true, 200);
        row("not HTTP", "220 welcome to something else\r\n", true, 0);
        // Only the announced length can end this one: the connection stays open.
        row("default bound, larger length announced", "HTTP/1.1 200 OK\r\nContent-Length: "
            + QByteArray::number(HttpConnection::DefaultMaximumBufferedBody + 1) + "\r\n\r\n", true, 200, true);
        row("length announced at the bound", HttpTestServer::reply(TestSupport::noise(4096)), false, 200, false, 4096);
        row("no length, body one byte over", small, true, 200, false, 4095);
        row("no length, body at the bound", small, false, 200, false, 4096);
        row("inactivity", "HTTP/1.1 200 OK\r\nContent-Length: 10\r\n\r\nabc", true, 200, true, 0, 300);
    }

    void outcomes()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(bool, hold);
        QFETCH(qint64, bound);
        QFETCH(int, timeout);
        QFETCH(bool, error);
        QFETCH(int, status);
        if (bound)
            http->setMaximumBufferedBody(bound);
        if (timeout)
            http->setTimeout(timeout);
        answer(bytes, hold);
        QElapsedTimer clock;
        clock.start();
        http->get("/api/zenta/login.xml?username=a%20b&password=c%26d");
        WAIT_DONE(1);
        QCOMPARE(lastError(), error);
        QCOMPARE(http->statusCode(), status);
        QVERIFY(clock.elapsed() >= timeout * 4 / 5);
        if (!error) {
            QVERIFY(http->readAll() == bytes.mid(bytes.indexOf("\r\n\r\n") + 4));
            QCOMPARE(server->targets.value(0), "/api/zenta/login.xml?username=a%20b&password=c%26d");
        }
        QCOMPARE(http->bytesAvailable(), qint64(0));
    }

    // The first reply stops three bytes short until the test releases it; a third request is
    // issued from the slot that reads the second, when the queue is empty.
    void requestsQueueOneAtATime()
    {
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
        WAIT_DONE(3);
        QCOMPARE(server->targets, QList<QByteArray>({ "/first", "/second", "/again" }));
        QCOMPARE(bodies, QList<QByteArray>({ "body of /first", "body of /second", "body of /again" }));
        QCOMPARE(*doneSpy, QList<QVariantList>({ { false }, { false }, { false } }));
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
        QCOMPARE(*doneSpy, QList<QVariantList>({ { true } })); // before abort() returns
        QCOMPARE(http->bytesAvailable(), qint64(0));
        QTest::qWait(200);
        QCOMPARE(server->targets.size(), 1);
        http->abort(); // nothing pending: no signal
        QCOMPARE(doneSpy->count(), 1);

        server->respondWith(HttpTestServer::reply("<result/>"));
        http->get("/after");
        WAIT_DONE(2);
        QCOMPARE(lastError(), false);
        QCOMPARE(http->readAll(), QByteArray("<result/>"));
    }

    void streamingWritesIntoTheDeviceAsBytesArrive()
    {
        QTemporaryDir dir;
        QFile file(dir.filePath("package.zip"));
        QVERIFY(file.open(QIODevice::WriteOnly));
        const QByteArray body = TestSupport::noise(6 * 1024 * 1024);
        const int half = body.size() / 2;
        answer("HTTP/1.1 200 OK\r\nContent-Length: " + QByteArray::number(body.size()) + "\r\n\r\n" + body.left(half));
        QSignalSpy progress(http.data(), &HttpConnection::dataReadProgress);
        http->get("/api/zenta/download.xml?sku=a.zip", &file);
        // Half the body is on disk while the reply is still open.
        QTRY_COMPARE_WITH_TIMEOUT(file.size(), qint64(half), 10000);
        QCOMPARE(doneSpy->count(), 0);
        QCOMPARE(http->bytesAvailable(), qint64(0));
        server->held.first()->write(body.mid(half));
        server->held.first()->disconnectFromHost();
        WAIT_DONE(1);
        QCOMPARE(lastError(), false);
        file.close();
        QVERIFY(TestSupport::readFile(file.fileName()) == body);
        QCOMPARE(progress.last(), QList<QVariant>({ body.size(), body.size() }));

        // A device that refuses the bytes fails the request.
        QBuffer readOnly;
        QVERIFY(readOnly.open(QIODevice::ReadOnly));
        answer(HttpTestServer::reply(body.left(20000)), false);
        QTest::ignoreMessage(QtWarningMsg, "QIODevice::write (QBuffer): ReadOnly device");
        http->get("/x", &readOnly);
        WAIT_DONE(2);
        QCOMPARE(lastError(), true);
    }
};

VOCALUME_TEST_MAIN(TestHttpConnection)
#include "tst_httpconnection.moc"
