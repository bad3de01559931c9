// One package transfer against a scripted server and the reference store service: the request,
// which replies become a package file (never a partial one), retries of transient failures only,
// the digest, and continuing a transfer that was cut, stopped or killed; and the download
// service's refusal without an engine folder.
#include "base/appsettings.h"
#include "base/datapaths.h"
#include "packages/diskspace.h"
#include "packages/download.h"
#include "packages/downloadmanager.h"
#include "packages/downloadservice.h"
#include "services/httpconnection.h"
#include "tests/support/httptestserver.h"
#include "tests/support/storeserviceprocess.h"
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

    void progressLiteral_data()
    {
        QTest::addColumn<int>("done");
        QTest::addColumn<int>("total");
        QTest::addColumn<QString>("literal");
        QTest::newRow("99.9 %") << 9990 << 10000 << "{result:false,progress:\"99\",size:\"0.0\"}";
        QTest::newRow("100 %") << 10000 << 10000 << "";
        QTest::newRow("last byte of 200 MiB") << 209715199 << 209715200 << "";
        QTest::newRow("5 MiB") << 2621440 << 5242880 << "{result:false,progress:\"50\",size:\"5.0\"}";
        QTest::newRow("size rounded") << 0 << 1101005 << "{result:false,progress:\"0\",size:\"1.1\"}";
        QTest::newRow("size unknown") << 70000 << 0 << "{result:false,progress:\"0\",size:\"0.0\"}";
    }

    void progressLiteral()
    {
        QFETCH(int, done);
        QFETCH(int, total);
        QFETCH(QString, literal);
        QCOMPARE(Download::progressLiteral(done, total), literal);
    }

    // No path names no disk: the free space is unknown, not looked for forever.
    void freeSpaceOfNoPath() { QCOMPARE(DiskSpace::available(QString()), qint64(-1)); }

    void resumes_data()
    {
        QTest::addColumn<int>("cutAfter"); // the service cuts every reply after so many bytes
        QTest::addColumn<QString>("stop"); // or a first transfer is stopped: "killed" (kill -9 of its process) or "closed"
        QTest::addColumn<bool>("changed"); // the package changed on the server meanwhile
        QTest::newRow("cut in three") << 20000 << "" << false;
        QTest::newRow("cut before the last byte") << 49999 << "" << false;
        QTest::newRow("cut into pieces smaller than an error reply") << 8000 << "" << false;
        QTest::newRow("killed") << 0 << "killed" << false;
        QTest::newRow("closed") << 0 << "closed" << false;
        QTest::newRow("closed, package changed") << 0 << "closed" << true;
    }

    // A transfer cut by the service, or stopped by the end of its process, keeps its part file
    // and the server's word on it: the next request continues it with a range, never asking for
    // a byte twice, or starts over when the file changed.
    void resumes()
    {
        QFETCH(int, cutAfter);
        QFETCH(QString, stop);
        QFETCH(bool, changed);
        const QByteArray first = TestSupport::noise(cutAfter ? 50000 : 400000);
        QTemporaryDir work;
        const QString served = work.filePath("ZDEMO001.zip");
        QVERIFY(TestSupport::writeFile(served, first));
        signInToTheDemo();
        qint64 kept = 0;
        QStringList expected;
        for (int from = 0; cutAfter && from < first.size(); from += cutAfter)
            expected << QString::number(qMin(cutAfter, first.size() - from)) + " from " + QString::number(from);
        const QString part = DataPaths::partFile(package());
        if (!stop.isEmpty()) {
            RunningService slow;
            if (!slow.start(work.path(), { "--slow-download", "100000" }))
                QSKIP("the store service is not built");
            QProcess child;
            QScopedPointer<DownloadManager> stopped;
            if (stop == "killed") {
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
            child.kill();
            QVERIFY(stop != "killed" || child.waitForFinished());
            stopped.reset();
            kept = QFileInfo(part).size();
            QVERIFY(kept > 0 && kept < first.size());
            expected << QString("%1 from %2").arg(first.size() - kept).arg(kept);
        }
        const QByteArray second = TestSupport::noise(300000, 2);
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
        // The service writes its line once the reply is out, which may be after the client has it.
        const auto replies = [&] {
            QStringList lines = packageReplies(service.requestLog);
            lines.removeDuplicates();
            return lines;
        };
        QTRY_COMPARE_WITH_TIMEOUT(replies(), expected, 5000);
    }

    // Without an engine folder nothing is asked for; with one, the download starts.
    void serviceWithoutTheBridge_data()
    {
        QTest::addColumn<bool>("engine");
        QTest::newRow("engine folder") << true;
        QTest::newRow("no engine folder") << false;
    }

    void serviceWithoutTheBridge()
    {
        QFETCH(bool, engine);
        QVERIFY(!engine || QDir().mkpath(DataPaths::engineDirectory()));
        server->respond([](const QByteArray&) { return HttpTestServer::Answer(QByteArray(), true); });
        DownloadService service;
        Book book;
        book.bookId = "ZA";
        service.download("ZA", "cb", { book });
        QCOMPARE(service.inProgress().contains("ZA"), engine);
        QTRY_COMPARE(server->targets.size(), engine ? 1 : 0);
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
