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
    // A transfer of the demo package into package(): true once it has ended finished.
    bool transfersTheDemoToTheEnd() const
    {
        DownloadManager manager("ZDEMO001", package());
        QSignalSpy ended(&manager, &DownloadManager::ended);
        manager.start();
        return ended.wait(20000) && manager.finished;
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

    void transfers_data()
    {
        QTest::addColumn<QList<QByteArray>>("answers"); // in turn, the last one from then on
        QTest::addColumn<QString>("setup"); // "unreachable", "silent", "unwritable", "full" or none
        QTest::addColumn<QString>("digest"); // announced by the library
        QTest::addColumn<int>("tries"); // 0: not counted (a reply ended by a close may be asked again)
        QTest::addColumn<int>("packageSize"); // 0: no package
        QTest::addColumn<QString>("why"); // the failure text after "...del dizionario: "
        const QByteArray head = "HTTP/1.1 200 X\r\nConnection: close\r\n";
        const QByteArray whole = HttpTestServer::reply(body(20000));
        const QByteArray failing = HttpTestServer::reply("<result/>", 500);
        const QByteArray cut = "HTTP/1.1 200 OK\r\nContent-Length: 20000\r\n\r\n" + body(5000);
        const QString digest = QCryptographicHash::hash(body(20000), QCryptographicHash::Sha256).toHex();
        const QString nothing = "il servizio di download ha risposto senza inviare il dizionario. Sincronizza la libreria e riprova.";
        const QString notFound = "il negozio non ha trovato il pacchetto del dizionario. Sincronizza la libreria e riprova.";
        const auto row = [](const char* name, const QList<QByteArray>& answers, int tries, int size, const QString& why,
                             const QString& setup = QString(), const QString& digest = QString()) {
            QTest::newRow(name) << answers << setup << digest << tries << size << why;
        };
        row("8192 bytes", { HttpTestServer::reply(body(8192)) }, 0, 0, nothing);
        row("8193 bytes", { HttpTestServer::reply(body(8193)) }, 0, 8193, QString());
        row("404 with a large body, not tried again", { HttpTestServer::reply(body(50000), 404), whole }, 1, 0, notFound);
        row("redirect with a large body", { HttpTestServer::reply(body(50000), 302, "Location: /x\r\n") }, 0, 0,
            "il servizio di download ha risposto con un errore (302). Riprova più tardi.");
        row("403", { HttpTestServer::reply(body(50000), 403) }, 1, 0,
            "il negozio non ha concesso il download. Esci, accedi di nuovo e riprova.");
        row("empty 200", { HttpTestServer::reply(QByteArray()) }, 0, 0, nothing);
        row("no Content-Length, ended by close", { head + "\r\n" + body(20000) }, 0, 20000, QString());
        row("503, then the package", { HttpTestServer::reply("<result/>", 503), whole }, 2, 20000, QString());
        row("cut short twice, then the package", { cut, cut, whole }, 3, 20000, QString());
        row("cut short four times", { cut }, 4, 0, "la connessione si è interrotta durante il download. Riprova.");
        row("500 four times", { failing, failing, failing, failing, whole }, 4, 0,
            "il servizio di download ha avuto un problema (errore 500). Riprova più tardi.");
        row("digest in capitals", { whole }, 1, 20000, QString(), QString(), digest.toUpper());
        row("another package's digest", { whole }, 1, 0, "*", QString(),
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
        QCOMPARE(manager.errorMessage(),
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
        } else if (!answers.isEmpty() && setup.isEmpty()) {
            // What the service said instead of a package is kept as a diagnostic.
            QVERIFY(TestSupport::diagnosticsContain(answers.first().mid(answers.first().indexOf("\r\n\r\n") + 4, 100)));
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
        QVERIFY(transfersTheDemoToTheEnd());
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
        QVERIFY(transfersTheDemoToTheEnd());
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
