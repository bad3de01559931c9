// Sign-in, sign-out and the library synchronisation of the main window against a scripted
// store service on 127.0.0.1: the SYSTEM rows, the states, the covers and what the page hears.
#include "app/mainwindow.h"
#include "base/appsettings.h"
#include "base/processexit.h"
#include "packages/cachedimage.h"
#include "services/serviceendpoint.h"
#include "store/webstore.h"
#include "web/pageloader.h"
#include "tests/support/httptestserver.h"
#include "tests/support/testsupport.h"
#include "web/customagentwebview.h"
#include "web/qtjavascriptinteraction.h"

#include <QApplication>
#include <QBuffer>
#include <QElapsedTimer>
#include <QImage>
#include <QSignalSpy>
#include <QStatusBar>
#include <QTimer>
#include <QWebFrame>
#include <QWebPage>

namespace {
struct Entry {
    QString sku;
    QString purchased;
    QString revision;
    QString cover;
};

QByteArray png(int w, int h)
{
    QImage image(w, h, QImage::Format_RGB32);
    image.fill(Qt::darkBlue);
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return buffer.data();
}

// A complete reply whose body arrives in `pieces` parts, one every 80 ms.
HttpTestServer::Answer trickled(const QByteArray& body, int pieces, const QByteArray& type)
{
    const int step = qMax(1, (body.size() + pieces - 1) / pieces);
    QList<QByteArray> parts;
    for (int at = 0; at < body.size(); at += step)
        parts << body.mid(at, step);
    const QByteArray head = "HTTP/1.1 200 X\r\nConnection: close\r\nContent-Type: " + type
        + "\r\nContent-Length: " + QByteArray::number(body.size()) + "\r\n\r\n";
    return { head + parts.takeFirst(), false, parts };
}

QByteArray package()
{
    QTemporaryDir dir;
    QFile file(dir.filePath("p.zip"));
    if (!TestSupport::writeZip(file.fileName(), { { "database.db", TestSupport::noise(20000) }, { "voci/", {} } })
        || !file.open(QIODevice::ReadOnly))
        return QByteArray();
    return file.readAll();
}
}

class TestLibrarySync : public QObject
{
    Q_OBJECT
private:
    QScopedPointer<HttpTestServer> server;
    MainWindow* window = nullptr;
    QList<Entry> catalog;
    QByteArray historyError; // error fields of the history reply
    bool holdHistory = false;
    int historyPieces = 1;  // above 1: the history reply trickles in
    int coverPieces = 1;    // above 1: every cover trickles in
    int stuckLogins = 0;    // this many login replies stop after their first bytes
    bool loginAccepted = true;
    int exitCode = -1;
    bool dataLeftAtExit = false;
    QStringList messages;
    // Run from inside the synchronisation, once its first cover has started loading.
    std::function<void()> whileCoversLoad;

    QByteArray history() const
    {
        QByteArray xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?><result>" + historyError;
        for (const Entry& e : catalog) {
            xml += "<book><field name=\"bookId\">" + e.sku.toUtf8() + "</field>"
                   "<field name=\"title\">Dizionario " + e.sku.toUtf8() + "</field>"
                   "<field name=\"author\">Autore d'esempio</field>"
                   "<field name=\"purchased\">" + e.purchased.toUtf8() + "</field>"
                   "<field name=\"revision\">" + e.revision.toUtf8() + "</field>"
                   "<field name=\"image\">http://127.0.0.1/media/" + e.cover.toUtf8() + "</field></book>";
        }
        return xml + "</result>";
    }

    void startServer()
    {
        server.reset(new HttpTestServer);
        server->makeCurrent();
        server->respond([this](const QByteArray& target) -> HttpTestServer::Answer {
            if (target.startsWith("/api/zenta/login.xml")) {
                const QByteArray body = loginAccepted ? "<result><field name=\"errorCode\">0</field></result>"
                                                      : "<result><field name=\"errorCode\">3</field></result>";
                if (stuckLogins > 0 && stuckLogins--)
                    return { "HTTP/1.1 200 X\r\nContent-Length: " + QByteArray::number(body.size()) + "\r\n\r\n"
                                 + body.left(8), true };
                return { HttpTestServer::reply(body), false };
            }
            if (target.startsWith("/api/zenta/getHistory.xml")) {
                if (historyPieces > 1)
                    return trickled(history(), historyPieces, "text/xml");
                return { holdHistory ? QByteArray() : HttpTestServer::reply(history()), holdHistory };
            }
            if (target.startsWith("/api/zenta/download.xml"))
                return { HttpTestServer::reply(package(), 200, "Content-Type: application/zip\r\n"), false };
            if (target.startsWith("/media/missing"))
                return { HttpTestServer::reply("<html>non trovato</html>", 404), false };
            if (target.startsWith("/media/stuck")) {
                const QByteArray cover = png(40, 60);
                return trickled(cover, cover.size(), "image/png");
            }
            if (target.startsWith("/media/") && coverPieces > 1)
                return trickled(png(40, 60), coverPieces, "image/png");
            if (target.startsWith("/media/"))
                return { HttpTestServer::reply(png(40, 60), 200, "Content-Type: image/png\r\n"), false };
            return { HttpTestServer::reply("<result/>"), false };
        });
    }

