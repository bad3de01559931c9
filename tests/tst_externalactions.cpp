// Requests of the page that leave the program: mail, web links, engine files, the store's
// purchase, password and account pages, asked through the bridge of an engine page. URL handlers
// stand in for the desktop, so nothing is ever launched; a handler without the method makes the
// desktop refuse.
#include "library/librarysync.h"
#include "services/serviceendpoint.h"
#include "tests/support/testsupport.h"
#include "web/customagentwebview.h"
#include "web/externalactions.h"
#include "web/qtjavascriptinteraction.h"
#include "web/webpage.h"

#include <QDesktopServices>
#include <QUrl>
#include <QWebFrame>

class TestExternalActions : public QObject
{
    Q_OBJECT
public slots:
    void open(const QUrl& url) { opened << url.toString(QUrl::FullyEncoded); }

private:
    QStringList opened;

    void desktopHandles(const char* method)
    {
        for (const char* scheme : { "mailto", "http", "https", "file" })
            QDesktopServices::setUrlHandler(scheme, this, method);
    }

private slots:
    void init()
    {
        TestSupport::resetHome();
        ServiceEndpoint::setStoreHost("negozio.esempio");
        opened.clear();
        desktopHandles("open");
    }

    void opensOrRefuses_data()
    {
        QTest::addColumn<QString>("action");
        QTest::addColumn<QString>("argument"); // for the store's own pages: the services' endpoint
        QTest::addColumn<QString>("address"); // relative: an engine file; empty: nothing opened; "!": the user is warned
        const QString web = "https://esempio.it/a?b=1";
        const QString mail = "mailto:r@esempio.it";
        QTest::newRow("https") << "link" << web << web;
        QTest::newRow("HTTP is a file") << "link" << "HTTP://esempio.it/x" << "HTTP://esempio.it/x";
        QTest::newRow("engine file") << "link" << "help/guida.pdf" << "help/guida.pdf";
        QTest::newRow("climbing out of the engine") << "link" << "help/../../file__0/bookmarks.db" << "";
        QTest::newRow("mail") << "mail" << "" << "mailto:?subject=Ciao&body=testo";
        QTest::newRow("mail link") << "link" << mail << mail;
        QTest::newRow("scheme that only begins with http") << "link" << "httpx://esempio.it/x" << "";
        // Links clicked in a page: web and mail addresses open outside, no other scheme does.
        QTest::newRow("clicked web link") << "click" << web << web;
        QTest::newRow("clicked mail link") << "click" << mail << mail;
        QTest::newRow("clicked file link") << "click" << "file:///etc/passwd" << "";
        QTest::newRow("clicked other scheme") << "click" << "ftp://esempio.it/x" << "";
        QTest::newRow("purchase, sku needing encoding")
            << "purchase" << "Z A&b" << "http://negozio.esempio/catalogsearch/result/?q=Z%20A%26b";
        QTest::newRow("purchase, unknown sku") << "purchase" << "ZX" << "!";
        QTest::newRow("password lost") << "password" << "127.0.0.1" << "http://negozio.esempio/customer/account/forgotpassword/";
        QTest::newRow("new account, other port")
            << "account" << "127.0.0.1:8123" << "http://negozio.esempio:8123/customer/account/create/";
        QTest::newRow("password lost over TLS, other port")
            << "password" << "https://127.0.0.1:8443" << "https://negozio.esempio:8443/customer/account/forgotpassword/";
    }

    void opensOrRefuses()
    {
        QFETCH(QString, action);
        QFETCH(QString, argument);
        QFETCH(QString, address);
        ServiceEndpoint endpoint;
        QVERIFY(ServiceEndpoint::parse(action == "password" || action == "account" ? argument : "127.0.0.1", &endpoint));
        ServiceEndpoint::setCurrent(endpoint);
        LibrarySync library;
        library.libraryBooks << Book();
        library.libraryBooks.last().bookId = "Z A&b";
        CustomAgentWebView view;
        view.setPage(new webPage(&view));
        QtJavascriptInteraction bridge;
        bridge.useLibrary(&library);
        bridge.attach(&view);
        const QUrl page = QUrl::fromLocalFile(TestSupport::dataDirectory() + "/engine/login.html");
        QVERIFY(QDir().mkpath(TestSupport::dataDirectory() + "/engine"));
        view.setHtml("<body></body>", page);
        QStringList told; // status messages, and the first line of warnings after "!"
        const ExternalActions* external = &bridge.externalActions();
        connect(external, &ExternalActions::statusMessage, &view, [&told](const QString& m) { told << m; });
        connect(external, &ExternalActions::warning, &view, [&told](const QString& m) { told << "!" + m.section('\n', 0, 0); });
        const auto run = [&] {
            if (action == "link")
                bridge.openLink(argument);
            else if (action == "click")
                view.page()->mainFrame()->evaluateJavaScript(
                    "var a = document.createElement('a'); a.href = '" + argument + "'; document.body.appendChild(a); a.click();");
            else if (action == "mail")
                bridge.mail("Ciao", "testo");
            else if (action == "purchase")
                bridge.purchase(argument);
            else if (action == "password")
                bridge.passwordLost();
            else
                bridge.createAccount();
        };
        const QString noBrowser = "!Nessun browser associato per eseguire l'azione richiesta.";
        const bool mailClient = address.startsWith("mailto:");
        run();
        QTest::qWait(action == "click" ? 200 : 0); // a page that left would have left by now
        QCOMPARE(view.page()->mainFrame()->url(), page);
        if (action == "link" && !address.isEmpty() && !address.startsWith("http") && !mailClient) {
            const QString path = TestSupport::dataDirectory() + "/engine/" + address;
            QVERIFY(TestSupport::diagnosticsContain("Lancio file " + path));
            address = QUrl::fromLocalFile(path).toString();
        }
        QCOMPARE(opened, address.isEmpty() || address == "!" ? QStringList() : QStringList { address });
        QCOMPARE(told, address.isEmpty() ? QStringList()
                       : address == "!" ? QStringList { noBrowser }
                       : QStringList { mailClient ? "Lancio del client email predefinito in corso..."
                                                  : "Lancio del browser predefinito in corso..." });
        if (opened.isEmpty())
            return;
        told.clear();
        desktopHandles("missing");
        run();
        QCOMPARE(told, QStringList { mailClient ? "!Nessun programma di posta elettronica associato per eseguire l'azione "
                                                  "richiesta." : noBrowser });
        if (action == "link") {
            // Without the data directory an engine file is not looked for at all.
            QDir(TestSupport::dataDirectory()).removeRecursively();
            bridge.openLink("help/guida.pdf");
            QCOMPARE(told.size(), 1);
        }
    }
};

VOCALUME_TEST_MAIN(TestExternalActions)
#include "tst_externalactions.moc"
