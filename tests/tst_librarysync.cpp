// Sign-in and library synchronisation with no window, against a scripted store service on
// 127.0.0.1 and the reference one over TLS; and the notes export that precedes any data removal.
#include "base/appsettings.h"
#include "base/datapaths.h"
#include "library/librarysync.h"
#include "library/signin.h"
#include "packages/cachedimage.h"
#include "packages/downloadmanager.h"
#include "resources/resources.h"
#include "services/httpconnection.h"
#include "services/serviceendpoint.h"
#include "store/notesexport.h"
#include "store/webstore.h"
#include "tests/support/fetchedcover.h"
#include "tests/support/catalogservice.h"
#include "tests/support/storerows.h"
#include "tests/support/storeserviceprocess.h"
#include "tests/support/testsupport.h"

#include <QElapsedTimer>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QSqlError>
#include <QSqlQuery>
#include <QSslConfiguration>
#include <QTimer>

namespace {
const QString completed = QStringLiteral("Sincronizzazione completata");
using Catalog = QList<CatalogService::Entry>;

QString value(const QString& refbook, const QString& variable) { return TestSupport::storeValue(refbook, variable); }

// One variable of several books, as "a|b|...".
QString values(const QString& variable, const QStringList& refbooks)
{
    QStringList out;
    for (const QString& refbook : refbooks)
        out << value(refbook, variable);
    return out.join(QLatin1Char('|'));
}

void setValue(const QString& refbook, const QString& variable, const QString& value)
{
    TestSupport::storeExec(QStringLiteral("UPDATE SYSTEM set VALUE='%1' where VARIABLE='%2' and REFBOOK = '%3'")
                               .arg(value, variable, refbook));
}

QString cover(const QString& name) { return DataPaths::coversDirectory() + QLatin1Char('/') + name; }

// Every SYSTEM row as "id|refbook|variable|value"; "<no store>" when SYSTEM cannot be read.
QStringList storeRows()
{
    WebStore store;
    if (!store.open())
        return {};
    QSqlQuery q(store.database());
    QStringList rows;
    if (!q.exec(QStringLiteral("SELECT id, refbook, variable, value FROM SYSTEM ORDER BY id")))
        rows << QStringLiteral("<no store>");
    while (q.next())
        rows << QStringList { q.value(0).toString(), q.value(1).toString(), q.value(2).toString(), q.value(3).toString() }.join('|');
    return rows;
}

// How many SYSTEM rows are dictionaries', leaving out the application's own.
int bookRows() { return storeRows().filter(QRegularExpression(QStringLiteral("^\\d+\\|(?!SYSTEM\\|)"))).size(); }

// The web database made unusable: "none" (no data directory), "damaged" (not a database),
// "refusing" (COVER rows refused, after the rows before them went in).
bool spoilStore(const QString& how)
{
    if (how == "none")
        return QDir(DataPaths::dataDirectory()).removeRecursively();
    if (how == "damaged")
        return TestSupport::writeFile(DataPaths::bookmarksDatabase(), TestSupport::noise(4096));
    return how != "refusing"
        || TestSupport::storeExec("CREATE TRIGGER refuse BEFORE INSERT ON SYSTEM WHEN NEW.VARIABLE = 'COVER' "
                                  "BEGIN SELECT RAISE(ABORT, 'rifiutato'); END");
}

// A sign-in's answer as the tests compare it: "accepted", "refused", "unreachable", "no answer"
// or "failed: <why>".
QString heard(SignIn::Answer answer, const QString& error)
{
    switch (answer) {
    case SignIn::Answer::Accepted:
        return QStringLiteral("accepted");
    case SignIn::Answer::Refused:
        return QStringLiteral("refused");
    case SignIn::Answer::StoreUnreachable:
        return QStringLiteral("unreachable");
    case SignIn::Answer::NoAnswer:
        return QStringLiteral("no answer");
    case SignIn::Answer::Failed:
        break;
    }
    return QStringLiteral("failed: ") + error;
}

// A write as the page makes it, on a connection of its own that waits for no lock at all.
bool pageWrite(QString* error)
{
    bool written = false;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("page"));
        db.setDatabaseName(DataPaths::bookmarksDatabase());
        db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=0"));
        QSqlQuery insert(db.open() ? db : QSqlDatabase());
        written = insert.exec(QStringLiteral("INSERT INTO FAVORITE(DATE, IDBOOK, NOTE, REF) VALUES(1, '10', 'nota', 'voce')"));
        *error = insert.lastError().text();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("page"));
    return written;
}
}