    void watchMessages()
    {
        connect(window->statusBar(), &QStatusBar::messageChanged, this, [this](const QString& m) {
            messages << m;
            if (whileCoversLoad && m.startsWith(QStringLiteral("Caricamento copertina 1 /"))) {
                QTimer::singleShot(100, window, whileCoversLoad);
                whileCoversLoad = nullptr;
            }
        });
    }

    void openWindow()
    {
        window = new MainWindow;
        watchMessages();
        // Past the first-page timer and done loading, so later page loads are the synchronisation's own.
        QTest::qWait(150);
        QTRY_VERIFY(window->webView->page()->mainFrame()->url().isValid());
        QTRY_COMPARE(window->webView->page()->mainFrame()->evaluateJavaScript(QStringLiteral("document.readyState")).toString(),
                     QStringLiteral("complete"));
    }

    int loginRequests() const
    {
        int n = 0;
        for (const QByteArray& t : server->targets)
            n += t.startsWith("/api/zenta/login.xml");
        return n;
    }

    int historyRequests() const
    {
        int n = 0;
        for (const QByteArray& t : server->targets)
            n += t.startsWith("/api/zenta/getHistory.xml");
        return n;
    }

    void syncAndWait()
    {
        const int before = messages.count(QStringLiteral("Sincronizzazione completata"));
        window->startSync();
        QTRY_COMPARE(messages.count(QStringLiteral("Sincronizzazione completata")), before + 1);
    }

    QStringList rows() { return TestSupport::storeRows(); }
    QString value(const QString& refbook, const QString& variable)
    {
        return TestSupport::storeValue(refbook, variable);
    }
    void setValue(const QString& refbook, const QString& variable, const QString& v)
    {
        TestSupport::storeExec(QStringLiteral("UPDATE SYSTEM set VALUE='%1' where VARIABLE='%2' and REFBOOK = '%3'")
                                           .arg(v, variable, refbook));
    }

    // SYSTEM rows of dictionaries, leaving out the application's own.
    QStringList bookRows()
    {
        QStringList out;
        for (const QString& row : rows())
            if (row.section(QLatin1Char('|'), 1, 1) != QLatin1String("SYSTEM"))
                out << row;
        return out;
    }

    void signInFromPage(const QString& password = QStringLiteral("pw"))
    {
        window->webView->page()->mainFrame()->evaluateJavaScript(
            QStringLiteral("QtJavascriptInteraction.setUsernamePassword('mario', '%1', 'onLogin')").arg(password));
    }

    bool coversLoading() const { return !messages.filter(QStringLiteral("Caricamento copertina")).isEmpty(); }

    QVariant js(const QString& script)
    {
        return window->webView->page()->mainFrame()->evaluateJavaScript(script);
    }

    void signIn()
    {
        AppSettings settings;
        settings.setUsername(QStringLiteral("mario"));
        settings.setSessionId(QStringLiteral("segreto"));
    }

private slots:
    void init()
    {
        TestSupport::resetHome();
        exitCode = -1;
        ProcessExit::setHandler([this](int code) {
            exitCode = code;
            dataLeftAtExit = QFile::exists(TestSupport::dataDirectory());
        });
        MainWindow::syncWatchdogMilliseconds = 20000;
        catalog.clear();
        historyError.clear();
        holdHistory = false;
        historyPieces = 1;
        coverPieces = 1;
        stuckLogins = 0;
        CachedImage::deadlineMilliseconds = 30000;
        loginAccepted = true;
        messages.clear();
        whileCoversLoad = nullptr;
        startServer();
    }

    void cleanup()
    {
        delete window;
        window = nullptr;
    }

