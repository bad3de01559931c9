// One package transfer against a scripted server and the reference store service: the request,
// which replies become a package file, that nothing partial is ever left under the package's
// name, and that a transfer cut, stopped or killed continues to the same bytes (or starts over
// when the file changed), tries again after transient failures only, and checks the digest; and
// the download service on its own, below the bridge.
#include "base/appsettings.h"
#include "base/datapaths.h"
#include "hostilearchives.h"
#include "packages/bookinstaller.h"
#include "packages/diskspace.h"
#include "packages/downloadmanager.h"
#include "packages/downloadservice.h"
#include "services/httpconnection.h"
#include "resources/resources.h"
#include "tests/support/httptestserver.h"
#include "tests/support/runningservice.h"
#include "tests/support/testsupport.h"

#include <QCryptographicHash>
#include <QProcess>
#include <QRegularExpression>

namespace {
// Set in the environment of a child process that transfers a package until it is killed.
const char* const childVariable = "VOCALUME_TRANSFER_CHILD_PORT";

QByteArray body(int size)
{
    QByteArray bytes(size, Qt::Uninitialized);
    for (int i = 0; i < size; ++i)
        bytes[i] = char('a' + i % 26);
    return bytes;
}

// The package replies in a store service's request log that sent something: "<bytes sent> from
// <first byte>". (The network stack may send a request again on a connection the service
// closes, and drop what that one brings.)
QStringList packageReplies(const QString& log)
{
    QStringList replies;
    QRegularExpressionMatchIterator it = QRegularExpression("sent ([1-9]\\d*) bytes from byte (\\d+)").globalMatch(TestSupport::readFile(log));
    while (it.hasNext()) {
        const QRegularExpressionMatch match = it.next();
        replies << match.captured(1) + " from " + match.captured(2);
    }
    return replies;
}

int runTransferChild(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    ServiceEndpoint::setCurrent({ "127.0.0.1", quint16(qEnvironmentVariableIntValue(childVariable)) });
    DownloadManager manager("ZDEMO001", QString::fromLocal8Bit(qgetenv("VOCALUME_TRANSFER_CHILD_PACKAGE")));
    manager.start();
    return app.exec();
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
    static void signInToTheDemo()
    {
        AppSettings settings;
        settings.setUsername("demo");
        settings.setSessionId("demo");
    }

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
        DownloadManager::setRetryPause(1);
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
        QSignalSpy ended(&manager, &DownloadManager::ended);
        manager.start();
        QVERIFY(ended.wait(10000));
        DiskSpace::setProbe(nullptr);
        QVERIFY(manager.failed);
        QCOMPARE(manager.errorMessage(), "Si è verificato un errore nello scaricamento del dizionario: " + why);
    }

    // No path names no disk: the free space is unknown, not looked for forever.
    void freeSpaceOfNoPath() { QCOMPARE(DiskSpace::available(QString()), qint64(-1)); }

    void retriesAndChecks_data()
    {
        QTest::addColumn<QList<QByteArray>>("answers"); // in turn
        QTest::addColumn<QString>("digest"); // announced by the library
        QTest::addColumn<int>("tries");
        QTest::addColumn<QString>("error"); // empty: the package is in place
        const QByteArray package = HttpTestServer::reply(body(20000));
        const QByteArray failing = HttpTestServer::reply("<result/>", 500);
        const QByteArray cut = "HTTP/1.1 200 OK\r\nContent-Length: 20000\r\n\r\n" + body(5000);
        const QString digest = QCryptographicHash::hash(body(20000), QCryptographicHash::Sha256).toHex();
        const QString generic = "Si è verificato un errore nello scaricamento del dizionario";
        QTest::newRow("503, then the package") << QList<QByteArray> { HttpTestServer::reply("<result/>", 503), package }
                                               << QString() << 2 << QString();
        QTest::newRow("cut short twice, then the package") << QList<QByteArray> { cut, cut, package } << QString() << 3
                                                           << QString();
        QTest::newRow("404 is not tried again") << QList<QByteArray> { HttpTestServer::reply("<result/>", 404), package }
                                                << QString() << 1
                                                << generic + ": il negozio non ha trovato il pacchetto del dizionario. "
                                                             "Sincronizza la libreria e riprova.";
        QTest::newRow("500 four times") << QList<QByteArray> { failing, failing, failing, failing, package } << QString()
                                        << 4 << generic + ": il servizio di download ha avuto un problema (errore 500). "
                                                          "Riprova più tardi.";
        QTest::newRow("digest in capitals") << QList<QByteArray> { package } << digest.toUpper() << 1 << QString();
        QTest::newRow("another package's digest")
            << QList<QByteArray> { package } << QString(digest).replace(0, 1, digest.startsWith('0') ? "1" : "0") << 1
            << "Il pacchetto scaricato non corrisponde a quello del negozio (impronta SHA-256 diversa) ed è stato "
               "eliminato. Scarica di nuovo il dizionario.";
    }