class TestLibrarySync : public QObject
{
    Q_OBJECT
private:
    QScopedPointer<CatalogService> service;
    QScopedPointer<LibrarySync> sync;
    QStringList messages;   // status-bar texts
    QStringList boxes;      // warnings and critical boxes, "title|text"
    QStringList pageCalls;  // what the page is asked: "problem" (its box), "stopped" (its wait)
    QStringList answers;    // sign-in answers, as heard() writes them
    QVector<Book> books;    // the library last loaded
    QList<bool> mergesEnded; // whether each merge changed the page
    // Run from inside the synchronisation, once its first cover has started loading.
    std::function<void()> whileCoversLoad;

    void newSync()
    {
        sync.reset(new LibrarySync);
        LibrarySync* s = sync.data();
        connect(s, &LibrarySync::statusMessage, this, [this](const QString& text, int) {
            messages << text;
            if (whileCoversLoad && text.startsWith(QStringLiteral("Caricamento copertina 1 /"))) {
                QTimer::singleShot(100, this, whileCoversLoad);
                whileCoversLoad = nullptr;
            }
        });
        connect(s, &LibrarySync::warning, this, [this](const QString& text) { boxes << QStringLiteral("Vocalume|") + text; });
        connect(s, &LibrarySync::critical, this,
                [this](const QString& title, const QString& text) { boxes << title + QLatin1Char('|') + text; });
        connect(s, &LibrarySync::syncProblem, this, [this] { pageCalls << QStringLiteral("problem"); });
        connect(s, &LibrarySync::syncStopped, this, [this] { pageCalls << QStringLiteral("stopped"); });
        connect(s, &LibrarySync::signInAnswered, this,
                [this](SignIn::Answer answer, const QString& error) { answers << heard(answer, error); });
        connect(s, &LibrarySync::libraryLoaded, this, [this](const QVector<Book>& loaded) { books = loaded; });
        connect(s, &LibrarySync::mergeEnded, this, [this](bool changed, bool) { mergesEnded << changed; });
    }

    // Signs in and synchronises the account's library `catalog`, waiting for its last word.
    void syncWith(const Catalog& catalog, int timeout = 5000, const QString& end = completed)
    {
        service->catalog = catalog;
        AppSettings settings;
        settings.setUsername(QStringLiteral("mario"));
        settings.setSessionId(QStringLiteral("segreto"));
        const int before = messages.count(end);
        QVERIFY(sync->startSync());
        QTRY_COMPARE_WITH_TIMEOUT(messages.count(end), before + 1, timeout);
    }

private slots:
    void init()
    {
        TestSupport::resetHome();
        VocalumeResources::init();
        // The web database as a fresh data directory holds it.
        const QString file = DataPaths::bookmarksDatabase();
        QVERIFY(QDir().mkpath(DataPaths::webStorageDirectory()) && QFile::copy(":/databases/bookmarks.db", file)
                && QFile::setPermissions(file, QFileDevice::ReadOwner | QFileDevice::WriteOwner));
        LibrarySync::watchdogMilliseconds = 20000;
        LibrarySync::loginWatchdogMilliseconds = 20000;
        LibrarySync::storeRetryMilliseconds = 5000;
        CachedImage::deadlineMilliseconds = 30000;
        messages = boxes = pageCalls = answers = QStringList();
        books.clear();
        mergesEnded.clear();
        whileCoversLoad = nullptr;
        service.reset(new CatalogService);
        newSync();
    }

