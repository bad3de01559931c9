#include "services/httpconnection.h"
#include "tests/support/httptestserver.h"
#include "tests/support/testsupport.h"

#include <QApplication>
#include <QBuffer>
#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTemporaryDir>

// Waits until the connection has reported `count` outcomes.
#define WAIT_DONE(n, ms) QTRY_COMPARE_WITH_TIMEOUT(doneSpy->count(), n, ms)

namespace {
QByteArray pattern(int size)
{
    QByteArray bytes(size, Qt::Uninitialized);
    for (int i = 0; i < size; ++i)
        bytes[i] = char('a' + (i * 7 + i / 1000) % 26);
    return bytes;
}
}

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
        http->setHost(QStringLiteral("127.0.0.1"), server->port());
        doneSpy.reset(new QSignalSpy(http.data(), &HttpConnection::done));
    }

    void replyArrivedWhateverItsStatus_data()
    {
        QTest::addColumn<int>("status");
        QTest::addColumn<QByteArray>("headers");
        QTest::newRow("ok") << 200 << QByteArray();
        QTest::newRow("not found") << 404 << QByteArray();
        QTest::newRow("server error") << 500 << QByteArray();
        QTest::newRow("redirect is not followed") << 302 << QByteArray("Location: /elsewhere\r\n");
    }

    void replyArrivedWhateverItsStatus()
    {
        QFETCH(int, status);
        QFETCH(QByteArray, headers);
        server->respondWith(HttpTestServer::reply("<result>corpo</result>", status, headers));
        http->get(QStringLiteral("/api/zenta/login.xml?username=a%20b&password=c%26d"));
        WAIT_DONE(1, 10000);
        QCOMPARE(lastError(), false);
        QCOMPARE(http->statusCode(), status);
        QCOMPARE(http->bytesAvailable(), qint64(22));
        QCOMPARE(http->readAll(), QByteArray("<result>corpo</result>"));
        QCOMPARE(http->bytesAvailable(), qint64(0));
        QTest::qWait(50);
        QCOMPARE(server->targets, QList<QByteArray>() << "/api/zenta/login.xml?username=a%20b&password=c%26d");
    }

    void transportFailures_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("closed before any reply") << QByteArray();
        QTest::newRow("body shorter than Content-Length")
            << QByteArray("HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\n<result>");
        QTest::newRow("HTTP/1.0 body shorter than Content-Length")
            << QByteArray("HTTP/1.0 200 OK\r\nContent-Length: 100\r\n\r\n<result>");
        QTest::newRow("not HTTP") << QByteArray("220 welcome to something else\r\n");
    }

    void transportFailures()
    {
        QFETCH(QByteArray, bytes);
        server->respondWith(bytes);
        http->get(QStringLiteral("/x"));
        WAIT_DONE(1, 10000);
        QCOMPARE(lastError(), true);
        QCOMPARE(http->bytesAvailable(), qint64(0));
    }

    void refusedConnectionFails()
    {
        quint16 closedPort;
        {
            HttpTestServer gone;
            closedPort = gone.port();
        }
        http->setHost(QStringLiteral("127.0.0.1"), closedPort);
        http->get(QStringLiteral("/x"));
        WAIT_DONE(1, 10000);
        QCOMPARE(lastError(), true);
        QCOMPARE(http->statusCode(), 0);
    }

    void bodyDelimitedByCloseIsComplete()
    {
        server->respondWith("HTTP/1.0 200 OK\r\n\r\n<result/>");
        QSignalSpy progress(http.data(), &HttpConnection::dataReadProgress);
        http->get(QStringLiteral("/x"));
        WAIT_DONE(1, 10000);
        QCOMPARE(lastError(), false);
        QCOMPARE(http->readAll(), QByteArray("<result/>"));
        QVERIFY(!progress.isEmpty());
        QCOMPARE(progress.last().at(0).toInt(), 9);
        QCOMPARE(progress.last().at(1).toInt(), 0); // no length announced
    }

    void requestsQueueOneAtATime()
    {
        // The first reply stops three bytes short of its length until the test releases it.
        server->respond([](const QByteArray& target) {
            const QByteArray whole = HttpTestServer::reply("body of " + target);
            return target == "/first" ? HttpTestServer::Answer { whole.chopped(3), true } : HttpTestServer::Answer { whole, false };
        });
        QList<QByteArray> bodies;
        connect(http.data(), &HttpConnection::done, this, [&bodies, this](bool) { bodies << http->readAll(); });
        http->get(QStringLiteral("/first"));
        http->get(QStringLiteral("/second"));
        QTRY_COMPARE(server->targets.size(), 1);
        QTest::qWait(200);
        QCOMPARE(server->targets.size(), 1); // the second waits for the first reply
        QCOMPARE(doneSpy->count(), 0);
        server->held.first()->write("rst");
        server->held.first()->disconnectFromHost();
        WAIT_DONE(2, 10000);
        QCOMPARE(server->targets, QList<QByteArray>() << "/first" << "/second");
        QCOMPARE(bodies, QList<QByteArray>() << "body of /first" << "body of /second");
        QCOMPARE(doneSpy->at(0).at(0).toBool(), false);
        QCOMPARE(doneSpy->at(1).at(0).toBool(), false);
    }

    void abortEndsTheCurrentRequestAndDropsTheQueue()
    {
        server->respond([](const QByteArray& target) {
            return HttpTestServer::Answer { QByteArray("HTTP/1.1 200 OK\r\nContent-Length: 50\r\n\r\npart"), target == "/held" };
        });
        http->get(QStringLiteral("/held"));
        http->get(QStringLiteral("/queued"));
        QTRY_COMPARE(server->targets.size(), 1);
        http->abort();
        QCOMPARE(doneSpy->count(), 1); // reported before abort() returns
        QCOMPARE(lastError(), true);
        QCOMPARE(http->bytesAvailable(), qint64(0));
        QTest::qWait(200);
        QCOMPARE(server->targets.size(), 1);
        QCOMPARE(doneSpy->count(), 1);

        http->abort(); // nothing pending: no signal
        QCOMPARE(doneSpy->count(), 1);

        server->respondWith(HttpTestServer::reply("<result/>"));
        http->get(QStringLiteral("/after"));
        WAIT_DONE(2, 10000);
        QCOMPARE(lastError(), false);
        QCOMPARE(http->readAll(), QByteArray("<result/>"));
    }

    void requestIssuedFromTheDoneSlotRuns()
    {
        server->respond([](const QByteArray& target) { return HttpTestServer::Answer { HttpTestServer::reply(target), false }; });
        QByteArray firstBody;
        connect(http.data(), &HttpConnection::done, this, [&firstBody, this](bool) {
            if (firstBody.isEmpty()) {
                firstBody = http->readAll();
                http->get(QStringLiteral("/again"));
            }
        });
        http->get(QStringLiteral("/once"));
        WAIT_DONE(2, 10000);
        QCOMPARE(firstBody, QByteArray("/once"));
        QCOMPARE(http->readAll(), QByteArray("/again"));
    }

    void bufferedBodyIsBounded_data()
    {
        QTest::addColumn<qint64>("bound");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<bool>("error");
        const QByteArray small = pattern(4096);
        const QByteArray headOnly = "HTTP/1.1 200 OK\r\nContent-Length: " + QByteArray::number(16 * 1024 * 1024 + 1) + "\r\n\r\n";
        QTest::newRow("default bound, larger length announced") << qint64(-1) << headOnly << true;
        QTest::newRow("default bound, body of exactly 16 MiB")
            << qint64(-1) << HttpTestServer::reply(pattern(16 * 1024 * 1024)) << false;
        QTest::newRow("no length, body one byte over") << qint64(4095) << QByteArray("HTTP/1.0 200 OK\r\n\r\n" + small) << true;
        QTest::newRow("no length, body at the bound") << qint64(4096) << QByteArray("HTTP/1.0 200 OK\r\n\r\n" + small) << false;
    }

    void bufferedBodyIsBounded()
    {
        QFETCH(qint64, bound);
        QFETCH(QByteArray, bytes);
        QFETCH(bool, error);
        if (bound > 0)
            http->setMaximumBufferedBody(bound);
        // The announced-length case holds the connection open: only the header can end it.
        server->respond([bytes](const QByteArray&) { return HttpTestServer::Answer { bytes, bytes.endsWith("\r\n\r\n") }; });
        http->get(QStringLiteral("/big"));
        WAIT_DONE(1, 20000);
        QCOMPARE(lastError(), error);
        if (error)
            QCOMPARE(http->bytesAvailable(), qint64(0));
        else
            QCOMPARE(http->bytesAvailable(), qint64(bound > 0 ? bound : 16 * 1024 * 1024));
    }

    void inactivityEndsTheRequest()
    {
        http->setTimeout(300);
        server->respond([](const QByteArray&) {
            return HttpTestServer::Answer { QByteArray("HTTP/1.1 200 OK\r\nContent-Length: 10\r\n\r\nabc"), true };
        });
        QElapsedTimer clock;
        clock.start();
        http->get(QStringLiteral("/slow"));
        WAIT_DONE(1, 5000);
        QCOMPARE(lastError(), true);
        QVERIFY(clock.elapsed() >= 250);
    }

    void streamingWritesIntoTheDeviceAsBytesArrive()
    {
        QTemporaryDir dir;
        QFile file(dir.filePath(QStringLiteral("package.zip")));
        QVERIFY(file.open(QIODevice::WriteOnly));
        const QByteArray body = pattern(6 * 1024 * 1024);
        const int firstPart = 3 * 1024 * 1024;
        server->respond([&](const QByteArray&) {
            return HttpTestServer::Answer { "HTTP/1.1 200 OK\r\nContent-Length: " + QByteArray::number(body.size())
                                                + "\r\n\r\n" + body.left(firstPart),
                                            true };
        });
        QSignalSpy progress(http.data(), &HttpConnection::dataReadProgress);
        http->get(QStringLiteral("/api/zenta/download.xml?sku=a.zip"), &file);
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
        QCOMPARE(progress.last().at(0).toInt(), body.size());
        QCOMPARE(progress.last().at(1).toInt(), body.size());
    }

    void streamingIntoAFailingDeviceFails()
    {
        QBuffer readOnly;
        QVERIFY(readOnly.open(QIODevice::ReadOnly));
        server->respondWith(HttpTestServer::reply(pattern(20000)));
        QTest::ignoreMessage(QtWarningMsg, "QIODevice::write (QBuffer): ReadOnly device");
        http->get(QStringLiteral("/x"), &readOnly);
        WAIT_DONE(1, 10000);
        QCOMPARE(lastError(), true);
    }
};

VOCALUME_TEST_MAIN(TestHttpConnection)
#include "tst_httpconnection.moc"