    void withoutSessionNothingIsRequested()
    {
        openWindow();
        window->startSync();
        QTest::qWait(100);
        QCOMPARE(historyRequests(), 0);
        QVERIFY(!messages.contains(QStringLiteral("Sincronizzazione in corso...")));
    }

    void firstSynchronisationOfTwoDictionaries()
    {
        catalog = {{"10", "true", "1", "a.png"}, {"20", "FALSE", "1", "b.jpg"}};
        signIn();
        openWindow();
        QTRY_VERIFY(messages.contains(QStringLiteral("Sincronizzazione completata")));
        QCOMPARE(historyRequests(), 1);
        const QStringList r = rows();
        QCOMPARE(r.size(), 2 * 19);
        QCOMPARE(r.mid(0, 4), QStringList({"1|10|TITLE|Dizionario 10", "2|10|STATUS|0", "3|10|VISIBLE|1",
                                           "4|10|SUBTITLE|"}));
        QCOMPARE(r.at(5), QStringLiteral("6|10|LANG|"));
        QCOMPARE(r.at(19).left(14), QStringLiteral("20|20|TITLE|Di"));
        QCOMPARE(r.at(20), QStringLiteral("21|20|STATUS|3"));
        QCOMPARE(value("10", "AUTHOR"), QStringLiteral("Autore d'esempio"));
        QCOMPARE(value("10", "COVER"), QStringLiteral("a.png"));
        QCOMPARE(value("20", "COVER"), QStringLiteral("b.jpg"));
        QCOMPARE(QImage(TestSupport::dataDirectory() + "/engine/covers/b.png").size(), QSize(115, 170));
        QCOMPARE(window->libraryBooks.size(), 2);
        QCOMPARE(window->getBookField(QStringLiteral("20"), QStringLiteral("TITLE")), QStringLiteral("Dizionario 20"));
        QCOMPARE(window->getBookField(QStringLiteral("99"), QStringLiteral("title")), QString());
        QCOMPARE(window->getBookField(QStringLiteral("10"), QStringLiteral("cover")), QString());
    }

    void libraryIsReadBackAtStartUp()
    {
        catalog = {{"20", "true", "1", "b.png"}, {"10", "true", "1", "a.png"}};
        signIn();
        openWindow();
        QTRY_VERIFY(messages.contains(QStringLiteral("Sincronizzazione completata")));
        delete window;
        window = nullptr;
        AppSettings().setSessionId(QString());
        openWindow();
        QCOMPARE(window->libraryBooks.size(), 2);
        QCOMPARE(window->libraryBooks.at(0).bookId, QStringLiteral("10"));
        QCOMPARE(window->libraryBooks.at(1).title, QStringLiteral("Dizionario 20"));
        QCOMPARE(window->libraryBooks.at(1).image, QString());
    }

    void statesFollowTheService()
    {
        catalog = {{"10", "true", "3", "a.png"}, {"20", "false", "1", "b.png"}, {"30", "true", "1", "c.png"}};
        signIn();
        openWindow();
        QTRY_VERIFY(messages.contains(QStringLiteral("Sincronizzazione completata")));
        setValue("10", "STATUS", "1");

        // 10: installed, newer revision offered; 20: bought now; 30: no longer bought; 40 dropped.
        catalog = {{"10", "true", "4", "a.png"}, {"20", "TRUE", "1", "b.png"}, {"30", "false", "1", "c.png"}};
        syncAndWait();
        QCOMPARE(value("10", "STATUS"), QStringLiteral("2"));
        QCOMPARE(value("10", "REVISION"), QStringLiteral("4"));
        QCOMPARE(value("20", "STATUS"), QStringLiteral("0"));
        QCOMPARE(value("30", "STATUS"), QStringLiteral("3"));
        QVERIFY(TestSupport::diagnosticsContain(QStringLiteral("Cambio di stato da 1 a 2: Query: UPDATE SYSTEM set VALUE='2'")));

        catalog = {{"10", "true", "4", "a.png"}, {"20", "true", "1", "b.png"}};
        syncAndWait();
        QCOMPARE(value("10", "STATUS"), QStringLiteral("2"));
        QCOMPARE(value("30", "VISIBLE"), QStringLiteral("0"));
        QCOMPARE(value("30", "STATUS"), QStringLiteral("3"));
        QCOMPARE(value("10", "VISIBLE"), QStringLiteral("1"));

        // Installed with no recorded revision: stays installed whatever the service offers.
        setValue("20", "STATUS", "1");
        setValue("20", "REVISION", "");
        catalog = {{"20", "true", "9", "b.png"}};
        syncAndWait();
        QCOMPARE(value("20", "STATUS"), QStringLiteral("1"));
    }