    void cleanup()
    {
        sync.reset();
        service.reset();
    }

    // Signed out, nothing is asked; signed in, the library's rows and covers, leaving out identifiers
    // that cannot name a book's folder; read back sorted, an unreadable store said so, the list kept.
    void firstSynchronisation()
    {
        QVERIFY(!sync->startSync());
        QTest::qWait(100);
        QCOMPARE(service->requests("getHistory"), 0);
        QCOMPARE(messages, QStringList());

        syncWith({{"", "true", "1", "a.png"}, {"../fuori", "true", "1", "a.png"}, {"a/b", "true", "1", "a.png"},
                  {"a\\b", "true", "1", "a.png"}, {"x..y", "true", "1", "a.png"},
                  {"20", "FALSE", "1", "b.jpg"}, {"10", "true", "1", "a.png"}});
        QCOMPARE(service->requests("getHistory"), 1);
        QCOMPARE(bookRows(), 2 * 19);
        QCOMPARE(values("STATUS", {"10", "20"}), QStringLiteral("0|3"));
        QCOMPARE(value("10", "AUTHOR"), QStringLiteral("Autore d'esempio"));
        QCOMPARE(values("COVER", {"10", "20"}), QStringLiteral("a.png|b.jpg"));
        QCOMPARE(QImage(cover("b.png")).size(), QSize(115, 170));
        QCOMPARE(books.size(), 2);
        QCOMPARE(mergesEnded, QList<bool>{true});
        QCOMPARE(boxes, QStringList());

        books.clear();
        newSync();
        sync->loadDefaultList();
        QCOMPARE(books.size(), 2);
        QCOMPARE(books.at(0).bookId, QStringLiteral("10"));
        QCOMPARE(books.at(1).title, QStringLiteral("Dizionario 20"));
        QVERIFY(spoilStore("damaged"));
        sync->loadDefaultList();
        QCOMPARE(books.size(), 2);
        QVERIFY(boxes.join('|').startsWith("Vocalume|Apertura database delle note fallita, Motivo: file is not a database"));
    }

    void statesFollowTheService()
    {
        syncWith({{"10", "true", "3", "a.png"}, {"20", "false", "1", "b.png"}, {"30", "true", "1", "c.png"}});
        setValue("10", "STATUS", "1");

        // 10: installed, newer revision offered; 20: bought now; 30: no longer bought.
        syncWith({{"10", "true", "4", "a.png"}, {"20", "TRUE", "1", "b.png"}, {"30", "false", "1", "c.png"}});
        QCOMPARE(values("STATUS", {"10", "20", "30"}), QStringLiteral("2|0|3"));
        QCOMPARE(value("10", "REVISION"), QStringLiteral("4"));

        // 30 no longer listed: hidden, its state kept.
        syncWith({{"10", "true", "4", "a.png"}, {"20", "true", "1", "b.png"}});
        QCOMPARE(values("STATUS", {"10", "30"}), QStringLiteral("2|3"));
        QCOMPARE(values("VISIBLE", {"10", "30"}), QStringLiteral("1|0"));

        // Installed with no recorded revision: stays installed whatever the service offers.
        setValue("20", "STATUS", "1");
        setValue("20", "REVISION", "");
        syncWith({{"20", "true", "9", "b.png"}});
        QCOMPARE(value("20", "STATUS"), QStringLiteral("1"));

        // The same library again changes nothing the page shows: it is not redrawn.
        syncWith(service->catalog);
        QVERIFY(mergesEnded.first());
        QVERIFY(!mergesEnded.last());
    }

