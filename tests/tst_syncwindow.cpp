// The main window's part in sign-in and synchronisation, against a scripted store service on
// 127.0.0.1: what the page hears and which page it shows, and a signed-in user's start. The
// sign-in and the merge themselves are tested below the window.
#include "app/mainwindow.h"
#include "base/appsettings.h"
#include "base/processexit.h"
#include "pages/pageloader.h"
#include "tests/support/catalogservice.h"
#include "tests/support/testsupport.h"
#include "web/customagentwebview.h"
#include "web/qtjavascriptinteraction.h"

#include <QStatusBar>
#include <QWebFrame>
#include <QWebPage>

class TestSyncWindow : public QObject
{
    Q_OBJECT
private:
    QScopedPointer<CatalogService> service;
    QScopedPointer<MainWindow> window;
    QStringList messages;

    void openWindow()
    {
        window.reset(new MainWindow);
        connect(window->statusBar(), &QStatusBar::messageChanged, this, [this](const QString& m) { messages << m; });
    }

    // Past the first-page timer and done loading, so later page loads are the synchronisation's own.
    void waitForThePage()
    {
        QTest::qWait(150);
        QTRY_VERIFY(window->webView->page()->mainFrame()->url().isValid());
        QTRY_COMPARE(js(QStringLiteral("document.readyState")).toString(), QStringLiteral("complete"));
    }

    QVariant js(const QString& script) { return window->webView->page()->mainFrame()->evaluateJavaScript(script); }

    static void signIn()
    {
        AppSettings settings;
        settings.setUsername(QStringLiteral("mario"));
        settings.setSessionId(QStringLiteral("segreto"));
    }

private slots:
    void init()
    {
        TestSupport::resetHome();
        // A sign-out never ends the test program.
        ProcessExit::setHandler([](int) {});
        messages.clear();
        service.reset(new CatalogService);
    }

    void cleanup() { window.reset(); }

    // The page's sign-in hears its one answer through its own callback, intact (quotes and all),
    // and a completed sign-in shows the library; a synchronisation the page asks for redraws it.
    // A failed one leaves the login page with its error as it is.
    void signInFromThePage_data()
    {
        QTest::addColumn<QByteArray>("historyError");
        QTest::addColumn<QString>("heard");
        QTest::newRow("completed") << QByteArray() << "";
        QTest::newRow("failed synchronisation")
            << QByteArray("<field name=\"errorCode\">9</field><field name=\"errorDescription\">Servizio \"fuori\" l'uso</field>")
            << "9: Servizio \"fuori\" l'uso";
    }

    void signInFromThePage()
    {
        QFETCH(QByteArray, historyError);
        QFETCH(QString, heard);
        service->catalog = {{"10", "true", "1", "a.png"}};
        service->historyError = historyError;
        openWindow();
        waitForThePage();
        QSignalSpy loginLoads(window->webView->page(), &QWebPage::loadFinished);
        js(QStringLiteral("QtJavascriptInteraction.setUsernamePassword('mario', 'pw', 'onLogin')"));
        QTRY_COMPARE(TestSupport::heard(QStringLiteral("onLogin")).size(), 1);
        QVERIFY(messages.contains(QStringLiteral("Login in corso...")));
        // The answer is evaluated as the page does: no quote of its text ends a string early.
        js(QStringLiteral("function SignalQt(cb, lit) { window.seen = eval('(' + lit + ')').error; }"));
        js(TestSupport::heard(QStringLiteral("onLogin")).first());
        QCOMPARE(js(QStringLiteral("window.seen")).toString(), heard);
        if (!heard.isEmpty()) {
            QTest::qWait(300);
            QCOMPARE(loginLoads.count(), 0);
            return;
        }
        QTRY_VERIFY(window->webView->page()->mainFrame()->url().toString().endsWith(QStringLiteral("libreria.html")));
        // The library shows before its covers arrive; the sign-in's synchronisation ends with them.
        QTRY_COMPARE(messages.count(QStringLiteral("Sincronizzazione completata")), 1);
        waitForThePage();
        QSignalSpy loads(window->webView->page(), &QWebPage::loadFinished);
        js(QStringLiteral("QtJavascriptInteraction.synchronize()"));
        QTRY_COMPARE(messages.count(QStringLiteral("Sincronizzazione completata")), 2);
        QTRY_COMPARE(loads.count(), 1);
    }

    // A synchronisation redraws the library only while it is shown: another page (a note being
    // typed) stays as it is, and the library is read afresh when the user goes back to it.
    void synchronisationRedrawsOnlyTheLibrary_data()
    {
        QTest::addColumn<QString>("page");
        QTest::newRow("library shown") << "libreria.html";
        QTest::newRow("another page shown") << "login.html";
    }

    void synchronisationRedrawsOnlyTheLibrary()
    {
        QFETCH(QString, page);
        service->catalog = {{"10", "true", "1", "a.png"}};
        signIn();
        openWindow();
        waitForThePage();
        QTRY_COMPARE(messages.count(QStringLiteral("Sincronizzazione completata")), 1);
        QVERIFY(TestSupport::storeExec("INSERT INTO SYSTEM VALUES(900, 'SYSTEM', 'LOGIN', 'TRUE')"));
        window->bridge->loadUrl(page);
        waitForThePage();
        QSignalSpy loads(window->webView->page(), &QWebPage::loadFinished);
        service->catalog << CatalogService::Entry { "20", "true", "1", "a.png" }; // the library changes
        window->startSync();
        QTRY_COMPARE(messages.count(QStringLiteral("Sincronizzazione completata")), 2);
        QTest::qWait(300);
        QCOMPARE(loads.count(), page == QLatin1String("libreria.html") ? 1 : 0);
        QVERIFY(window->webView->page()->mainFrame()->url().toString().endsWith(page));
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
            service->catalog = {{"10", "true", "1", "a.png"}, {"20", "false", "1", "b.png"}};
            service->coverPieces = 2; // each cover takes 80 ms: the first page's 100 ms timer fires among them
            signIn();
            openWindow();
            if (!QTest::qWaitFor([this] { return messages.contains(QStringLiteral("Sincronizzazione completata")); }, 5000))
                failures << QStringLiteral("run %1: no end").arg(run);
            else if (TestSupport::storeRows().size() != 2 * 19 || TestSupport::storeValue("20", "COVER") != QLatin1String("b.png"))
                failures << QStringLiteral("run %1: %2 rows").arg(run).arg(TestSupport::storeRows().size());
            window.reset();
        }
        QVERIFY2(failures.isEmpty(), qPrintable(failures.join(QStringLiteral(", "))));
    }

    // Until its script runs, the sign-in form must not send the credentials anywhere.
    void loginFormWaitsForItsScript()
    {
        openWindow();
        const QString engine = TestSupport::dataDirectory() + QStringLiteral("/engine");
        QByteArray html;
        QVERIFY(PageLoader::readArchive(engine + QStringLiteral("/login.html.zip"), QStringLiteral("login.html"), &html));
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

VOCALUME_TEST_MAIN(TestSyncWindow)
#include "tst_syncwindow.moc"
