// Sign-in, sign-out and the library synchronisation of the main window against a scripted
// store service on 127.0.0.1: the SYSTEM rows, the states, the covers and what the page hears.
#include "app/appsettings.h"
#include "app/mainwindow.h"
#include "app/processexit.h"
#include "store/webstore.h"
#include "services/serviceendpoint.h"
#include "tests/support/httptestserver.h"
#include "tests/support/testsupport.h"
#include "web/customagentwebview.h"
#include "web/qtjavascriptinteraction.h"

#include <QApplication>
#include <QBuffer>
#include <QImage>
#include <QSignalSpy>
#include <QStatusBar>
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
    bool loginAccepted = true;
    int exitCode = -1;
    bool dataLeftAtExit = false;
    QStringList messages;

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
            if (target.startsWith("/api/zenta/login.xml"))
                return { HttpTestServer::reply(loginAccepted
                                                   ? "<result><field name=\"errorCode\">0</field></result>"
                                                   : "<result><field name=\"errorCode\">3</field></result>"), false };
            if (target.startsWith("/api/zenta/getHistory.xml"))
                return { holdHistory ? QByteArray() : HttpTestServer::reply(history()), holdHistory };
            if (target.startsWith("/media/missing"))
                return { HttpTestServer::reply("<html>non trovato</html>", 404), false };
            if (target.startsWith("/media/"))
                return { HttpTestServer::reply(png(40, 60), 200, "Content-Type: image/png\r\n"), false };
            return { HttpTestServer::reply("<result/>"), false };
        });
    }

    void openWindow()
    {
        window = new MainWindow;
        connect(window->statusBar(), &QStatusBar::messageChanged, this, [this](const QString& m) { messages << m; });
        // Past the first-page timer and done loading, so later page loads are the synchronisation's own.
        QTest::qWait(150);
        QTRY_VERIFY(window->webView->page()->mainFrame()->url().isValid());
        QTRY_COMPARE(window->webView->page()->mainFrame()->evaluateJavaScript(QStringLiteral("document.readyState")).toString(),
                     QStringLiteral("complete"));
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

    QStringList rows() { return TestSupport::storeRows(window); }
    QString value(const QString& refbook, const QString& variable)
    {
        return TestSupport::storeValue(window, refbook, variable);
    }
    void setValue(const QString& refbook, const QString& variable, const QString& v)
    {
        TestSupport::storeExec(window, QStringLiteral("UPDATE SYSTEM set VALUE='%1' where VARIABLE='%2' and REFBOOK = '%3'")
                                           .arg(v, variable, refbook));
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
        loginAccepted = true;
        messages.clear();
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
        window->webView->page()->mainFrame()->evaluateJavaScript(
            QStringLiteral("QtJavascriptInteraction.setUsernamePassword('mario', 'bad', 'onLogin')"));
        QTRY_COMPARE(TestSupport::recorded().statements.filter(QStringLiteral("onLogin")).size(), 1);
        QCOMPARE(TestSupport::recorded().statements.filter(QStringLiteral("onLogin")).first(),
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
        window->webView->page()->mainFrame()->evaluateJavaScript(
            QStringLiteral("QtJavascriptInteraction.setUsernamePassword('mario', 'pw', 'onLogin')"));
        QTRY_COMPARE(TestSupport::recorded().statements.filter(QStringLiteral("onLogin")).size(), 1);
        QCOMPARE(TestSupport::recorded().statements.filter(QStringLiteral("onLogin")).first(),
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
};

VOCALUME_TEST_MAIN(TestLibrarySync)
#include "tst_librarysync.moc"