    // Only missing covers are numbered and fetched, each once (a picture two books share is
    // waited for, not asked twice), several at once; one missing or too slow is counted in one
    // message (no box), its address kept for the next time, and the rest goes on.
    void covers()
    {
        CachedImage::deadlineMilliseconds = 600;
        QVERIFY(QDir().mkpath(DataPaths::coversDirectory()));
        QVERIFY(QImage(5, 5, QImage::Format_RGB32).save(cover("cached.png")));
        // How many covers were in the cache as each one started: the first three start together.
        QStringList cachedAtStart;
        connect(sync.data(), &LibrarySync::statusMessage, this, [&cachedAtStart](const QString& text) {
            if (text.startsWith(QStringLiteral("Caricamento copertina")))
                cachedAtStart << QString::number(QDir(DataPaths::coversDirectory()).entryList(QDir::Files).size());
        });
        syncWith({{"1", "true", "1", "x.png"}, {"2", "true", "1", "cached.png"}, {"3", "true", "1", "y.jpeg"},
                  {"4", "true", "1", "missing4.png"}, {"5", "true", "1", "x.png"}, {"6", "true", "1", "stuck6.png"},
                  {"7", "true", "1", "z.gif"}}, 5000,
                 "Sincronizzazione completata, ma 2 copertine non sono state scaricate: verranno riprovate alla prossima "
                 "sincronizzazione");
        QStringList numbered;
        for (int n = 1; n <= 5; ++n)
            numbered << QStringLiteral("Caricamento copertina %1 / 6 in corso").arg(n);
        QCOMPARE(messages.filter(QStringLiteral("Caricamento copertina")), numbered);
        QCOMPARE(cachedAtStart.mid(0, 3), QStringList({ "1", "1", "1" }));
        QCOMPARE(values("COVER", {"2", "5", "7"}), QStringLiteral("cached.png|x.png|z.gif"));
        QCOMPARE(values("COVER", {"4", "6"}), QStringLiteral("http://127.0.0.1/media/missing4.png|http://127.0.0.1/media/stuck6.png"));
        QVERIFY(QFile::exists(cover("y.pngg")) && !QFile::exists(cover("missing4.png")) && !QFile::exists(cover("stuck6.png")));
        QCOMPARE(service->server.targets.count("/media/cached.png"), 0);
        QCOMPARE(service->server.targets.count("/media/x.png"), 1);
        QCOMPARE(boxes, QStringList());
    }

    // Answered once, with success as soon as the rows are in, not after the covers; a login whose
    // reply never ends does not hold up the next attempt.
    void acceptedSignInCompletesAfterTheLibrary()
    {
        service->catalog = {{"10", "true", "1", "a.png"}};
        service->coverPieces = 6;
        service->stuckLogins = 1;
        QStringList answeredBeforeCovers {"none"};
        whileCoversLoad = [&] { answeredBeforeCovers = answers; };
        sync->startLogin(QStringLiteral("mario"), QStringLiteral("primo"));
        QTRY_COMPARE(service->requests("login"), 1);
        QTest::qWait(200);
        sync->startLogin(QStringLiteral("mario"), QStringLiteral(" pw "));
        QTRY_VERIFY_WITH_TIMEOUT(messages.contains(completed), 10000);
        QCOMPARE(answeredBeforeCovers, QStringList{"accepted"});
        QTest::qWait(200);
        QCOMPARE(service->requests("login"), 2);
        QCOMPARE(AppSettings().username() + '|' + AppSettings().sessionId(), QStringLiteral("mario| pw "));
        QCOMPARE(answers, QStringList{"accepted"});
        QCOMPARE(value("SYSTEM", "LOGIN") + '|' + value("SYSTEM", "USERNAME") + '|' + value("SYSTEM", "SESSIONID"),
                 QStringLiteral("TRUE|mario| pw "));
        QVERIFY(!sync->signInWaiting());
        QCOMPARE(mergesEnded, QList<bool>{true});
        // The session is the password: no diagnostic line shows it.
        QCOMPARE(TestSupport::recorded().diagnostics.filter(QStringLiteral(" pw ")), QStringList());
    }

