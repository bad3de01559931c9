// The main window's part in sign-in and synchronisation, against a scripted store service on
// 127.0.0.1: what the page hears and which page it shows. The sign-in and the merge themselves,
// and a store used while covers load, are tested below the window.
#include "app/mainwindow.h"
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

    QVariant js(const QString& script) { return window->webView->page()->mainFrame()->evaluateJavaScript(script); }
    QString url() { return window->webView->page()->mainFrame()->url().toString(); }
    int completed() const { return messages.count(QStringLiteral("Sincronizzazione completata")); }

    // Past the first-page timer and done loading, so later page loads are the synchronisation's own.
    void waitForThePage()
    {
        QTest::qWait(150);
        QTRY_VERIFY(window->webView->page()->mainFrame()->url().isValid());
        QTRY_COMPARE(js(QStringLiteral("document.readyState")).toString(), QStringLiteral("complete"));
    }

    // Runs a synchronisation of a changed library and counts the page loads it brings.
    int loadsOfASynchronisation(const std::function<void()>& start)
    {
        waitForThePage();
        QSignalSpy loads(window->webView->page(), &QWebPage::loadFinished);
        service->catalog << CatalogService::Entry { QString::number(20 + service->catalog.size()), "true", "1", "a.png" };
        const int before = completed();
        start();
        if (!QTest::qWaitFor([&] { return completed() == before + 1; }, 5000))
            return -1;
        QTest::qWait(300);
        return loads.count();
    }

private slots:
    void init()
    {
        TestSupport::resetHome();
        // A sign-out never ends the test program.
        ProcessExit::setHandler([](int) {});
        messages.clear();
        service.reset(new CatalogService);
        service->catalog = {{"10", "true", "1", "a.png"}};
        window.reset(new MainWindow);
        connect(window->statusBar(), &QStatusBar::messageChanged, this, [this](const QString& m) { messages << m; });
    }

    void cleanup() { window.reset(); }

    // The page's sign-in hears its one answer through its own callback, intact (quotes and all).
    // A failed one leaves the login page as it is; a completed one shows the library, which a
    // synchronisation redraws only while it is shown (another page, a note being typed, stays).
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
        service->historyError = historyError;
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
        QTRY_VERIFY(url().endsWith(QStringLiteral("libreria.html")));
        // The library shows before its covers arrive; the sign-in's synchronisation ends with them.
        QTRY_COMPARE(completed(), 1);
        QCOMPARE(loadsOfASynchronisation([this] { js(QStringLiteral("QtJavascriptInteraction.synchronize()")); }), 1);
        window->bridge->loadUrl(QStringLiteral("login.html"));
        QCOMPARE(loadsOfASynchronisation([this] { window->startSync(); }), 0);
        QVERIFY(url().endsWith(QStringLiteral("login.html")));
    }

    // Until its script runs, the sign-in form must not send the credentials anywhere.
    void loginFormWaitsForItsScript()
    {
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
