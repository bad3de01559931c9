// Requests of the page that leave the program: mail, web links, engine files, the store's
// purchase, password and account pages. URL handlers stand in for the desktop, so nothing is
// ever launched; a handler without the method makes the desktop refuse.
#include "app/mainwindow.h"
#include "services/serviceendpoint.h"
#include "tests/support/testsupport.h"
#include "web/qtjavascriptinteraction.h"

#include <QDesktopServices>
#include <QStatusBar>
#include <QUrl>

class UrlCatcher : public QObject
{
    Q_OBJECT
public:
    QStringList opened;
public slots:
    void open(const QUrl& url) { opened << url.toString(QUrl::FullyEncoded); }
};

class TestExternalActions : public QObject
{
    Q_OBJECT
private:
    MainWindow* window = nullptr;
    UrlCatcher catcher;
    const QStringList schemes { "mailto", "http", "https", "file" };
    const QString browser = QStringLiteral("Lancio del browser predefinito in corso...");
    const QString noBrowser = QStringLiteral("Vocalume|Nessun browser associato per eseguire l'azione richiesta.\n");

    void desktopHandles(const char* method)
    {
        for (const QString& scheme : schemes)
            QDesktopServices::setUrlHandler(scheme, &catcher, method);
    }
    QString status() const { return window->statusBar()->currentMessage(); }
    const QStringList& dialogs() const { return TestSupport::recorded().dialogs; }

private slots:
    void init()
    {
        TestSupport::resetHome();
        ServiceEndpoint::setCurrent({ "127.0.0.1", 80 });
        ServiceEndpoint::setStoreHost("negozio.esempio");
        catcher.opened.clear();
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

    void openLink_data()
    {
        QTest::addColumn<QString>("link");
        QTest::addColumn<QString>("opened"); // an engine file when relative; empty: nothing opened
        QTest::newRow("https") << "https://esempio.it/a?b=1" << "https://esempio.it/a?b=1";
        QTest::newRow("upper-case HTTP is a file") << "HTTP://esempio.it/x" << "HTTP://esempio.it/x";
        QTest::newRow("engine file") << "help/guida.pdf" << "help/guida.pdf";
        QTest::newRow("climbing out of the engine") << "help/../../file__0/bookmarks.db" << "";
        QTest::newRow("absolute path") << "/etc/passwd" << "";
    }

    void openLink()
    {
        QFETCH(QString, link);
        QFETCH(QString, opened);
        window->bridge->openLink(link);
        if (opened.isEmpty()) {
            QCOMPARE(catcher.opened, QStringList());
            QCOMPARE(status(), QString());
            return;
        }
        if (!opened.startsWith("http")) {
            const QString path = TestSupport::dataDirectory() + "/engine/" + opened;
            QVERIFY(TestSupport::diagnosticsContain("Lancio file " + path));
            opened = QUrl::fromLocalFile(path).toString();
        }
        QCOMPARE(catcher.opened, QStringList { opened });
        QCOMPARE(status(), browser);

        desktopHandles("missing");
        window->bridge->openLink(link);
        QCOMPARE(dialogs(), QStringList { noBrowser });

        // Without the data directory an engine file is not looked for at all.
        QDir(TestSupport::dataDirectory()).removeRecursively();
        window->bridge->openLink("help/guida.pdf");
        QCOMPARE(dialogs(), QStringList { noBrowser });
    }

    void storeAndMail_data()
    {
        QTest::addColumn<QString>("action");
        QTest::addColumn<QString>("sku");
        QTest::addColumn<quint16>("port");
        QTest::addColumn<QString>("opened"); // empty: the warning box instead
        const QString search = "http://negozio.esempio/catalogsearch/result/?q=";
        QTest::newRow("mail") << "mail" << "" << quint16(80) << "mailto:?subject=Ciao&body=testo";
        QTest::newRow("purchase") << "purchase" << "ZA" << quint16(80) << search + "ZA";
        QTest::newRow("purchase, sku needing encoding") << "purchase" << "Z A&b" << quint16(80) << search + "Z%20A%26b";
        QTest::newRow("purchase, unknown sku") << "purchase" << "ZX" << quint16(80) << "";
        QTest::newRow("password lost")
            << "password" << "" << quint16(80) << "http://negozio.esempio/customer/account/forgotpassword/";
        QTest::newRow("new account, other port")
            << "account" << "" << quint16(8123) << "http://negozio.esempio:8123/customer/account/create/";
    }

    void storeAndMail()
    {
        QFETCH(QString, action);
        QFETCH(QString, sku);
        QFETCH(quint16, port);
        QFETCH(QString, opened);
        ServiceEndpoint::setCurrent({ "127.0.0.1", port });
        for (const char* id : { "ZA", "Z A&b" }) {
            Book book;
            book.bookId = id;
            window->libraryBooks << book;
        }
        const auto run = [&] {
            if (action == "mail")
                window->bridge->mail("Ciao", "testo");
            else if (action == "purchase")
                window->bridge->purchase(sku);
            else if (action == "password")
                window->bridge->passwordLost();
            else
                window->bridge->createAccount();
        };
        run();
        if (opened.isEmpty()) {
            QCOMPARE(catcher.opened, QStringList());
            QCOMPARE(dialogs(), QStringList { noBrowser });
            return;
        }
        QCOMPARE(catcher.opened, QStringList { opened });
        QCOMPARE(status(), action == "mail" ? "Lancio del client email predefinito in corso..." : browser);

        desktopHandles("missing");
        run();
        QCOMPARE(dialogs(),
                 QStringList { action != "mail"
                                   ? noBrowser
                                   : "Vocalume|Nessun programma di posta elettronica associato per eseguire l'azione "
                                     "richiesta.\nInstallare un programma di posta elettronica oppure, se il programma "
                                     "è già installato,\ncreare un'associazione in Programmi predefiniti nel Pannello "
                                     "di controllo." });
    }
};

VOCALUME_TEST_MAIN(TestExternalActions)
#include "tst_externalactions.moc"