    // A sign-in that does not complete is answered once as failed, its cause told apart and nothing
    // of the merge kept; only a failure, not a time-out, brings up the page's dialog.
    void failedSignInIsAnsweredOnce_data()
    {
        // "refused" login, "closed" (nobody listens), "stuck" login (never ends), "held" history
        // (never ends), the error fields of its reply, or how the store is spoilt (after a refusal or not).
        QTest::addColumn<QString>("how");
        QTest::addColumn<QString>("answer");
        QTest::addColumn<QString>("status"); // the last status-bar text
        QTest::addColumn<QStringList>("rows");
        QTest::addColumn<bool>("dialog");
        const auto row = [](const char* name, const QString& how, const QString& answer, const QString& status,
                            const QStringList& rows, bool dialog) { QTest::newRow(name) << how << answer << status << rows << dialog; };
        const QStringList refusal { "1|SYSTEM|LOGIN|FALSE" }, noStore { "<no store>" };
        const QString notSaved = "failed: Impossibile salvare la libreria nel database (";
        const QString failed = "Sincronizzazione fallita: ", error = "9: Servizio \"fuori\" l'uso";
        row("wrong password", "refused", "refused", "", refusal, false);
        row("store unreachable", "closed", "unreachable", "", refusal, false);
        row("login never ends", "stuck", "no answer", "Timeout sull'accesso", refusal, false);
        row("refused, no data directory", "refused none", "refused", "", {}, false);
        row("refused, store damaged", "refused damaged", "refused",
            "Impossibile salvare l'esito dell'accesso nel database: file is not", noStore, false);
        row("accepted, no data directory", "none", "failed: Settaggi", failed + "Settaggi", {}, true);
        row("accepted, store damaged", "damaged", notSaved + "file is not a database", failed + "Impossibile", noStore, true);
        row("accepted, a row refused", "refusing", notSaved + "rifiutato", failed + "Impossibile", {}, true);
        row("synchronisation times out", "held", "failed: Errore di rete", "Timeout sulla sincronizzazione", {}, false);
        row("synchronisation fails",
            "<field name=\"errorCode\">9</field><field name=\"errorDescription\">Servizio \"fuori\" l'uso</field>",
            "failed: " + error, failed + error, {}, true);
    }

    void failedSignInIsAnsweredOnce()
    {
        QFETCH(QString, how);
        QFETCH(QString, answer);
        QFETCH(QString, status);
        QFETCH(QStringList, rows);
        QFETCH(bool, dialog);
        const bool signedIn = !how.startsWith(QLatin1String("refused")) && how != QLatin1String("closed") && how != QLatin1String("stuck");
        service->loginAccepted = signedIn;
        service->catalog = {{"10", "true", "1", "a.png"}};
        service->stuckLogins = how == QLatin1String("stuck") ? 1 : 0;
        service->holdHistory = how == QLatin1String("held");
        if (how.startsWith('<'))
            service->historyError = how.toUtf8();
        if (how == QLatin1String("closed")) {
            const quint16 closed = ServiceEndpoint::current().port;
            service.reset();
            ServiceEndpoint::setCurrent({ QStringLiteral("127.0.0.1"), closed });
        }
        LibrarySync::loginWatchdogMilliseconds = 500;
        LibrarySync::watchdogMilliseconds = 300;
        QVERIFY(spoilStore(how.section(' ', -1)));
        sync->startLogin(QStringLiteral("mario"), QStringLiteral("pw"));
        QTRY_VERIFY_WITH_TIMEOUT(!answers.isEmpty(), 5000);
        QTest::qWait(400);
        QCOMPARE(answers.size(), 1);
        QVERIFY2(answers.first().startsWith(answer), qPrintable(answers.first()));
        QVERIFY(!messages.contains(completed));
        QVERIFY2(status.isEmpty() ? messages.last().isEmpty() : messages.last().startsWith(status), qPrintable(messages.last()));
        QCOMPARE(AppSettings().sessionId(), QLatin1String(signedIn ? "pw" : ""));
        QCOMPARE(storeRows(), rows);
        QVERIFY(!boxes.contains(QStringLiteral("Error|rollback")));
        QCOMPARE(pageCalls, dialog ? QStringList({ "problem", "stopped" }) : QStringList());
    }