    // Transient failures are tried again three times in a row with growing pauses; a refusal of
    // the service is not; a package whose digest is not the one announced is refused and goes.
    void retriesAndChecks()
    {
        QFETCH(QList<QByteArray>, answers);
        QFETCH(QString, digest);
        QFETCH(int, tries);
        QFETCH(QString, error);
        server->respond([&](const QByteArray&) { return HttpTestServer::Answer { answers.value(server->targets.size() - 1) }; });
        DownloadManager manager("ZA", package());
        manager.expectedDigest = digest;
        QSignalSpy retrying(&manager, &DownloadManager::retrying);
        QSignalSpy ended(&manager, &DownloadManager::ended);
        manager.start();
        QVERIFY(ended.wait(10000));
        QCOMPARE(manager.errorMessage(), error);
        QCOMPARE(server->targets.size(), tries);
        QCOMPARE(retrying.size(), tries - 1);
        for (int i = 0; i < retrying.size(); ++i)
            QCOMPARE(retrying.at(i), QVariantList({ i + 1, 1 << i }));
        QCOMPARE(filesInBooks(), error.isEmpty() ? QStringList { "ZA.zip" } : QStringList());
    }

    void resumesAfterCuts_data()
    {
        QTest::addColumn<int>("cutAfter");
        QTest::newRow("in three") << 20000;
        QTest::newRow("all but the last byte") << 49999;
        QTest::newRow("pieces smaller than an error reply") << 8000;
    }

    // Cut by the reference store service after every `cutAfter` bytes, the transfer goes on from
    // where it stopped until the package is whole, never asking for a byte twice.
    void resumesAfterCuts()
    {
        QFETCH(int, cutAfter);
        const QByteArray bytes = TestSupport::noise(50000);
        QTemporaryDir work;
        QVERIFY(TestSupport::writeFile(work.filePath("ZDEMO001.zip"), bytes));
        RunningService service;
        service.requestLog = work.filePath("requests");
        if (!service.start(work.path(), { "--cut-after", QString::number(cutAfter) }))
            QSKIP("the store service is not built");
        signInToTheDemo();
        DownloadManager manager("ZDEMO001", package());
        QSignalSpy ended(&manager, &DownloadManager::ended);
        manager.start();
        QVERIFY(ended.wait(20000));
        QVERIFY(manager.finished);
        QCOMPARE(TestSupport::readFile(package()), bytes);
        QStringList expected;
        for (int from = 0; from < bytes.size(); from += cutAfter)
            expected << QString::number(qMin(cutAfter, bytes.size() - from)) + " from " + QString::number(from);
        // The service writes its line once the reply is out, which may be after the client has it.
        const auto replies = [&] {
            QStringList lines = packageReplies(service.requestLog);
            lines.removeDuplicates();
            return lines;
        };
        QTRY_COMPARE_WITH_TIMEOUT(replies(), expected, 5000);
    }

    void resumesAfterTheProgramStopped_data()
    {
        QTest::addColumn<bool>("killed"); // kill -9 of the process transferring; otherwise closed
        QTest::addColumn<bool>("changed"); // the package changed on the server meanwhile
        QTest::newRow("killed") << true << false;
        QTest::newRow("closed") << false << false;
        QTest::newRow("closed, package changed") << false << true;
    }

    // A transfer stopped by the end of its process keeps its part file and the server's word on
    // it: the next one continues it with a range, or starts over when the file changed.
    void resumesAfterTheProgramStopped()
    {
        QFETCH(bool, killed);
        QFETCH(bool, changed);
        const QByteArray first = TestSupport::noise(400000);
        QTemporaryDir work;
        const QString served = work.filePath("ZDEMO001.zip");
        QVERIFY(TestSupport::writeFile(served, first));
        RunningService slow;
        if (!slow.start(work.path(), { "--slow-download", "100000" }))
            QSKIP("the store service is not built");
        signInToTheDemo();
        const QString part = DataPaths::partFile(package());
        QProcess child;
        QScopedPointer<DownloadManager> stopped;
        if (killed) {
            QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
            environment.insert(childVariable, QString::number(slow.port));
            environment.insert("VOCALUME_TRANSFER_CHILD_PACKAGE", package());
            child.setProcessEnvironment(environment);
            child.start(QCoreApplication::applicationFilePath(), QStringList());
        } else {
            stopped.reset(new DownloadManager("ZDEMO001", package()));
            stopped->start();
        }
        QTRY_VERIFY_WITH_TIMEOUT(QFileInfo(part).size() > 100000, 10000);
        if (killed) {
            child.kill();
            QVERIFY(child.waitForFinished());
        }
        stopped.reset();
        const qint64 kept = QFileInfo(part).size();
        QVERIFY(kept > 0 && kept < first.size());
        const QByteArray second = TestSupport::noise(300000, 2);
        if (changed)
            QVERIFY(TestSupport::writeFile(served, second));

        RunningService fast;
        fast.requestLog = work.filePath("requests");
        QVERIFY(fast.start(work.path()));
        DownloadManager manager("ZDEMO001", package());
        QSignalSpy ended(&manager, &DownloadManager::ended);
        manager.start();
        QVERIFY(ended.wait(20000));
        QVERIFY(manager.finished);
        QCOMPARE(TestSupport::readFile(package()), changed ? second : first);
        QTRY_COMPARE_WITH_TIMEOUT(packageReplies(fast.requestLog), QStringList { changed ? "300000 from 0"
                                                                        : QString("%1 from %2").arg(first.size() - kept).arg(kept) }, 5000);
        QCOMPARE(filesInBooks(), QStringList { "ZA.zip" });
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

int main(int argc, char* argv[])
{
    if (qEnvironmentVariableIsSet(childVariable))
        return runTransferChild(argc, argv);
    TestSupport::prepareEnvironment();
    QCoreApplication app(argc, argv);
    TestSupport::resetHome();
    TestDownloadManager tc;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&tc, argc, argv);
}

#include "tst_downloadmanager.moc"
