// One package transfer against a scripted server and the reference store service: the request,
// which replies become a package file (never a partial one), retries of transient failures only,
// the digest, and continuing a transfer that was cut or stopped; the download service's refusal
// without an engine folder; and the covers, refused before they are decoded when too big.
#include "base/appsettings.h"
#include "base/datapaths.h"
#include "packages/cachedimage.h"
#include "packages/diskspace.h"
#include "packages/download.h"
#include "packages/downloadfailure.h"
#include "packages/downloadmanager.h"
#include "packages/downloadservice.h"
#include "services/httpconnection.h"
#include "tests/support/fetchedcover.h"
#include "tests/support/httptestserver.h"
#include "tests/support/storeserviceprocess.h"
#include "tests/support/testsupport.h"

#include <QBuffer>
#include <QCryptographicHash>
#include <QImage>
#include <QRegularExpression>

using TestSupport::noise;

namespace {
// A zip archive of `bytes` noise bytes (stored, so it is about that size).
QByteArray zipOf(int bytes)
{
    QTemporaryDir dir;
    QFile file(dir.filePath("p.zip"));
    if (!TestSupport::writeZip(file.fileName(), { { "database.db", noise(bytes) } }) || !file.open(QIODevice::ReadOnly))
        return QByteArray();
    return file.readAll();
}

// A black PNG of `size`, one bit a pixel: small to send, though it decodes to a picture that big.
QByteArray blackPng(const QSize& size)
{
    QImage image(size, QImage::Format_Mono);
    image.fill(0);
    QBuffer png;
    return png.open(QIODevice::WriteOnly) && image.save(&png, "PNG") ? png.data() : QByteArray();
}
}

class TestDownloadManager : public QObject
{
    Q_OBJECT
private:
    QScopedPointer<HttpTestServer> server;
    QScopedPointer<QTemporaryDir> books;

    QString package() const { return books->filePath("ZA.zip"); }