    // A page read holds the commit back: retried when it ends; one that lasts fails the merge, rolled
    // back before its box shows so that the page's writes do not wait behind the box.
    void commitWhileThePageReads_data()
    {
        QTest::addColumn<bool>("readEnds");
        QTest::newRow("read ends soon") << true;
        QTest::newRow("read lasts") << false;
    }

    void commitWhileThePageReads()
    {
        QFETCH(bool, readEnds);
        TestSupport::PageRead read;
        QVERIFY(read.holding);
        QString writeError = "no box";
        connect(sync.data(), &LibrarySync::critical, this, [&] {
            read.end();
            if (pageWrite(&writeError))
                writeError = "written";
        });
        if (readEnds)
            QTimer::singleShot(300, this, [&] { read.end(); });
        LibrarySync::storeRetryMilliseconds = readEnds ? 5000 : 0;
        syncWith({{"10", "true", "1", "a.png"}}, 10000,
                 readEnds ? completed : "Sincronizzazione fallita: Impossibile salvare la libreria nel database (database is "
                                        "locked Unable to fetch row). Riprova più tardi.");
        QCOMPARE(writeError, QLatin1String(readEnds ? "no box" : "written"));
        QCOMPARE(boxes, readEnds ? QStringList() : QStringList{"Error|rollback"});
        QCOMPARE(bookRows(), readEnds ? 19 : 0);
    }

    // The merge holds no transaction across a cover's download: what else uses the store meanwhile
    // goes through and undoes nothing of the merge.
    void storeOperationWhileCoversLoad_data()
    {
        QTest::addColumn<QString>("operation");
        QTest::newRow("signed-in check") << "signed-in check";
        QTest::newRow("default connection elsewhere") << "default connection";
        QTest::newRow("status written") << "status";
        QTest::newRow("refused sign-in") << "refused sign-in";
        QTest::newRow("the page's write") << "page write";
    }

    void storeOperationWhileCoversLoad()
    {
        QFETCH(QString, operation);
        service->coverPieces = 6;
        QString done;
        whileCoversLoad = [&] {
            done = "ran";
            if (operation == QLatin1String("signed-in check")) {
                WebStore::isLogged();
            } else if (operation == QLatin1String("default connection")) {
                // Pointed at a dictionary database and back, as a page's scopes do.
                QTemporaryDir elsewhere;
                QSqlDatabase::addDatabase(QStringLiteral("QSQLITE")).setDatabaseName(elsewhere.filePath("database.db"));
                if (!QSqlDatabase::database().isOpen())
                    done = "no connection";
                QSqlDatabase::removeDatabase(QLatin1String(QSqlDatabase::defaultConnection));
            } else if (operation == QLatin1String("status")) {
                setValue("10", "STATUS", "1");
            } else if (operation == QLatin1String("refused sign-in")) {
                sync->onLoginError(QStringLiteral("Errore di rete"));
            } else {
                // Written while the first cover still arrives, or the write shows nothing.
                QString error;
                done = !pageWrite(&error) ? error : QFile::exists(cover("a.png")) ? "written after the cover came" : "ran";
            }
        };
        syncWith({{"10", "true", "1", "a.png"}, {"20", "true", "1", "b.png"}, {"30", "false", "1", "c.png"}}, 10000);
        QCOMPARE(done, QStringLiteral("ran"));
        QCOMPARE(bookRows(), 3 * 19);
        QCOMPARE(values("COVER", {"10", "30"}), QStringLiteral("a.png|c.png"));
        QCOMPARE(values("STATUS", {"10", "30"}), QLatin1String(operation == QLatin1String("status") ? "1|3" : "0|3"));
        QVERIFY(!boxes.contains(QStringLiteral("Error|rollback")));
        QCOMPARE(answers, QStringList());
    }