    void pageRedrawsOnlyWhenItShould()
    {
        catalog = {{"10", "true", "1", "a.png"}};
        signIn();
        openWindow();
        QTRY_VERIFY(messages.contains(QStringLiteral("Sincronizzazione completata")));
        QTRY_COMPARE(window->webView->page()->mainFrame()->evaluateJavaScript(QStringLiteral("document.readyState")).toString(),
                     QStringLiteral("complete"));
        QTest::qWait(100);
        QSignalSpy loads(window->webView->page(), &QWebPage::loadFinished);
        syncAndWait();
        QCOMPARE(loads.count(), 0);
        window->webView->page()->mainFrame()->evaluateJavaScript(QStringLiteral("QtJavascriptInteraction.synchronize()"));
        QTRY_COMPARE(messages.count(QStringLiteral("Sincronizzazione completata")), 3);
        QTRY_COMPARE(loads.count(), 1);
    }

    void coversAreNumberedAndCachedOnesAreSilent()
    {
        openWindow();
        delete window;
        window = nullptr;
        QImage(5, 5, QImage::Format_RGB32).save(TestSupport::dataDirectory() + "/engine/covers/cached.png");
        catalog = {{"1", "true", "1", "x.png"}, {"2", "true", "1", "cached.png"}, {"3", "true", "1", "y.jpeg"},
                   {"4", "true", "1", "z.gif"}};
        signIn();
        openWindow();
        QTRY_VERIFY(messages.contains(QStringLiteral("Sincronizzazione completata")));
        const QStringList covers = messages.filter(QStringLiteral("Caricamento copertina"));
        QCOMPARE(covers, QStringList({"Caricamento copertina 1 / 3 in corso", "Caricamento copertina 2 / 3 in corso",
                                      "Caricamento copertina 3 / 3 in corso"}));
        QCOMPARE(value("2", "COVER"), QStringLiteral("cached.png"));
        QVERIFY(QFile::exists(TestSupport::dataDirectory() + "/engine/covers/y.pngg"));
        QCOMPARE(server->targets.count("/media/cached.png"), 0);
    }

    void coverThatCannotBeFetchedKeepsItsAddress()
    {
        catalog = {{"1", "true", "1", "missing.png"}};
        signIn();
        openWindow();
        QTRY_VERIFY(messages.contains(QStringLiteral("Sincronizzazione completata")));
        QVERIFY(TestSupport::recorded().dialogs.contains(
            QStringLiteral("Vocalume|Impossibile scaricare la copertina del libro Dizionario 1")));
        QCOMPARE(value("1", "COVER"), QStringLiteral("http://127.0.0.1/media/missing.png"));
        QVERIFY(!QFile::exists(TestSupport::dataDirectory() + "/engine/covers/missing.png"));
        QVERIFY(!TestSupport::diagnosticsContain(QStringLiteral("Salvata immagine")));
    }

    void acceptedSignInCompletesAfterTheLibrary()
    {
        catalog = {{"10", "true", "1", "a.png"}};
        openWindow();
        window->webView->page()->mainFrame()->evaluateJavaScript(
            QStringLiteral("QtJavascriptInteraction.setUsernamePassword('mario', ' pw ', 'onLogin')"));
        QTRY_VERIFY(messages.contains(QStringLiteral("Sincronizzazione completata")));
        QVERIFY(messages.contains(QStringLiteral("Login in corso...")));
        QVERIFY(messages.indexOf(QStringLiteral("Login eseguito correttamente"))
                < messages.indexOf(QStringLiteral("Sincronizzazione completata")));
        QCOMPARE(AppSettings().username(), QStringLiteral("mario"));
        QCOMPARE(AppSettings().sessionId(), QStringLiteral(" pw "));
        QCOMPARE(TestSupport::recorded().statements.filter(QStringLiteral("onLogin")),
                 QStringList{"SignalQt('onLogin', '{result:true,error:\"\"}')"});
        QCOMPARE(value("SYSTEM", "LOGIN"), QStringLiteral("TRUE"));
        QCOMPARE(value("SYSTEM", "USERNAME"), QStringLiteral("mario"));
        QCOMPARE(value("SYSTEM", "SESSIONID"), QStringLiteral(" pw "));
        QVERIFY(!window->loginPending);
        QVERIFY(window->webView->page()->mainFrame()->url().toString().endsWith(QStringLiteral("libreria.html")));
    }

