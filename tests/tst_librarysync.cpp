// Sign-in and library synchronisation against a scripted store service on 127.0.0.1, and against
// the reference one over TLS, with no window: the SYSTEM rows, the states, the covers, the
// page's answers and what the user is shown; and the export of the reader's own tables that
// comes before any removal of the data.
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
#include "tests/support/catalogservice.h"
#include "tests/support/storerows.h"
#include "tests/support/storeserviceprocess.h"
#include "tests/support/testauthority.h"
#include "tests/support/testsupport.h"

#include <QElapsedTimer>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSqlError>
#include <QSqlQuery>
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

// SYSTEM rows of dictionaries, leaving out the application's own.
QStringList bookRows()
{
    QStringList out;
    for (const QString& row : TestSupport::storeRows())
        if (row.section(QLatin1Char('|'), 1, 1) != QLatin1String("SYSTEM"))
            out << row;
    return out;
}

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

// Points the default connection at a dictionary database and back, as a page's scopes do.
bool useDefaultConnection()
{
    QTemporaryDir elsewhere;
    bool opened = false;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"));
        db.setDatabaseName(elsewhere.filePath(QStringLiteral("database.db")));
        opened = db.open();
    }
    QSqlDatabase::removeDatabase(QLatin1String(QSqlDatabase::defaultConnection));
    return opened;
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
    QStringList statements; // page statements
    QStringList answers;    // sign-in answers
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
        connect(s, &LibrarySync::pageStatement, this, [this](const QString& statement) { statements << statement; });
        connect(s, &LibrarySync::signInAnswered, this, [this](const QString& literal) { answers << literal; });
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
        messages = boxes = statements = answers = QStringList();
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

    // Nobody signed in: nothing is asked for and nothing shown. Signed in: the library's rows, its
    // covers (a ".jpg" one stored as ".png"), leaving out identifiers that cannot name a folder
    // inside the books folder; read back sorted, and a store that cannot be read is said so, the
    // library known so far kept.
    void firstSynchronisation()
    {
        QVERIFY(!sync->startSync());
        QTest::qWait(100);
        QCOMPARE(service->historyRequests(), 0);
        QCOMPARE(messages, QStringList());

        syncWith({{"", "true", "1", "a.png"}, {"../fuori", "true", "1", "a.png"}, {"a/b", "true", "1", "a.png"},
                  {"a\\b", "true", "1", "a.png"}, {"x..y", "true", "1", "a.png"},
                  {"20", "FALSE", "1", "b.jpg"}, {"10", "true", "1", "a.png"}});
        QCOMPARE(service->historyRequests(), 1);
        const QStringList r = bookRows();
        QCOMPARE(r.size(), 2 * 19);
        QCOMPARE(r.first(), QStringLiteral("1|20|TITLE|Dizionario 20"));
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
        QVERIFY(TestSupport::diagnosticsContain(QStringLiteral("Cambio di stato da 1 a 2: Query: UPDATE SYSTEM set VALUE='2'")));

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

    // Covers are numbered among the missing ones; a cached one is neither announced nor fetched,
    // nor is one that an earlier book of the same list has just brought. A cover that cannot be
    // had, or never finishes arriving within its time, is a failed cover: the failures are
    // counted in one message, no box, the address stays recorded and the rest goes on.
    void covers()
    {
        CachedImage::deadlineMilliseconds = 600;
        QVERIFY(QDir().mkpath(DataPaths::coversDirectory()));
        QVERIFY(QImage(5, 5, QImage::Format_RGB32).save(cover("cached.png")));
        syncWith({{"1", "true", "1", "x.png"}, {"2", "true", "1", "cached.png"}, {"3", "true", "1", "y.jpeg"},
                  {"4", "true", "1", "missing4.png"}, {"5", "true", "1", "x.png"}, {"6", "true", "1", "stuck6.png"},
                  {"7", "true", "1", "z.gif"}}, 5000,
                 "Sincronizzazione completata, ma 2 copertine non sono state scaricate: verranno riprovate alla prossima "
                 "sincronizzazione");
        QStringList numbered;
        for (int n = 1; n <= 5; ++n)
            numbered << QStringLiteral("Caricamento copertina %1 / 6 in corso").arg(n);
        QCOMPARE(messages.filter(QStringLiteral("Caricamento copertina")), numbered);
        QCOMPARE(values("COVER", {"2", "5", "7"}), QStringLiteral("cached.png|x.png|z.gif"));
        QCOMPARE(values("COVER", {"4", "6"}), QStringLiteral("http://127.0.0.1/media/missing4.png|http://127.0.0.1/media/stuck6.png"));
        QVERIFY(QFile::exists(cover("y.pngg")) && !QFile::exists(cover("missing4.png")) && !QFile::exists(cover("stuck6.png")));
        QCOMPARE(service->server.targets.count("/media/cached.png"), 0);
        QCOMPARE(service->server.targets.count("/media/x.png"), 1);
        QCOMPARE(boxes, QStringList());
    }

    // A login whose reply never ends does not hold up the user's next attempt. The sign-in is
    // answered once, and with success only when the library is in the store: as soon as the rows
    // are in, not after the covers.
    void acceptedSignInCompletesAfterTheLibrary()
    {
        service->catalog = {{"10", "true", "1", "a.png"}};
        service->coverPieces = 6;
        service->stuckLogins = 1;
        QStringList answeredBeforeCovers {"none"};
        whileCoversLoad = [&] { answeredBeforeCovers = answers; };
        sync->startLogin(QStringLiteral("mario"), QStringLiteral("primo"));
        QTRY_COMPARE(service->loginRequests(), 1);
        QTest::qWait(200);
        sync->startLogin(QStringLiteral("mario"), QStringLiteral(" pw "));
        QTRY_VERIFY_WITH_TIMEOUT(messages.contains(completed), 10000);
        QCOMPARE(answeredBeforeCovers, QStringList{SignIn::success()});
        QTest::qWait(200);
        QCOMPARE(service->loginRequests(), 2);
        QCOMPARE(messages.first(), QStringLiteral("Login in corso..."));
        QVERIFY(messages.indexOf(QStringLiteral("Login eseguito correttamente")) < messages.indexOf(completed));
        QCOMPARE(AppSettings().username() + '|' + AppSettings().sessionId(), QStringLiteral("mario| pw "));
        QCOMPARE(answers, QStringList{"{result:true,error:\"\"}"});
        QCOMPARE(value("SYSTEM", "LOGIN") + '|' + value("SYSTEM", "USERNAME") + '|' + value("SYSTEM", "SESSIONID"),
                 QStringLiteral("TRUE|mario| pw "));
        QVERIFY(!sync->signInWaiting());
        QCOMPARE(mergesEnded, QList<bool>{true});
        // The session is the password: no diagnostic line shows it.
        QCOMPARE(TestSupport::recorded().diagnostics.filter(QStringLiteral(" pw ")), QStringList());
    }

    // Every sign-in that does not complete is answered, once, as failed: a refused login, a store
    // that cannot be reached and one that does not answer in time are told apart, a refusal is
    // recorded where the store opens, a store that does not take the rows fails the sign-in with
    // the driver's text, nothing of the merge kept, and so does a synchronisation that times out
    // or fails; only a failure, not a time-out, brings up the page's dialog.
    void failedSignInIsAnsweredOnce_data()
    {
        QTest::addColumn<bool>("accepted");
        QTest::addColumn<QString>("login"); // "answered", "closed" (nobody listens), "stuck" (never ends)
        QTest::addColumn<QString>("history"); // "answered", "held" (never ends), or the error fields of its reply
        QTest::addColumn<QString>("store"); // "fresh" or how it is spoilt
        QTest::addColumn<QString>("answer");
        QTest::addColumn<QString>("status"); // the last status-bar text
        QTest::addColumn<QStringList>("rows");
        QTest::addColumn<bool>("dialog");
        const QStringList refusal { "1|SYSTEM|LOGIN|FALSE" };
        const QStringList noStore { "<no store>" };
        const QString notSaved = "{result:false,error:\"Impossibile salvare la libreria nel database (";
        const QString failed = "Sincronizzazione fallita: ";
        const QString answered = "answered";
        QTest::newRow("wrong password") << false << answered << answered << "fresh" << SignIn::refused() << "" << refusal << false;
        QTest::newRow("store unreachable") << false << "closed" << answered << "fresh" << SignIn::unreachableStore() << ""
                                           << refusal << false;
        QTest::newRow("login never ends") << false << "stuck" << answered << "fresh" << SignIn::noAnswer()
                                          << "Timeout sull'accesso" << refusal << false;
        QTest::newRow("refused, no data directory") << false << answered << answered << "none" << SignIn::refused() << ""
                                                    << QStringList() << false;
        QTest::newRow("refused, store damaged") << false << answered << answered << "damaged" << SignIn::refused()
                                                << "Impossibile salvare l'esito dell'accesso nel database: file is not"
                                                << noStore << false;
        QTest::newRow("accepted, no data directory") << true << answered << answered << "none" << "{result:false,error:\"Settaggi"
                                                     << failed + "Settaggi" << QStringList() << true;
        QTest::newRow("accepted, store damaged") << true << answered << answered << "damaged"
                                                 << notSaved + "file is not a database" << failed + "Impossibile" << noStore << true;
        QTest::newRow("accepted, a row refused") << true << answered << answered << "refusing" << notSaved + "rifiutato"
                                                 << failed + "Impossibile" << QStringList() << true;
        QTest::newRow("synchronisation times out") << true << answered << "held" << "fresh" << SignIn::failure("Errore di rete")
                                                   << "Timeout sulla sincronizzazione" << QStringList() << false;
        const QString error = "9: Servizio \"fuori\" l'uso";
        QTest::newRow("synchronisation fails")
            << true << answered
            << "<field name=\"errorCode\">9</field><field name=\"errorDescription\">Servizio \"fuori\" l'uso</field>"
            << "fresh" << SignIn::failure(error) << failed + error << QStringList() << true;
    }

    void failedSignInIsAnsweredOnce()
    {
        QFETCH(bool, accepted);
        QFETCH(QString, login);
        QFETCH(QString, history);
        QFETCH(QString, store);
        QFETCH(QString, answer);
        QFETCH(QString, status);
        QFETCH(QStringList, rows);
        QFETCH(bool, dialog);
        service->loginAccepted = accepted;
        service->catalog = {{"10", "true", "1", "a.png"}};
        service->stuckLogins = login == QLatin1String("stuck") ? 1 : 0;
        service->holdHistory = history == QLatin1String("held");
        if (history.startsWith('<'))
            service->historyError = history.toUtf8();
        if (login == QLatin1String("closed")) {
            const quint16 closed = ServiceEndpoint::current().port;
            service.reset();
            ServiceEndpoint::setCurrent({ QStringLiteral("127.0.0.1"), closed });
        }
        LibrarySync::loginWatchdogMilliseconds = 500;
        LibrarySync::watchdogMilliseconds = 300;
        QVERIFY(spoilStore(store));
        sync->startLogin(QStringLiteral("mario"), QStringLiteral("pw"));
        QTRY_VERIFY_WITH_TIMEOUT(!answers.isEmpty(), 5000);
        QTest::qWait(400);
        QCOMPARE(answers.size(), 1);
        QVERIFY2(answers.first().startsWith(answer), qPrintable(answers.first()));
        QVERIFY(!messages.contains(completed));
        QVERIFY2(status.isEmpty() ? messages.last().isEmpty() : messages.last().startsWith(status), qPrintable(messages.last()));
        QCOMPARE(AppSettings().sessionId(), QLatin1String(accepted ? "pw" : ""));
        QCOMPARE(TestSupport::storeRows(), rows);
        QVERIFY(!boxes.contains(QStringLiteral("Error|rollback")));
        QCOMPARE(statements.filter(QStringLiteral("messageDialog")).size(), dialog ? 1 : 0);
        QCOMPARE(statements.contains(QStringLiteral("__APP.spinner=false")), dialog);
    }

    // While the page reads, the merge cannot commit: it is tried again once the page is done; a
    // read that lasts fails it, rolled back before its box shows, so that the page's writes do
    // not wait behind the box, and nothing of the merge stays.
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
        QCOMPARE(bookRows().size(), readEnds ? 19 : 0);
    }

    // What else uses the store while the covers of a synchronisation load: the merge holds no
    // transaction across a download, so the page's own writes go through, and nothing done
    // meanwhile undoes the rows already merged or keeps the merge from recording its covers.
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
                if (!useDefaultConnection())
                    done = "no connection";
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
        QCOMPARE(bookRows().size(), 3 * 19);
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

    // The reference store over TLS (it then speaks nothing but TLS). With an authority only this
    // test trusts it carries the sign-in, the library, the covers and a package; with one the
    // system does not trust the user is told so, naming the host, and the store receives no
    // request at all.
    void storeOverTls_data()
    {
        QTest::addColumn<bool>("trusted");
        QTest::newRow("trusted") << true;
        QTest::newRow("untrusted") << false;
    }

    void storeOverTls()
    {
        QFETCH(bool, trusted);
        TestAuthority authority;
        RunningService store;
        QTemporaryDir packages;
        store.requestLog = packages.filePath("requests");
        QVERIFY(TestSupport::writeFile(packages.filePath("ZDEMO001.zip"), TestSupport::noise(50000)));
        if (!authority.make() || !store.start(packages.path(), authority.serverArguments()))
            QSKIP("the openssl tool or the store service is missing");
        if (trusted)
            authority.trust();
        sync->startLogin(QStringLiteral("demo"), QStringLiteral("demo"));
        QTRY_COMPARE_WITH_TIMEOUT(answers.size(), 1, 15000);
        DownloadManager download(QStringLiteral("ZDEMO001"), packages.filePath("downloaded.zip"));
        QSignalSpy done(&download, &DownloadManager::ended);
        const QString refused = "Impossibile stabilire una connessione sicura con 127.0.0.1: ";
        if (!trusted) {
            QVERIFY2(answers.first().startsWith("{result:false,error:\"" + refused), qPrintable(answers.first()));
            download.start();
            QVERIFY(done.wait(10000) && download.errorMessage().startsWith(refused));
            QCOMPARE(TestSupport::readFile(store.requestLog).count('\n'), 1); // its start-up line only
            return;
        }
        QCOMPARE(answers.first(), SignIn::success());
        QCOMPARE(books.value(0).image, store.base() + "/media/covers/ZDEMO001.png");
        // Covers follow the answer.
        QTRY_COMPARE(QImage(cover("ZDEMO003.png")).size(), QSize(115, 170));
        // A cover on the store's host comes over TLS (to the store's port) also when its address
        // says http; one on another host comes as its address says, here in clear.
        QVERIFY(QFile::remove(cover("ZDEMO003.png")));
        QVERIFY(CachedImage("http://127.0.0.1/media/covers/ZDEMO003.png").download());
        service->catalog = { { "1", "true", "1", "x.png" } };
        QVERIFY(CachedImage(QString("http://localhost:%1/media/x.png").arg(service->server.port())).download());
        QCOMPARE(service->server.targets, QList<QByteArray> { "/media/x.png" });
        QCOMPARE(boxes, QStringList());
        download.start();
        QVERIFY(done.wait(10000) && download.finished);
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