    // Stops a transfer of the service's ZDEMO001 (from `packages`) partway, its part file kept;
    // false when the service is not built.
    bool stopPartway(const QString& packages)
    {
        RunningService slow;
        if (!slow.start(packages, { "--slow-download", "100000" }))
            return false;
        DownloadManager stopped("ZDEMO001", package());
        stopped.start();
        (void)QTest::qWaitFor([this] { return QFileInfo(DataPaths::partFile(package())).size() > 100000; }, 10000);
        return true;
    }
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
        DownloadManager::setRetryPause(1);
    }

    void transfers_data()
    {
        QTest::addColumn<QList<QByteArray>>("answers"); // in turn, the last one from then on
        QTest::addColumn<QString>("setup"); // "unreachable", "silent", "unwritable", "full" or none
        QTest::addColumn<QString>("digest"); // announced by the library
        QTest::addColumn<int>("tries"); // 0: not counted (a reply ended by a close may be asked again)
        QTest::addColumn<int>("packageSize"); // 0: no package
        QTest::addColumn<QString>("why"); // the failure text after "...del dizionario: "
        const QByteArray head = "HTTP/1.1 200 X\r\nConnection: close\r\n";
        const QByteArray whole = HttpTestServer::reply(noise(20000));
        const QByteArray cut = "HTTP/1.1 200 OK\r\nContent-Length: 20000\r\n\r\n" + noise(5000);
        const QString digest = QCryptographicHash::hash(noise(20000), QCryptographicHash::Sha256).toHex();
        const QString nothing = "il servizio di download ha risposto senza inviare il dizionario. Sincronizza la libreria e riprova.";
        const QString notFound = "il negozio non ha trovato il pacchetto del dizionario. Sincronizza la libreria e riprova.";
        const auto row = [](const char* name, const QList<QByteArray>& answers, int tries, int size, const QString& why,
                             const QString& setup = QString(), const QString& digest = QString()) {
            QTest::newRow(name) << answers << setup << digest << tries << size << why;
        };
        row("8192 bytes", { HttpTestServer::reply(noise(8192)) }, 0, 0, nothing);
        row("8193 bytes", { HttpTestServer::reply(noise(8193)) }, 0, 8193, QString());
        row("the service's refusal, sent as 200", { HttpTestServer::reply("<result><field name=\"errorCode\">6</field>"
            "<field name=\"errorDescription\">Dizionario non acquistato</field></result>") }, 1, 0,
            "il negozio ha risposto: «Dizionario non acquistato». Sincronizza la libreria e riprova.");
        row("404 with a large body", { HttpTestServer::reply(noise(50000), 404), whole }, 1, 0, notFound);
        // Refusals the network stack takes for failures of its own are final too.
        row("400", { HttpTestServer::reply("<result/>", 400), whole }, 1, 0,
            "il servizio di download ha risposto con un errore (400). Riprova più tardi.");
        row("418", { HttpTestServer::reply("<result/>", 418), whole }, 1, 0,
            "il servizio di download ha risposto con un errore (418). Riprova più tardi.");
        row("407 of a proxy", { HttpTestServer::reply("<html/>", 407), whole }, 1, 0,
            "un proxy della rete chiede un nome utente e una password per lasciar passare il download. Indicali "
            "nelle impostazioni del proxy del sistema e riprova.");
        row("redirect with a large body", { HttpTestServer::reply(noise(50000), 302, "Location: /x\r\n") }, 0, 0,
            "il servizio di download ha risposto con un errore (302). Riprova più tardi.");
        // Without a length (nor a digest) only a zip archive that ends where its directory says is whole.
        const QByteArray zip = zipOf(20000);
        row("no Content-Length, ended by close", { head + "\r\n" + zip }, 0, zip.size(), QString());
        row("no Content-Length, cut short, then whole", { head + "\r\n" + zip.left(15000), head + "\r\n" + zip }, 0,
            zip.size(), QString());
        row("no Content-Length, never a whole archive", { head + "\r\n" + noise(20000) }, 0, 0,
            "il download non si è concluso. Riprova.");
        row("503, then the package", { HttpTestServer::reply("<result/>", 503), whole }, 2, 20000, QString());
        row("cut short twice, then the package", { cut, cut, whole }, 3, 20000, QString());
        row("cut short four times", { cut }, 4, 0, "la connessione si è interrotta durante il download. Riprova.");
        row("digest in capitals", { whole }, 1, 20000, QString(), QString(), digest.toUpper());
        // A refused package goes, also one whose tag would let a transfer continue it.
        row("another package's digest", { HttpTestServer::reply(noise(20000), 200, "ETag: \"v1\"\r\n") }, 1, 0, "*", QString(),
            QString(digest).replace(0, 1, digest.startsWith('0') ? "1" : "0"));
        row("no service", {}, 0, 0,
            "il servizio di download non è raggiungibile. Controlla la connessione a Internet e riprova.", "unreachable");
        row("silent service", {}, 0, 0, "il servizio di download ha smesso di rispondere. Riprova tra qualche minuto.",
            "silent");
        row("folder gone", { whole }, 0, 0,
            "il dizionario non si è potuto scrivere nella cartella dei dati. Controlla che sia accessibile e riprova.",
            "unwritable");
        row("disk full", { whole }, 0, 0, "il disco è pieno. Libera spazio e riprova.", "full");
    }

    // Which replies become the package, what the user is told otherwise, and what is left:
    // transient failures are tried again three times in a row with growing pauses, a refusal of
    // the service is not, and a package whose digest is not the one announced goes.
    void transfers()
    {
        QFETCH(QList<QByteArray>, answers);
        QFETCH(QString, setup);
        QFETCH(QString, digest);
        QFETCH(int, tries);
        QFETCH(int, packageSize);
        QFETCH(QString, why);
        const bool elsewhere = setup == "unwritable" || setup == "full";
        // A part file left by an earlier run never shows through.
        QVERIFY(elsewhere || TestSupport::writeFile(package() + ".part", QByteArray(200000, 'z')));
        if (setup == "unreachable")
            server.reset();
        else if (setup == "silent")
            server->respond([](const QByteArray&) { return HttpTestServer::Answer(QByteArray(), true); });
        else
            server->respond([&](const QByteArray&) {
                return HttpTestServer::Answer { answers.value(qMin(server->targets.size(), answers.size()) - 1) };
            });
        if (setup == "full")
            DiskSpace::setProbe([](const QString&) { return qint64(4096); });
        DownloadManager manager("ZA", elsewhere ? books->filePath("manca/ZA.zip") : package());
        manager.connection->setTimeout(300);
        manager.expectedDigest = digest;
        // The end is told once the outcome is recorded.
        bool recorded = false;
        connect(&manager, &DownloadManager::ended, this, [&] { recorded = manager.finished != manager.failed; });
        QSignalSpy retrying(&manager, &DownloadManager::retrying);
        QSignalSpy ended(&manager, &DownloadManager::ended);
        manager.start();
        QVERIFY(ended.wait(10000));
        DiskSpace::setProbe(nullptr);
        QVERIFY(recorded);
        QCOMPARE(manager.failed, packageSize == 0);
        QCOMPARE(manager.errorString(),
            why == "*" ? "Il pacchetto scaricato non corrisponde a quello del negozio (impronta SHA-256 diversa) ed è "
                         "stato eliminato. Scarica di nuovo il dizionario."
                       : why.isEmpty() ? QString() : "Si è verificato un errore nello scaricamento del dizionario: " + why);
        for (int i = 0; i < retrying.size(); ++i)
            QCOMPARE(retrying.at(i), QVariantList({ i + 1, 1 << i }));
        if (tries > 0) {
            QCOMPARE(server->targets.size(), tries);
            QCOMPARE(retrying.size(), tries - 1);
        }
        QCOMPARE(filesInBooks(), packageSize > 0 ? QStringList { "ZA.zip" } : QStringList());
        if (packageSize > 0) {
            QCOMPARE(manager.size, packageSize);
            QCOMPARE(TestSupport::readFile(package()), answers.last().mid(answers.last().indexOf("\r\n\r\n") + 4));
        }
        if (setup.isEmpty()) {
            QCOMPARE(server->targets.value(0),
                     "/api/zenta/download.xml?username=mario%20rossi&sessionId=s%2B1%262&sku=ZA.zip");
            // The session is the password: the diagnostic never shows it.
            QVERIFY(TestSupport::diagnosticsContain(
                "Download ws: 127.0.0.1/api/zenta/download.xml?username=mario rossi&sessionId=***&sku=ZA.zip"));
        }
    }

    // No path names no disk: the free space is unknown, not looked for forever.
    void freeSpaceOfNoPath() { QCOMPARE(DiskSpace::available(QString()), qint64(-1)); }

    void resumes_data()
    {
        QTest::addColumn<int>("cutAfter"); // the service cuts every reply after so many bytes; 0: a transfer is stopped
        QTest::addColumn<bool>("changed"); // the package changed on the server meanwhile
        QTest::newRow("cut in three") << 20000 << false;
        QTest::newRow("cut before the last byte") << 49999 << false;
        QTest::newRow("cut into pieces smaller than an error reply") << 8000 << false;
        QTest::newRow("stopped") << 0 << false;
        QTest::newRow("stopped, package changed") << 0 << true;
    }

    // A transfer cut by the service, or stopped with its manager, keeps its part file
    // and the server's word on it: the next request continues it with a range, never asking for
    // a byte twice, or starts over when the file changed.
    void resumes()
    {
        QFETCH(int, cutAfter);
        QFETCH(bool, changed);
        const QByteArray first = noise(cutAfter ? 50000 : 400000);
        QTemporaryDir work;
        const QString served = work.filePath("ZDEMO001.zip");
        QVERIFY(TestSupport::writeFile(served, first));
        AppSettings settings;
        settings.setUsername("demo");
        settings.setSessionId("demo");
        qint64 kept = 0;
        QStringList expected;
        for (int from = 0; cutAfter && from < first.size(); from += cutAfter)
            expected << QString::number(qMin(cutAfter, first.size() - from)) + " from " + QString::number(from);
        const QString part = DataPaths::partFile(package());
        if (!cutAfter) {
            if (!stopPartway(work.path()))
                QSKIP("the store service is not built");
            kept = QFileInfo(part).size();
            QVERIFY(kept > 0 && kept < first.size());
            expected << QString("%1 from %2").arg(first.size() - kept).arg(kept);
        }
        const QByteArray second = noise(300000, 2);
        if (changed) {
            QVERIFY(TestSupport::writeFile(served, second));
            expected = QStringList { "300000 from 0" };
        }
        RunningService service;
        service.requestLog = work.filePath("requests");
        if (!service.start(work.path(), cutAfter ? QStringList { "--cut-after", QString::number(cutAfter) } : QStringList()))
            QSKIP("the store service is not built");
        DownloadManager manager("ZDEMO001", package());
        QSignalSpy ended(&manager, &DownloadManager::ended);
        QSignalSpy progress(&manager, &DownloadManager::progress);
        manager.start();
        QVERIFY(ended.wait(20000) && manager.finished);
        QCOMPARE(TestSupport::readFile(package()), changed ? second : first);
        QCOMPARE(filesInBooks(), QStringList { "ZA.zip" });
        // The progress counts what was there already.
        const int size = changed ? second.size() : first.size();
        QVERIFY(!progress.isEmpty());
        QCOMPARE(progress.last(), QVariantList({ size, size }));
        // The package replies of the service's log that sent something, "<bytes> from <first byte>". It
        // writes its line once the reply is out, which may be after the client has it; and the network
        // stack may send a request again on a connection the service closes, and drop what that brings.
        const auto replies = [&] {
            QStringList lines;
            QRegularExpressionMatchIterator it = QRegularExpression("sent ([1-9]\\d*) bytes from byte (\\d+)")
                                                     .globalMatch(TestSupport::readFile(service.requestLog));
            while (it.hasNext()) {
                const QRegularExpressionMatch match = it.next();
                lines << match.captured(1) + " from " + match.captured(2);
            }
            lines.removeDuplicates();
            return lines;
        };
        QTRY_COMPARE_WITH_TIMEOUT(replies(), expected, 5000);
    }

    void keptBytesSurviveWhatIsNoPackage_data()
    {
        QTest::addColumn<QByteArray>("answer"); // to the request that continues the kept part
        QTest::addColumn<int>("packageSize"); // 0: no package, the kept part stays as it was
        QTest::addColumn<QString>("why");
        const QByteArray refusal = "<?xml version=\"1.0\"?><result><field name=\"errorCode\">2</field>"
                                   "<field name=\"errorDescription\">Sessione non valida</field></result>";
        const QByteArray head = "HTTP/1.1 200 X\r\nConnection: close\r\n\r\n";
        const QString said = "il negozio ha risposto: «Sessione non valida». Quanto già scaricato è conservato: "
                             "riprendi il download quando il negozio lo concede.";
        QTest::newRow("the service's refusal, sent as 200") << HttpTestServer::reply(refusal) << 0 << said;
        QTest::newRow("the same without a length") << head + refusal << 0 << said;
        QTest::newRow("the whole file anew") << HttpTestServer::reply(noise(20000, 3)) << 20000 << QString();
        QTest::newRow("the whole file anew, without a length") << head + zipOf(20000) << zipOf(20000).size() << QString();
        // A range from elsewhere than the kept bytes' end is never appended to them: asked anew, it is the whole file.
        QTest::newRow("a range from the start") << HttpTestServer::reply(noise(20000, 3), 206, "Content-Range: bytes 0-19999/20000\r\n")
                                                << 20000 << QString();
    }

    // The real service answers its refusals with status 200 and a few bytes of XML: an answer
    // that is not the package never touches the bytes a transfer kept, and the user is told what
    // the service said. The whole file sent anew replaces them.
    void keptBytesSurviveWhatIsNoPackage()
    {
        QFETCH(QByteArray, answer);
        QFETCH(int, packageSize);
        QFETCH(QString, why);
        const QByteArray kept = noise(18000);
        PartialPackage partial(package());
        partial.size = 20000;
        partial.etag = "\"v1\"";
        partial.state = PartialPackage::State::Stopped;
        QVERIFY(TestSupport::writeFile(DataPaths::partFile(package()), kept) && partial.write());
        server->respond([&](const QByteArray&) { return HttpTestServer::Answer { answer }; });
        DownloadManager manager("ZA", package());
        QSignalSpy ended(&manager, &DownloadManager::ended);
        manager.start();
        QVERIFY(ended.wait(10000));
        QCOMPARE(manager.finished, packageSize > 0);
        QCOMPARE(manager.errorString(), why.isEmpty() ? QString() : "Si è verificato un errore nello scaricamento del dizionario: " + why);
        if (packageSize) {
            QCOMPARE(TestSupport::readFile(package()), answer.mid(answer.indexOf("\r\n\r\n") + 4));
            return;
        }
        QCOMPARE(TestSupport::readFile(DataPaths::partFile(package())), kept);
        PartialPackage after(package());
        QVERIFY(after.read() && after.isResumable() && after.size == 20000);
    }

    void theServiceRefusesToContinue_data()
    {
        QTest::addColumn<QStringList>("faults"); // of the reference service, while it is asked to continue
        QTest::addColumn<QString>("why");
        QTest::newRow("session expired, said with 200") << QStringList { "--refusals-as-200", "--expire-on-range" }
                                                       << DownloadFailure::keptAfterRefusal(
                                                              "Sessione scaduta: effettua di nuovo l'accesso");
        QTest::newRow("418") << QStringList { "--package-status", "418" }
                             << "Si è verificato un errore nello scaricamento del dizionario: il servizio di download "
                                "ha risposto con un errore (418). Riprova più tardi.";
    }

    // The reference service's own faults against a kept transfer: the refusal is told, the kept
    // bytes stay, and once the service concedes the download goes on from them, sent without a
    // length this time.
    void theServiceRefusesToContinue()
    {
        QFETCH(QStringList, faults);
        QFETCH(QString, why);
        QTemporaryDir work;
        const QByteArray served = noise(400000);
        QVERIFY(TestSupport::writeFile(work.filePath("ZDEMO001.zip"), served));
        AppSettings settings;
        settings.setUsername("demo");
        settings.setSessionId("demo");
        const QString part = DataPaths::partFile(package());
        if (!stopPartway(work.path()))
            QSKIP("the store service is not built");
        const QByteArray kept = TestSupport::readFile(part);
        QVERIFY(kept.size() > 100000 && kept.size() < served.size());
        for (const bool refusing : { true, false }) {
            RunningService service;
            QVERIFY(service.start(work.path(), refusing ? faults : QStringList { "--no-length" }));
            DownloadManager manager("ZDEMO001", package());
            QSignalSpy retrying(&manager, &DownloadManager::retrying);
            QSignalSpy ended(&manager, &DownloadManager::ended);
            manager.start();
            QVERIFY(ended.wait(20000));
            QCOMPARE(manager.finished, !refusing);
            QCOMPARE(manager.errorString(), refusing ? why : QString());
            QCOMPARE(retrying.size(), 0);
            QCOMPARE(TestSupport::readFile(refusing ? part : package()), refusing ? kept : served);
        }
    }

    // Without an engine folder nothing is asked for; with one, the download starts.
    void serviceWithoutTheBridge()
    {
        server->respond([](const QByteArray&) { return HttpTestServer::Answer(QByteArray(), true); });
        for (const bool engine : { false, true }) {
            QVERIFY(!engine || QDir().mkpath(DataPaths::engineDirectory()));
            DownloadService service;
            QCOMPARE(service.download("ZA", { Book() }),
                engine ? DownloadService::Request::Started : DownloadService::Request::Refused);
            QCOMPARE(service.inProgress().contains("ZA"), engine);
            QTRY_COMPARE(server->targets.size(), engine ? 1 : 0);
        }
    }

    void coversAreStoredOrRefusedBeforeDecoding_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QSize>("size");
        QTest::addColumn<bool>("stored");
        const int most = CachedImage::MaxSourceSide;
        QTest::newRow("no extension") << "/media/cover" << QSize(40, 40) << true;
        QTest::newRow("largest side allowed") << "/media/big.png" << QSize(most, most) << true;
        QTest::newRow("10000 pixels wide") << "/media/big.png" << QSize(10000, 40) << false;
        QTest::newRow("10000 pixels tall") << "/media/big.png" << QSize(40, 10000) << false;
    }

    // Stored under the address's last name, scaled to a cover, and found again.
    void coversAreStoredOrRefusedBeforeDecoding()
    {
        QFETCH(QString, path);
        QFETCH(QSize, size);
        QFETCH(bool, stored);
        server->respondWith(HttpTestServer::reply(blackPng(size)));
        const QString url = QStringLiteral("http://127.0.0.1:%1%2").arg(server->port()).arg(path);
        {
            CachedImage cover(url);
            QCOMPARE(cover.localPath,
                TestSupport::dataDirectory() + "/engine/covers" + path.mid(path.lastIndexOf('/')));
            QVERIFY(!cover.present && !CachedImage::isCached(url));
            QCOMPARE(fetchedCover(cover), stored);
        }
        QCOMPARE(CachedImage::isCached(url), stored);
        QCOMPARE(CachedImage(url).present, stored);
        QCOMPARE(QImage(CachedImage(url).localPath).size(), stored ? QSize(115, 170) : QSize(0, 0));
    }

    void coverWithADataFolderThatIsAFileLeavesNoFoldersElsewhere()
    {
        QDir(TestSupport::dataDirectory()).removeRecursively();
        QVERIFY(TestSupport::writeFile(TestSupport::dataDirectory(), {}));
        server->respondWith(HttpTestServer::reply(blackPng(QSize(40, 40))));
        CachedImage cover(QStringLiteral("http://127.0.0.1:%1/media/cover.jpg").arg(server->port()));
        QVERIFY(cover.localPath.isEmpty() && !cover.present);
        QVERIFY(!fetchedCover(cover));
        QCOMPARE(QDir::home().entryList({ "engine", "covers", "cover*" }), QStringList());
    }
};

VOCALUME_TEST_MAIN(TestDownloadManager)
#include "tst_downloadmanager.moc"
