// One package transfer against a scripted server: the request, which replies become a package
// file, and that nothing partial is ever left under the package's name or beside it (the part
// file of a transfer in progress is followed by tst_download's cancelling); and the download
// service on its own, below the bridge.
#include "base/appsettings.h"
#include "base/datapaths.h"
#include "hostilearchives.h"
#include "packages/bookinstaller.h"
#include "packages/downloadmanager.h"
#include "packages/downloadservice.h"
#include "resources/resources.h"
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
        const QByteArray head = "HTTP/1.1 200 X\r\nConnection: close\r\n";
        QTest::newRow("8192 bytes") << HttpTestServer::reply(body(8192)) << 0;
        QTest::newRow("8193 bytes") << HttpTestServer::reply(body(8193)) << 8193;
        QTest::newRow("404 with a large body") << HttpTestServer::reply(body(50000), 404) << 0;
        QTest::newRow("redirect with a large body") << HttpTestServer::reply(body(50000), 302, "Location: /x\r\n") << 0;
        QTest::newRow("empty 200") << HttpTestServer::reply(QByteArray()) << 0;
        QTest::newRow("shorter than Content-Length") << head + "Content-Length: 20000\r\n\r\n" + body(15000) << 0;
        QTest::newRow("no Content-Length, ended by close") << head + "\r\n" + body(20000) << 20000;
    }

    void replies()
    {
        QFETCH(QByteArray, reply);
        QFETCH(int, packageSize);
        // A part file left by an earlier run never shows through.
        QFile stale(package() + ".part");
        QVERIFY(stale.open(QIODevice::WriteOnly));
        stale.write(QByteArray(200000, 'z'));
        stale.close();
        server->respondWith(reply);
        DownloadManager manager("ZA", package());
        // The end is told once the outcome is recorded.
        bool recorded = false;
        connect(&manager, &DownloadManager::ended, this, [&] { recorded = manager.finished != manager.failed; });
        QSignalSpy ended(&manager, &DownloadManager::ended);
        manager.start();
        QVERIFY(ended.wait(5000));
        QVERIFY(recorded);

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
            QCOMPARE(manager.errorMessage(), "Si è verificato un errore nello scaricamento del dizionario");
            QCOMPARE(filesInBooks(), QStringList());
            // What the service said instead of a package is kept as a diagnostic.
            QVERIFY(TestSupport::diagnosticsContain(reply.mid(reply.indexOf("\r\n\r\n") + 4, 100)));
        }
    }

    void serviceWithoutTheBridge_data()
    {
        QTest::addColumn<bool>("engine");
        QTest::newRow("installed") << true;
        QTest::newRow("no engine folder") << false;
    }

    // The page hears the end of the installation, and the installed book is told by a signal
    // before it; without an engine folder nothing is asked for.
    void serviceWithoutTheBridge()
    {
        QFETCH(bool, engine);
        VocalumeResources::init();
        QVERIFY(QDir().mkpath(DataPaths::webStorageDirectory())
            && QFile::copy(":/databases/bookmarks.db", DataPaths::bookmarksDatabase()));
        QVERIFY(!engine || QDir().mkpath(DataPaths::engineDirectory()));
        const QString zip = books->filePath("p.zip");
        QVERIFY(TestSupport::writeZip(
            zip, { { "database.db", HostileArchives::dictionaryDatabase(TestSupport::noise(20000)) } }));
        server->respondWith(HttpTestServer::reply(TestSupport::readFile(zip)));
        BookInstaller installer;
        DownloadService service;
        service.setInstaller(&installer);
        QStringList heard;
        connect(&service, &DownloadService::pageStatement, this, [&](const QString& s) {
            if (!s.contains("size:"))
                heard << s;
        });
        connect(&service, &DownloadService::bookInstalled, this, [&](const QString& id) { heard << "current " + id; });
        Book book;
        book.bookId = "ZA";
        service.download("ZA", "cb", { book });
        QCOMPARE(service.inProgress().contains("ZA"), engine);
        const QStringList installed { "SignalQt('cb', '{result:false, progress:\"wait\"}', 'true')", "current ZA",
            "SignalQt('cb', '{result:true,error:\\'\\',progress:\\'100\\'}')" };
        QTRY_COMPARE(heard, engine ? installed : QStringList());
        QCOMPARE(QFile::exists(DataPaths::bookDatabase("ZA")), engine);
        QCOMPARE(server->targets.isEmpty(), !engine);
    }
};

VOCALUME_TEST_MAIN(TestDownloadManager)
#include "tst_downloadmanager.moc"