    // Each synchronisation has its own watchdog: an earlier one's never cuts a later one short.
    void watchdogBelongsToItsSynchronisation()
    {
        LibrarySync::watchdogMilliseconds = 1000;
        QElapsedTimer sinceFirst;
        sinceFirst.start();
        syncWith({{"10", "true", "1", "a.png"}});
        QTest::qWait(qMax<qint64>(0, 600 - sinceFirst.elapsed()));
        service->historyPieces = 8; // about 560 ms: the first watchdog's time runs out in the middle
        syncWith(service->catalog, 3000);
        QVERIFY(!messages.contains(QStringLiteral("Timeout sulla sincronizzazione")));
    }

    // The reference store over TLS only: trusted, it carries sign-in, library, covers and a package;
    // untrusted, the user is told so, naming the host, and the store hears no request.
    void storeOverTls_data()
    {
        QTest::addColumn<bool>("trusted");
        QTest::newRow("trusted") << true;
        QTest::newRow("untrusted") << false;
    }

    void storeOverTls()
    {
        QFETCH(bool, trusted);
        RunningService store;
        QTemporaryDir packages;
        store.requestLog = packages.filePath("requests");
        QVERIFY(TestSupport::writeFile(packages.filePath("ZDEMO001.zip"), TestSupport::noise(50000)));
        // A certificate for 127.0.0.1 that is its own authority, trusted by this process alone.
        QProcess openssl;
        openssl.setWorkingDirectory(packages.path());
        openssl.start("openssl", { "req", "-x509", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1", "-nodes",
                                   "-days", "2", "-subj", "/CN=127.0.0.1", "-addext", "subjectAltName=IP:127.0.0.1",
                                   "-keyout", "key.pem", "-out", "cert.pem" });
        if (!openssl.waitForFinished(30000) || openssl.exitCode() != 0
            || !store.start(packages.path(), { "--cert", packages.filePath("cert.pem"), "--key", packages.filePath("key.pem") }))
            QSKIP("the openssl tool or the store service is missing");
        const QSslConfiguration before = QSslConfiguration::defaultConfiguration();
        const auto restore = qScopeGuard([&] { QSslConfiguration::setDefaultConfiguration(before); });
        QSslConfiguration configuration = before;
        if (trusted)
            configuration.setCaCertificates(QSslCertificate::fromPath(packages.filePath("cert.pem")));
        QSslConfiguration::setDefaultConfiguration(configuration);
        sync->startLogin(QStringLiteral("demo"), QStringLiteral("demo"));
        QTRY_COMPARE_WITH_TIMEOUT(answers.size(), 1, 15000);
        DownloadManager download(QStringLiteral("ZDEMO001"), packages.filePath("downloaded.zip"));
        QSignalSpy done(&download, &DownloadManager::ended);
        const QString refused = "Impossibile stabilire una connessione sicura con 127.0.0.1: ";
        if (!trusted) {
            QVERIFY2(answers.first().startsWith("failed: " + refused), qPrintable(answers.first()));
            download.start();
            QVERIFY(done.wait(10000) && download.errorString().startsWith(refused));
            QCOMPARE(TestSupport::readFile(store.requestLog).count('\n'), 1); // its start-up line only
            return;
        }
        QCOMPARE(answers.first(), QStringLiteral("accepted"));
        QCOMPARE(books.value(0).image, store.base() + "/media/covers/ZDEMO001.png");
        // Covers follow the answer.
        QTRY_COMPARE(QImage(cover("ZDEMO003.png")).size(), QSize(115, 170));
        // A cover on the store's host comes over TLS (to the store's port) also when its address
        // says http; one on another host is asked over TLS too (on its port 443), never in clear:
        // where nothing answers there, it is left out.
        QVERIFY(QFile::remove(cover("ZDEMO003.png")));
        CachedImage onStoreHost("http://127.0.0.1/media/covers/ZDEMO003.png");
        QVERIFY(fetchedCover(onStoreHost));
        service->catalog = { { "1", "true", "1", "x.png" } };
        CachedImage elsewhere(QString("http://localhost:%1/media/x.png").arg(service->server.port()));
        QVERIFY(!fetchedCover(elsewhere));
        QCOMPARE(service->server.targets, QList<QByteArray>());
        QCOMPARE(boxes, QStringList());
        download.start();
        QVERIFY(done.wait(10000) && download.finished);
    }

