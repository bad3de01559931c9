// Requests of the page that leave the program: mail, web links, engine files, the store's
// purchase, password and account pages. URL handlers stand in for the desktop, so nothing is
// ever launched; a handler without the method makes the desktop refuse.
#include "app/mainwindow.h"
#include "services/serviceendpoint.h"
#include "tests/support/testsupport.h"
#include "web/qtjavascriptinteraction.h"

#include <QApplication>
#include <QDesktopServices>
#include <QStatusBar>
#include <QUrl>

class UrlCatcher : public QObject
{
    Q_OBJECT
public:
    QList<QUrl> opened;
public slots:
    void open(const QUrl& url) { opened << url; }
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

    void desktopRefuses()
    {
        for (const QString& scheme : schemes)
            QDesktopServices::setUrlHandler(scheme, &catcher, "missing");
    }

    QStringList openedTexts() const
    {
        QStringList out;
        for (const QUrl& url : catcher.opened)
            out << url.toString(QUrl::FullyEncoded);
        return out;
    }

    QString status() const { return window->statusBar()->currentMessage(); }

private slots:
    void init()
    {
        TestSupport::resetHome();
        ServiceEndpoint::setCurrent({ QStringLiteral("127.0.0.1"), 80 });
        ServiceEndpoint::setStoreHost(QStringLiteral("negozio.esempio"));
        catcher.opened.clear();
        for (const QString& scheme : schemes)
            QDesktopServices::setUrlHandler(scheme, &catcher, "open");
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

    void mail()
    {
        window->bridge->mail(QStringLiteral("Ciao"), QStringLiteral("testo"));
        QCOMPARE(openedTexts(), QStringList{"mailto:?subject=Ciao&body=testo"});
        QCOMPARE(status(), QStringLiteral("Lancio del client email predefinito in corso..."));

        desktopRefuses();
        window->bridge->mail(QStringLiteral("Ciao"), QStringLiteral("testo"));
        QCOMPARE(TestSupport::recorded().dialogs, QStringList{QString::fromUtf8(
            "Vocalume|Nessun programma di posta elettronica associato per eseguire l'azione richiesta.\n"
            "Installare un programma di posta elettronica oppure, se il programma è già installato,\n"
            "creare un'associazione in Programmi predefiniti nel Pannello di controllo.")});
    }

    void openLink_data()
    {
        QTest::addColumn<QString>("link");
        QTest::addColumn<QString>("opened"); // an engine file when relative; empty: nothing opened
        QTest::newRow("https") << "https://esempio.it/a?b=1" << "https://esempio.it/a?b=1";
        QTest::newRow("http") << "http://esempio.it" << "http://esempio.it";
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
            QCOMPARE(catcher.opened, QList<QUrl>());
            QCOMPARE(status(), QString());
            return;
        }
        QCOMPARE(catcher.opened.size(), 1);
        if (opened.startsWith(QLatin1String("http"))) {
            QCOMPARE(catcher.opened.first().toString(), opened);
        } else {
            const QString path = TestSupport::dataDirectory() + QStringLiteral("/engine/") + opened;
            QCOMPARE(catcher.opened.first(), QUrl::fromLocalFile(path));
            QVERIFY(TestSupport::diagnosticsContain(QStringLiteral("Lancio file ") + path));
        }
        QCOMPARE(status(), browser);

        desktopRefuses();
        window->bridge->openLink(link);
        QCOMPARE(TestSupport::recorded().dialogs, QStringList{noBrowser});
    }

    void openLinkWithoutDataDirectoryDoesNothing()
    {
        QDir(TestSupport::dataDirectory()).removeRecursively();
        window->bridge->openLink(QStringLiteral("help/guida.pdf"));
        QCOMPARE(catcher.opened, QList<QUrl>());
        QCOMPARE(TestSupport::recorded().dialogs, QStringList());
    }

    void purchase_data()
    {
        QTest::addColumn<quint16>("port");
        QTest::addColumn<QString>("sku");
        QTest::addColumn<QString>("opened"); // empty: the warning box
        QTest::newRow("listed dictionary") << quint16(80) << "ZA" << "http://negozio.esempio/catalogsearch/result/?q=ZA";
        QTest::newRow("other port") << quint16(8123) << "ZA" << "http://negozio.esempio:8123/catalogsearch/result/?q=ZA";
        QTest::newRow("sku needing encoding") << quint16(80) << "Z A&b" << "http://negozio.esempio/catalogsearch/result/?q=Z%20A%26b";
        QTest::newRow("not in the library") << quint16(80) << "ZX" << "";
    }

    void purchase()
    {
        QFETCH(quint16, port);
        QFETCH(QString, sku);
        QFETCH(QString, opened);
        ServiceEndpoint::setCurrent({ QStringLiteral("127.0.0.1"), port });
        for (const QString& id : { QStringLiteral("ZA"), QStringLiteral("Z A&b") }) {
            Book book;
            book.bookId = id;
            window->libraryBooks << book;
        }
        window->bridge->purchase(sku);
        if (opened.isEmpty()) {
            QCOMPARE(catcher.opened, QList<QUrl>());
            QCOMPARE(TestSupport::recorded().dialogs, QStringList{noBrowser});
        } else {
            QCOMPARE(openedTexts(), QStringList{opened});
            QCOMPARE(status(), browser);
        }
    }

    void storePages_data()
    {
        QTest::addColumn<quint16>("port");
        QTest::addColumn<QString>("authority");
        QTest::newRow("port 80") << quint16(80) << "negozio.esempio";
        QTest::newRow("development port") << quint16(8123) << "negozio.esempio:8123";
    }

    void storePages()
    {
        QFETCH(quint16, port);
        QFETCH(QString, authority);
        ServiceEndpoint::setCurrent({ QStringLiteral("127.0.0.1"), port });
        window->bridge->passwordLost();
        window->bridge->createAccount();
        QCOMPARE(openedTexts(), QStringList({ "http://" + authority + "/customer/account/forgotpassword/",
                                              "http://" + authority + "/customer/account/create/" }));
        QCOMPARE(status(), browser);

        desktopRefuses();
        window->bridge->passwordLost();
        window->bridge->createAccount();
        QCOMPARE(TestSupport::recorded().dialogs, QStringList({ noBrowser, noBrowser }));
    }
};

VOCALUME_TEST_MAIN(TestExternalActions)
#include "tst_externalactions.moc"