    void refusedSignInRecordsOneRow()
    {
        loginAccepted = false;
        openWindow();
        signInFromPage(QStringLiteral("bad"));
        QTRY_COMPARE(TestSupport::heard(QStringLiteral("onLogin")).size(), 1);
        QCOMPARE(TestSupport::heard(QStringLiteral("onLogin")).first(),
                 QStringLiteral("SignalQt('onLogin', '{result:false,error:\"Impossibile eseguire l\\'accesso. "
                                "Controlla i dati inseriti oppure effettua la registrazione.\"}')"));
        QCOMPARE(rows(), QStringList{"1|SYSTEM|LOGIN|FALSE"});
        QCOMPARE(window->statusBar()->currentMessage(), QString());
        QCOMPARE(AppSettings().sessionId(), QString());
    }

    // A store that cannot be reached is told as such, not as a wrong name or password.
    void unreachableStoreIsToldAsSuch()
    {
        openWindow();
        const quint16 closed = ServiceEndpoint::current().port;
        server.reset();
        ServiceEndpoint::setCurrent({ QStringLiteral("127.0.0.1"), closed });
        signInFromPage();
        QTRY_COMPARE(TestSupport::heard(QStringLiteral("onLogin")).size(), 1);
        QCOMPARE(TestSupport::heard(QStringLiteral("onLogin")).first(),
                 QStringLiteral("SignalQt('onLogin', '{result:false,error:\"Impossibile contattare il negozio. "
                                "Controlla la connessione a Internet e riprova.\"}')"));
        QCOMPARE(AppSettings().sessionId(), QString());
    }

    void watchdogFailsAPendingSignIn()
    {
        MainWindow::syncWatchdogMilliseconds = 300;
        holdHistory = true;
        openWindow();
        window->webView->page()->mainFrame()->evaluateJavaScript(
            QStringLiteral("QtJavascriptInteraction.setUsernamePassword('mario', 'pw', 'onLogin')"));
        QTRY_VERIFY(messages.contains(QStringLiteral("Timeout sulla sincronizzazione")));
        QTRY_COMPARE(TestSupport::recorded().statements.filter(QStringLiteral("onLogin")),
                     QStringList{"SignalQt('onLogin', '{result:false,error:\"Errore di rete\"}')"});
        QVERIFY(TestSupport::recorded().statements.filter(QStringLiteral("messageDialog")).isEmpty());
        QCOMPARE(AppSettings().sessionId(), QStringLiteral("pw"));
    }

    void failedSynchronisationTellsThePage()
    {
        historyError = "<field name=\"errorCode\">9</field><field name=\"errorDescription\">Servizio \"fuori\" l'uso</field>";
        openWindow();
        window->webView->page()->mainFrame()->evaluateJavaScript(
            QStringLiteral("QtJavascriptInteraction.setUsernamePassword('mario', 'pw', 'onLogin')"));
        QTRY_COMPARE(TestSupport::recorded().statements.filter(QStringLiteral("onLogin")).size(), 1);
        QVERIFY(messages.contains(QStringLiteral("Sincronizzazione fallita: 9: Servizio \"fuori\" l'uso")));
        const QStringList statements = TestSupport::recorded().statements;
        QVERIFY(statements.contains(QStringLiteral("__APP.spinner=false")));
        QCOMPARE(statements.filter(QStringLiteral("messageDialog")).size(), 1);
        // The page receives the text intact: no quote of it ends a string early.
        QVariant seen;
        window->webView->page()->mainFrame()->evaluateJavaScript(
            QStringLiteral("function SignalQt(cb, lit) { window.seen = eval('(' + lit + ')').error; }"));
        window->webView->page()->mainFrame()->evaluateJavaScript(statements.filter(QStringLiteral("onLogin")).first());
        seen = window->webView->page()->mainFrame()->evaluateJavaScript(QStringLiteral("window.seen"));
        QCOMPARE(seen.toString(), QStringLiteral("9: Servizio \"fuori\" l'uso"));
    }