    // After the store refused the account, the sign-out writes the notes again into the file they
    // were saved into, as they are then; where it cannot, nothing is removed.
    void signOutSavesTheNotesAgainFirst()
    {
        AppSettings().setUsername(QStringLiteral("mario"));
        QSignalSpy out(sync.data(), &LibrarySync::signedOut);
        sync->keepNotesIn(QDir::homePath() + "/cartella che non c'è/appunti.json");
        sync->signOut();
        QCOMPARE(out.count(), 0);
        QVERIFY(QFile::exists(DataPaths::bookmarksDatabase()) && AppSettings().username() == "mario");
        QCOMPARE(boxes.size(), 1);
        QVERIFY2(boxes.first().startsWith("Vocalume|Gli appunti non sono stati salvati di nuovo"), qPrintable(boxes.first()));
        const QString file = QDir::homePath() + "/appunti.json";
        QVERIFY(TestSupport::writeFile(file, "la prima copia"));
        sync->keepNotesIn(file);
        sync->signOut();
        QCOMPARE(out.count(), 1);
        QVERIFY(!QFile::exists(DataPaths::dataDirectory()));
        QCOMPARE(QJsonDocument::fromJson(TestSupport::readFile(file)).object().value("formato").toString(),
            QStringLiteral("vocalume-appunti"));
    }

    // The reader's tables saved before the data may go: read-only, never over a file, and no
    // file at all when the database cannot be read.
    void notesExport_data()
    {
        QTest::addColumn<QString>("database"); // "none", or the page's tables as made at start, or unreadable
        QTest::addColumn<QString>("written");  // the file name; empty: nothing may be written
        const QString name = "appunti-vocalume-___mario_rossi-2026-01-02";
        QTest::newRow("no web database") << "none" << name + ".json";
        QTest::newRow("no page tables, an earlier export") << "template" << name + " (2).json";
        QTest::newRow("damaged database") << "damaged" << "";
    }

    void notesExport()
    {
        QFETCH(QString, database);
        QFETCH(QString, written);
        const QDir documents(QDir::homePath() + "/Documents");
        const QString earlier = documents.filePath("appunti-vocalume-___mario_rossi-2026-01-02.json");
        QVERIFY(database == "template" ? TestSupport::writeFile(earlier, "earlier") : QFile::remove(DataPaths::bookmarksDatabase()));
        QVERIFY(database != "damaged" || TestSupport::writeFile(DataPaths::bookmarksDatabase(), TestSupport::noise(4096)));
        NotesExport exported;
        QCOMPARE(exported.write("../mario rossi", QDate(2026, 1, 2)), !written.isEmpty());
        QCOMPARE(QFile::exists(DataPaths::bookmarksDatabase()), database != "none");
        QCOMPARE(exported.path(), written.isEmpty() ? DataPaths::bookmarksDatabase() : documents.filePath(written));
        QCOMPARE(documents.entryList(QDir::Files).size(), written.isEmpty() ? 0 : database == "template" ? 2 : 1);
        QVERIFY(database != "template" || TestSupport::readFile(earlier) == "earlier");
        const QJsonObject tables = QJsonDocument::fromJson(TestSupport::readFile(exported.path())).object().value("tabelle").toObject();
        QCOMPARE(tables.keys(), written.isEmpty() ? QStringList() : QStringList({ "BOOKMARK", "FAVORITE", "HISTORY", "NOTE" }));
    }
};

VOCALUME_TEST_MAIN(TestLibrarySync)
#include "tst_librarysync.moc"
