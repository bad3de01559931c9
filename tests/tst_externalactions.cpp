// Requests of the page that leave the program: mail, web links, engine files, the store's
// purchase, password and account pages. URL handlers stand in for the desktop, so nothing is
// ever launched; a handler without the method makes the desktop refuse.
#include "app/mainwindow.h"
#include "library/librarysync.h"
#include "services/serviceendpoint.h"
#include "tests/support/testsupport.h"
#include "web/customagentwebview.h"
#include "web/qtjavascriptinteraction.h"

#include <QDesktopServices>
#include <QStatusBar>
#include <QUrl>
#include <QWebFrame>
#include <QWebPage>

class TestExternalActions : public QObject
{
    Q_OBJECT
public slots:
    void open(const QUrl& url) { opened << url.toString(QUrl::FullyEncoded); }

private:
    MainWindow* window = nullptr;
    QStringList opened;
    const QStringList schemes { "mailto", "http", "https", "file" };

    void desktopHandles(const char* method)
    {
        for (const QString& scheme : schemes)
            QDesktopServices::setUrlHandler(scheme, this, method);
    }

private slots:
    void init()
    {
        TestSupport::resetHome();
        ServiceEndpoint::setStoreHost("negozio.esempio");
        opened.clear();
        desktopHandles("open");
        window = new MainWindow;
        QTest::qWait(150);
        window->statusBar()->clearMessage();
    }

    void cleanup()
    {
        delete window;
        window = nullptr;
        for (const QString& scheme : schemes)
            QDesktopServices::unsetUrlHandler(scheme);
    }

    void opensOrRefuses_data()
    {
        QTest::addColumn<QString>("action");
        QTest::addColumn<QString>("argument");
        QTest::addColumn<QString>("services"); // the endpoint in force
        QTest::addColumn<QString>("address"); // an engine file when relative; empty: nothing opened
        QTest::addColumn<bool>("refused"); // with nothing opened: whether the warning box shows
        const QString search = "http://negozio.esempio/catalogsearch/result/?q=";
        const QString p = "127.0.0.1";
        QTest::newRow("https") << "link" << "https://esempio.it/a?b=1" << p << "https://esempio.it/a?b=1" << false;
        QTest::newRow("HTTP is a file") << "link" << "HTTP://esempio.it/x" << p << "HTTP://esempio.it/x" << false;
        QTest::newRow("engine file") << "link" << "help/guida.pdf" << p << "help/guida.pdf" << false;
        QTest::newRow("climbing out of the engine") << "link" << "help/../../file__0/bookmarks.db" << p << "" << false;
        QTest::newRow("mail") << "mail" << "" << p << "mailto:?subject=Ciao&body=testo" << false;
        QTest::newRow("mail link") << "link" << "mailto:r@esempio.it" << p << "mailto:r@esempio.it" << false;
        QTest::newRow("scheme that only begins with http") << "link" << "httpx://esempio.it/x" << p << "" << false;
        // Links clicked in a page: web and mail addresses open outside, no other scheme does.
        QTest::newRow("clicked web link") << "click" << "https://esempio.it/a?b=1" << p << "https://esempio.it/a?b=1" << false;
        QTest::newRow("clicked mail link") << "click" << "mailto:r@esempio.it" << p << "mailto:r@esempio.it" << false;
        QTest::newRow("clicked file link") << "click" << "file:///etc/passwd" << p << "" << false;
        QTest::newRow("clicked other scheme") << "click" << "ftp://esempio.it/x" << p << "" << false;
        QTest::newRow("purchase, sku needing encoding") << "purchase" << "Z A&b" << p << search + "Z%20A%26b" << false;
        QTest::newRow("purchase, unknown sku") << "purchase" << "ZX" << p << "" << true;
        QTest::newRow("password lost")
            << "password" << "" << p << "http://negozio.esempio/customer/account/forgotpassword/" << false;
        QTest::newRow("new account, other port")
            << "account" << "" << "127.0.0.1:8123" << "http://negozio.esempio:8123/customer/account/create/" << false;
        QTest::newRow("password lost over TLS, other port") << "password" << "" << "https://127.0.0.1:8443"
            << "https://negozio.esempio:8443/customer/account/forgotpassword/" << false;
    }

    void opensOrRefuses()
    {
        QFETCH(QString, action);
        QFETCH(QString, argument);
        QFETCH(QString, services);
        QFETCH(QString, address);
        QFETCH(bool, refused);
        ServiceEndpoint endpoint;
        QVERIFY(ServiceEndpoint::parse(services, &endpoint));
        ServiceEndpoint::setCurrent(endpoint);
        window->library->libraryBooks << Book();
        window->library->libraryBooks.last().bookId = "Z A&b";
        const auto run = [&] {
            if (action == "link")
                window->bridge->openLink(argument);
            else if (action == "click")
                window->webView->page()->mainFrame()->evaluateJavaScript(
                    "var a = document.createElement('a'); a.href = '" + argument + "'; document.body.appendChild(a); a.click();");
            else if (action == "mail")
                window->bridge->mail("Ciao", "testo");
            else if (action == "purchase")
                window->bridge->purchase(argument);
            else if (action == "password")
                window->bridge->passwordLost();
            else
                window->bridge->createAccount();
        };
        const QString noBrowser = "Vocalume|Nessun browser associato per eseguire l'azione richiesta.\n";
        const bool mailClient = address.startsWith("mailto:");
        const QStringList& dialogs = TestSupport::recorded().dialogs;
        run();
        QTest::qWait(action == "click" ? 200 : 0); // a page that left would have left by now
        QVERIFY(window->webView->page()->mainFrame()->url().toString().endsWith("/engine/login.html"));
        if (address.isEmpty()) {
            QCOMPARE(opened, QStringList());
            QCOMPARE(window->statusBar()->currentMessage(), QString());
            QCOMPARE(dialogs, refused ? QStringList { noBrowser } : QStringList());
            return;
        }
        if (action == "link" && !address.startsWith("http") && !mailClient) {
            const QString path = TestSupport::dataDirectory() + "/engine/" + address;
            QVERIFY(TestSupport::diagnosticsContain("Lancio file " + path));
            address = QUrl::fromLocalFile(path).toString();
        }
        QCOMPARE(opened, QStringList { address });
        QCOMPARE(window->statusBar()->currentMessage(),
                 QString(mailClient ? "Lancio del client email predefinito in corso..."
                                    : "Lancio del browser predefinito in corso..."));
        desktopHandles("missing");
        run();
        QCOMPARE(dialogs,
                 QStringList { !mailClient
                                   ? noBrowser
                                   : "Vocalume|Nessun programma di posta elettronica associato per eseguire l'azione "
                                     "richiesta.\nInstallare un programma di posta elettronica oppure, se il programma "
                                     "è già installato,\ncreare un'associazione in Programmi predefiniti nel Pannello "
                                     "di controllo." });
        if (action == "link") {
            // Without the data directory an engine file is not looked for at all.
            QDir(TestSupport::dataDirectory()).removeRecursively();
            window->bridge->openLink("help/guida.pdf");
            QCOMPARE(dialogs.size(), 1);
        }
    }
};

VOCALUME_TEST_MAIN(TestExternalActions)
#include "tst_externalactions.moc"