    void accessDeniedSignsOut()
    {
        historyError = "<field name=\"errorCode\">401</field><field name=\"errorDescription\">Accesso negato</field>";
        signIn();
        openWindow();
        QTRY_COMPARE(exitCode, 0);
        QVERIFY(TestSupport::recorded().statements.contains(QStringLiteral(
            "messageDialog(\"Accesso negato!<br/>Sarà necessario riloggarsi e riscaricare i libri\", "
            "\"QtJavascriptInteraction.onLogout()\")")));
        QVERIFY(!dataLeftAtExit);
        QCOMPARE(AppSettings().username(), QString());
    }
    // A store operation while the covers of a synchronisation load must neither undo the rows
    // already merged nor keep the merge from recording its covers.
    void storeOperationWhileCoversLoad_data()
    {
        QTest::addColumn<QString>("operation");
        QTest::newRow("first page") << "first page";
        QTest::newRow("dictionary scopes") << "scopes";
        QTest::newRow("package installation") << "installation";
        QTest::newRow("refused sign-in") << "refused sign-in";
    }

    void storeOperationWhileCoversLoad()
    {
        QFETCH(QString, operation);
        catalog = {{"10", "true", "1", "a.png"}, {"20", "true", "1", "b.png"}, {"30", "false", "1", "c.png"}};
        coverPieces = 6;
        openWindow();
        QVERIFY(QDir().mkpath(TestSupport::dataDirectory() + "/engine/books/20"));
        QFile scopes(TestSupport::dataDirectory() + "/engine/books/20/database.db");
        QVERIFY(scopes.open(QIODevice::WriteOnly));
        scopes.close();
        signIn();
        bool ran = false;
        whileCoversLoad = [this, operation, &ran] {
            ran = true;
            if (operation == QLatin1String("first page"))
                window->goToLibrary();
            else if (operation == QLatin1String("scopes"))
                window->bridge->getScopes(QStringLiteral("20"), QStringLiteral("onScopes"));
            else if (operation == QLatin1String("installation"))
                window->bridge->download(QStringLiteral("10"), QStringLiteral("onDownload"));
            else
                window->onLoginError(QStringLiteral("Errore di rete"));
        };
        window->startSync();
        QTRY_VERIFY_WITH_TIMEOUT(messages.contains(QStringLiteral("Sincronizzazione completata")), 10000);
        if (operation == QLatin1String("installation")) {
            QTRY_VERIFY(!TestSupport::heard(QStringLiteral("onDownload")).filter(QStringLiteral("100")).isEmpty());
            QCOMPARE(value("10", "STATUS"), QStringLiteral("1"));
        }
        QVERIFY(ran);
        QCOMPARE(bookRows().size(), 3 * 19);
        QCOMPARE(value("10", "COVER"), QStringLiteral("a.png"));
        QCOMPARE(value("30", "COVER"), QStringLiteral("c.png"));
        QCOMPARE(value("30", "STATUS"), QStringLiteral("3"));
        QVERIFY(!TestSupport::recorded().dialogs.contains(QStringLiteral("Error|rollback")));
    }

    // The page's own writes (favourites, notes) go through while covers load: the merge holds
    // no transaction across a download.
    void pageWritesWhileCoversLoad()
    {
        catalog = {{"10", "true", "1", "a.png"}};
        coverPieces = 25; // about 2 s
        openWindow();
        signIn();
        // The page is reloaded when the merge ends: its answer is watched for from inside. The
        // cover is stored only once all of it has arrived, so a write held until then finds it.
        const QString cover = TestSupport::dataDirectory() + QStringLiteral("/engine/covers/a.png");
        bool written = false;
        bool coverStillArriving = false;
        bool syncStillRunning = false;
        QTimer poll;
        connect(&poll, &QTimer::timeout, this, [&] {
            if (!written && js(QStringLiteral("window.txDone === true")).toBool()) {
                written = true;
                coverStillArriving = !QFile::exists(cover);
                syncStillRunning = !messages.contains(QStringLiteral("Sincronizzazione completata"));
            }
        });
        whileCoversLoad = [&] {
            js(QStringLiteral(
                "var db = openDatabase('zenta', '1.0', 'ZENTA DATABASE', 10485760);"
                "db.transaction(function (tx) {"
                "  tx.executeSql(\"INSERT INTO FAVORITE(DATE, IDBOOK, NOTE, REF) VALUES(1, '10', 'nota', 'voce')\");"
                "}, function (e) { window.txError = e.message; }, function () { window.txDone = true; });"));
            poll.start(20);
        };
        window->startSync();
        QTRY_VERIFY_WITH_TIMEOUT(messages.contains(QStringLiteral("Sincronizzazione completata")), 40000);
        QVERIFY(written);
        QVERIFY(coverStillArriving);
        QVERIFY(syncStillRunning);
        QVERIFY(QFile::exists(cover));
        QCOMPARE(bookRows().size(), 19);
        QCOMPARE(value("10", "COVER"), QStringLiteral("a.png"));
    }

