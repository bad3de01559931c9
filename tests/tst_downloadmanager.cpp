// One package transfer against a scripted server: the request, which replies become a package
// file, and that nothing partial is ever left under the package's name or beside it (the part
// file of a transfer in progress is followed by tst_download's cancelling).
#include "base/appsettings.h"
#include "packages/diskspace.h"
#include "packages/downloadmanager.h"
#include "services/httpconnection.h"
#include "tests/support/httptestserver.h"
#include "tests/support/testsupport.h"

namespace {
QByteArray body(int size)
{
    QByteArray bytes(size, Qt::Uninitialized);
    for (int i = 0; i < size; ++i)
        bytes[i] = char('a' + i % 26);
    return bytes;
}
}

class TestDownloadManager : public QObject
{
    Q_OBJECT
private:
    QScopedPointer<HttpTestServer> server;
    QScopedPointer<QTemporaryDir> books;

    QString package() const { return books->filePath("ZA.zip"); }
    QStringList filesInBooks() const { return QDir(books->path()).entryList(QDir::Files | QDir::Hidden); }

private slots:
    void init()
    {
        TestSupport::resetHome();
        AppSettings settings;
        settings.setUsername("mario rossi");
        settings.setSessionId("s+1&2");
        server.reset(new HttpTestServer);
        server->makeCurrent();
        books.reset(new QTemporaryDir);
    }

    void replies_data()
    {
        QTest::addColumn<QByteArray>("reply");
        QTest::addColumn<int>("packageSize"); // 0: no package
        QTest::addColumn<QString>("why");     // the failure text after "...del dizionario: "
        const QByteArray head = "HTTP/1.1 200 X\r\nConnection: close\r\n";
        const QString nothing = "il servizio di download ha risposto senza inviare il dizionario. Sincronizza la libreria e riprova.";
        QTest::newRow("8192 bytes") << HttpTestServer::reply(body(8192)) << 0 << nothing;
        QTest::newRow("8193 bytes") << HttpTestServer::reply(body(8193)) << 8193 << QString();
        QTest::newRow("404 with a large body") << HttpTestServer::reply(body(50000), 404) << 0
            << "il negozio non ha trovato il pacchetto del dizionario. Sincronizza la libreria e riprova.";
        QTest::newRow("redirect with a large body") << HttpTestServer::reply(body(50000), 302, "Location: /x\r\n") << 0
            << "il servizio di download ha risposto con un errore (302). Riprova più tardi.";
        QTest::newRow("503") << HttpTestServer::reply(body(50000), 503) << 0
            << "il servizio di download ha avuto un problema (errore 503). Riprova più tardi.";
        QTest::newRow("403") << HttpTestServer::reply(body(50000), 403) << 0
            << "il negozio non ha concesso il download. Esci, accedi di nuovo e riprova.";
        QTest::newRow("empty 200") << HttpTestServer::reply(QByteArray()) << 0 << nothing;
        QTest::newRow("shorter than Content-Length") << head + "Content-Length: 20000\r\n\r\n" + body(15000) << 0
            << "la connessione si è interrotta durante il download. Riprova.";
        QTest::newRow("no Content-Length, ended by close") << head + "\r\n" + body(20000) << 20000 << QString();
    }

    void replies()
    {
        QFETCH(QByteArray, reply);
        QFETCH(int, packageSize);
        QFETCH(QString, why);
        // A part file left by an earlier run never shows through.
        QFile stale(package() + ".part");
        QVERIFY(stale.open(QIODevice::WriteOnly));
        stale.write(QByteArray(200000, 'z'));
        stale.close();
        server->respondWith(reply);
        DownloadManager manager("ZA", package());
        QSignalSpy done(manager.connection, &HttpConnection::done);
        manager.start();
        QVERIFY(done.wait(5000));

        // (The network stack may repeat a request whose reply ends with the connection.)
        QCOMPARE(server->targets.value(0),
                 "/api/zenta/download.xml?username=mario%20rossi&sessionId=s%2B1%262&sku=ZA.zip");
        // The session is the password: the diagnostic never shows it.
        QVERIFY(TestSupport::diagnosticsContain(
            "Download ws: 127.0.0.1/api/zenta/download.xml?username=mario rossi&sessionId=***&sku=ZA.zip"));
        QCOMPARE(manager.finished, packageSize > 0);
        QCOMPARE(manager.failed, packageSize == 0);
        QCOMPARE(manager.size, packageSize);
        if (packageSize > 0) {
            QCOMPARE(manager.errorMessage(), QString());
            QFile file(package());
            QVERIFY(file.open(QIODevice::ReadOnly));
            QVERIFY(file.readAll() == body(packageSize));
            QCOMPARE(filesInBooks(), QStringList { "ZA.zip" });
        } else {
            QCOMPARE(manager.errorMessage(), "Si è verificato un errore nello scaricamento del dizionario: " + why);
            QCOMPARE(filesInBooks(), QStringList());
            // What the service said instead of a package is kept as a diagnostic.
            QVERIFY(TestSupport::diagnosticsContain(reply.mid(reply.indexOf("\r\n\r\n") + 4, 100)));
        }
    }

    // A transfer that never got its reply, or could not keep it, says why.
    void failuresWithoutAReply_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("why");
        QTest::newRow("no service") << "unreachable"
            << "il servizio di download non è raggiungibile. Controlla la connessione a Internet e riprova.";
        QTest::newRow("silent service") << "silent" << "il servizio di download ha smesso di rispondere. Riprova tra qualche minuto.";
        QTest::newRow("folder gone") << "unwritable"
            << "il dizionario non si è potuto scrivere nella cartella dei dati. Controlla che sia accessibile e riprova.";
        QTest::newRow("disk full") << "full" << "il disco è pieno. Libera spazio e riprova.";
    }

    void failuresWithoutAReply()
    {
        QFETCH(QString, kind);
        QFETCH(QString, why);
        QString path = package();
        if (kind == "unreachable")
            server.reset();
        else if (kind == "silent")
            server->respond([](const QByteArray&) { return HttpTestServer::Answer(QByteArray(), true); });
        else
            server->respondWith(HttpTestServer::reply(body(50000)));
        if (kind == "unwritable" || kind == "full")
            path = books->filePath("manca/ZA.zip");
        if (kind == "full")
            DiskSpace::setProbe([](const QString&) { return qint64(4096); });
        DownloadManager manager("ZA", path);
        manager.connection->setTimeout(300);
        QSignalSpy done(manager.connection, &HttpConnection::done);
        manager.start();
        QVERIFY(done.wait(5000));
        DiskSpace::setProbe(nullptr);
        QVERIFY(manager.failed);
        QCOMPARE(manager.errorMessage(), "Si è verificato un errore nello scaricamento del dizionario: " + why);
    }
};

VOCALUME_TEST_MAIN(TestDownloadManager)
#include "tst_downloadmanager.moc"