    // A signed-in user's start: the first page asks the store whether the user is signed in
    // while the covers still load. Every run must keep every row.
    void startUpWithSlowCoversKeepsEveryRow()
    {
        const int runs = 20;
        QStringList failures;
        for (int run = 0; run < runs; ++run) {
            TestSupport::resetHome();
            messages.clear();
            catalog = {{"10", "true", "1", "a.png"}, {"20", "false", "1", "b.png"}};
            coverPieces = 2; // each cover takes 80 ms: the first page's 100 ms timer fires among them
            signIn();
            window = new MainWindow;
            watchMessages();
            if (!QTest::qWaitFor([this] { return messages.contains(QStringLiteral("Sincronizzazione completata")); }, 5000))
                failures << QStringLiteral("run %1: no end").arg(run);
            else if (bookRows().size() != 2 * 19 || value("20", "COVER") != QLatin1String("b.png"))
                failures << QStringLiteral("run %1: %2 rows").arg(run).arg(bookRows().size());
            delete window;
            window = nullptr;
        }
        QVERIFY2(failures.isEmpty(), qPrintable(failures.join(QStringLiteral(", "))));
    }

    // The sign-in is answered once, and with success only when the library is in the store.
    void signInWhilePageReadsScopes()
    {
        catalog = {{"10", "true", "1", "a.png"}};
        coverPieces = 6;
        openWindow();
        QVERIFY(QDir().mkpath(TestSupport::dataDirectory() + "/engine/books/10"));
        QFile scopes(TestSupport::dataDirectory() + "/engine/books/10/database.db");
        QVERIFY(scopes.open(QIODevice::WriteOnly));
        scopes.close();
        whileCoversLoad = [this] { window->bridge->getScopes(QStringLiteral("10"), QStringLiteral("onScopes")); };
        signInFromPage();
        QTRY_VERIFY_WITH_TIMEOUT(!TestSupport::heard(QStringLiteral("onLogin")).isEmpty(), 10000);
        QTest::qWait(200);
        QCOMPARE(TestSupport::heard(QStringLiteral("onLogin")), QStringList{"SignalQt('onLogin', '{result:true,error:\"\"}')"});
        QCOMPARE(value("SYSTEM", "LOGIN"), QStringLiteral("TRUE"));
        QCOMPARE(value("SYSTEM", "USERNAME"), QStringLiteral("mario"));
        QCOMPARE(bookRows().size(), 19);
        QVERIFY(!TestSupport::heard(QStringLiteral("onScopes")).isEmpty());
    }

    // Without a store the page still hears, once, that the sign-in failed.
    void signInWithoutStoreIsAnswered_data()
    {
        QTest::addColumn<bool>("accepted");
        QTest::newRow("accepted login") << true;
        QTest::newRow("refused login") << false;
    }

    void signInWithoutStoreIsAnswered()
    {
        QFETCH(bool, accepted);
        loginAccepted = accepted;
        catalog = {{"10", "true", "1", "a.png"}};
        openWindow();
        QVERIFY(QDir(TestSupport::dataDirectory()).removeRecursively());
        signInFromPage();
        QTRY_VERIFY_WITH_TIMEOUT(!TestSupport::heard(QStringLiteral("onLogin")).isEmpty(), 5000);
        QTest::qWait(200);
        const QStringList heard = TestSupport::heard(QStringLiteral("onLogin"));
        QCOMPARE(heard.size(), 1);
        QVERIFY(heard.first().startsWith(QStringLiteral("SignalQt('onLogin', '{result:false,error:\"")));
        QVERIFY(!messages.contains(QStringLiteral("Sincronizzazione completata")));
    }

    // A login whose reply never ends does not hold up the user's next attempt.
    void newSignInReplacesAStuckOne()
    {
        catalog = {{"10", "true", "1", "a.png"}};
        stuckLogins = 1;
        openWindow();
        signInFromPage(QStringLiteral("primo"));
        QTRY_COMPARE(loginRequests(), 1);
        QTest::qWait(200);
        signInFromPage(QStringLiteral("secondo"));
        QTRY_VERIFY_WITH_TIMEOUT(!TestSupport::heard(QStringLiteral("onLogin")).isEmpty(), 5000);
        QTest::qWait(300);
        QCOMPARE(TestSupport::heard(QStringLiteral("onLogin")), QStringList{"SignalQt('onLogin', '{result:true,error:\"\"}')"});
        QCOMPARE(loginRequests(), 2);
        QCOMPARE(AppSettings().sessionId(), QStringLiteral("secondo"));
        QCOMPARE(value("SYSTEM", "SESSIONID"), QStringLiteral("secondo"));
    }

    // Each synchronisation has its own watchdog: an earlier one's never cuts a later one short.
    void watchdogBelongsToItsSynchronisation()
    {
        MainWindow::syncWatchdogMilliseconds = 1000;
        catalog = {{"10", "true", "1", "a.png"}};
        openWindow();
        signIn();
        QElapsedTimer sinceFirst;
        sinceFirst.start();
        window->startSync();
        QTRY_VERIFY(messages.contains(QStringLiteral("Sincronizzazione completata")));
        QTest::qWait(qMax<qint64>(0, 600 - sinceFirst.elapsed()));
        historyPieces = 8; // about 560 ms: the first watchdog's time runs out in the middle
        window->startSync();
        QTRY_VERIFY_WITH_TIMEOUT(messages.count(QStringLiteral("Sincronizzazione completata")) == 2, 3000);
        QVERIFY(!messages.contains(QStringLiteral("Timeout sulla sincronizzazione")));
    }

    // A cover that never finishes arriving counts as a failed cover once its time is up.
    void coverPastItsDeadlineFails()
    {
        CachedImage::deadlineMilliseconds = 600;
        catalog = {{"1", "true", "1", "stuck.png"}, {"2", "true", "1", "b.png"}};
        openWindow();
        signIn();
        QElapsedTimer clock;
        clock.start();
        window->startSync();
        QTRY_VERIFY_WITH_TIMEOUT(messages.contains(QStringLiteral("Sincronizzazione completata")), 4000);
        QVERIFY(clock.elapsed() < 4000);
        QVERIFY(TestSupport::recorded().dialogs.contains(
            QStringLiteral("Vocalume|Impossibile scaricare la copertina del libro Dizionario 1")));
        QCOMPARE(value("1", "COVER"), QStringLiteral("http://127.0.0.1/media/stuck.png"));
        QCOMPARE(value("2", "COVER"), QStringLiteral("b.png"));
        QVERIFY(!QFile::exists(TestSupport::dataDirectory() + "/engine/covers/stuck.png"));
    }

    // Identifiers that cannot name a folder inside the books folder are left out; the rest merge.
    void unsafeBookIdentifiersAreSkipped()
    {
        catalog = {{"", "true", "1", "a.png"}, {"../fuori", "true", "1", "a.png"}, {"a/b", "true", "1", "a.png"},
                   {"a\\b", "true", "1", "a.png"}, {"x..y", "true", "1", "a.png"}, {"10", "true", "1", "a.png"}};
        signIn();
        openWindow();
        QTRY_VERIFY(messages.contains(QStringLiteral("Sincronizzazione completata")));
        const QStringList r = bookRows();
        QCOMPARE(r.size(), 19);
        QCOMPARE(r.first(), QStringLiteral("1|10|TITLE|Dizionario 10"));
        QCOMPARE(window->libraryBooks.size(), 1);
        QCOMPARE(window->libraryBooks.first().bookId, QStringLiteral("10"));
    }

    // Until its script runs, the sign-in form must not send the credentials anywhere.
    void loginFormWaitsForItsScript()
    {
        openWindow();
        const QString engine = TestSupport::dataDirectory() + QStringLiteral("/engine");
        QByteArray html;
        QCOMPARE(PageLoader::readArchive(engine + QStringLiteral("/login.html.zip"), QStringLiteral("login.html"), &html), 0);
        html.replace("<script", "<!--").replace("</script>", "-->");
        QWebPage page;
        QSignalSpy loaded(&page, &QWebPage::loadFinished);
        page.mainFrame()->setHtml(QString::fromUtf8(html), QUrl::fromLocalFile(engine + QStringLiteral("/login.html")));
        QTRY_COMPARE(loaded.count(), 1);
        page.mainFrame()->evaluateJavaScript(QStringLiteral(
            "document.getElementById('username').value = 'mario';"
            "document.getElementById('password').value = 'segreto';"
            "document.getElementById('login-submit').click();"));
        QTest::qWait(300);
        QVERIFY(!page.mainFrame()->url().toString().contains(QStringLiteral("segreto")));
        QVERIFY(!page.mainFrame()->requestedUrl().toString().contains(QStringLiteral("segreto")));
        QCOMPARE(loaded.count(), 1);
    }
};

VOCALUME_TEST_MAIN(TestLibrarySync)
#include "tst_librarysync.moc"
