// End to end: the real main window, signed in to the reference store service, downloads and
// installs a dictionary the account bought, and cancels another one half-way, acting as the
// library page does by evaluating script in its frame.
#include "app/appsettings.h"
#include "app/mainwindow.h"
#include "store/webstore.h"
#include "tests/support/storeserviceprocess.h"
#include "tests/support/testsupport.h"
#include "web/customagentwebview.h"
#include "web/qtjavascriptinteraction.h"

#include <QApplication>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QWebFrame>
#include <QWebPage>

namespace {
QByteArray noise(int size, uint seed)
{
    QByteArray bytes(size, Qt::Uninitialized);
    for (int i = 0; i < size; ++i) {
        seed = seed * 1103515245u + 12345u;
        bytes[i] = char(seed >> 16);
    }
    return bytes;
}

const char* const catalogText = R"(
[software]
version=1.1.0
download_url={base}/software/

[account_demo]
username=demo
password=demo
purchased=ZPROVA1, ZPROVA2

[dictionary_1]
sku=ZPROVA1
title=Dizionario di prova
package=ZPROVA1.zip

[dictionary_2]
sku=ZPROVA2
title=Dizionario grande
package=ZPROVA2.zip
)";
}

class TestDownloadService : public QObject
{
    Q_OBJECT
private:
    QTemporaryDir catalog;
    QTemporaryDir packages;
    QByteArray smallDatabase = noise(300 * 1024, 1);
    QScopedPointer<StoreServiceProcess> service;
    MainWindow* window = nullptr;
    QStringList messages;

    QString books() const { return TestSupport::dataDirectory() + QStringLiteral("/engine/books"); }

    void pageRuns(const QString& script) { window->webView->page()->mainFrame()->evaluateJavaScript(script); }

    static QStringList heard(const QString& callback)
    {
        return TestSupport::recorded().statements.filter(QStringLiteral("SignalQt('") + callback + QLatin1Char('\''));
    }

    QString status(const QString& sku)
    {
        WebStore store(window->db, window);
        if (!store.open({ QStringLiteral("x"), [](const QString&, const QString&) { return QStringLiteral("x"); } }))
            return QStringLiteral("<no store>");
        const QString value = store.value(sku, QStringLiteral("STATUS"));
        store.close();
        return value;
    }

    bool pageIs(const QString& name) const
    {
        return window->webView->page()->mainFrame()->url().toString().endsWith(name);
    }

    // Signs in from the login page as the demo account; the library page follows.
    bool openSignedIn()
    {
        window = new MainWindow;
        connect(window->statusBar(), &QStatusBar::messageChanged, this, [this](const QString& m) { messages << m; });
        if (!QTest::qWaitFor([this] { return pageIs(QStringLiteral("login.html")); }, 10000))
            return false;
        pageRuns(QStringLiteral("QtJavascriptInteraction.setUsernamePassword('demo', 'demo', 'onLogin')"));
        return QTest::qWaitFor([this] { return pageIs(QStringLiteral("libreria.html")); }, 20000)
            && heard(QStringLiteral("onLogin")) == QStringList{"SignalQt('onLogin', '{result:true,error:\"\"}')"};
    }

private slots:
    void initTestCase()
    {
#ifndef VOCALUME_STORESERVICE
        QSKIP("the store service is not built");
#endif
        QFile ini(catalog.filePath(QStringLiteral("catalog.ini")));
        QVERIFY(ini.open(QIODevice::WriteOnly));
        ini.write(catalogText);
        ini.close();
        QVERIFY(TestSupport::writeZip(packages.filePath(QStringLiteral("ZPROVA1.zip")),
                                      { { QStringLiteral("database.db"), smallDatabase },
                                        { QStringLiteral("voci/a.html.zip"), QByteArray("voce") } }));
        QVERIFY(TestSupport::writeZip(packages.filePath(QStringLiteral("ZPROVA2.zip")),
                                      { { QStringLiteral("database.db"), noise(3 * 1024 * 1024, 2) } }));
    }

    void init()
    {
        TestSupport::resetHome();
        messages.clear();
#ifdef VOCALUME_STORESERVICE
        // Paced, so that the transfers last long enough to report progress and to be cancelled.
        service.reset(new StoreServiceProcess);
        QVERIFY(service->start(QStringLiteral(VOCALUME_STORESERVICE), catalog.path(), packages.path(),
                               { QStringLiteral("--slow-download"), QStringLiteral("300000") }));
#endif
    }

    void cleanup()
    {
        delete window;
        window = nullptr;
        service.reset();
    }

    void purchasedDictionaryIsDownloadedAndInstalled()
    {
        QVERIFY(openSignedIn());
        QCOMPARE(window->libraryBooks.size(), 2);
        QCOMPARE(status(QStringLiteral("ZPROVA1")), QStringLiteral("0"));

        pageRuns(QStringLiteral("QtJavascriptInteraction.download('ZPROVA1', 'onDownload')"));
        const QString finished = QStringLiteral("SignalQt('onDownload', '{result:true,error:\\'\\',progress:\\'100\\'}')");
        QTRY_VERIFY_WITH_TIMEOUT(heard(QStringLiteral("onDownload")).contains(finished), 20000);

        const QStringList statements = heard(QStringLiteral("onDownload"));
        QVERIFY(statements.filter(QStringLiteral("progress:\"")).size() >= 3);
        QCOMPARE(statements.at(statements.size() - 2),
                 QStringLiteral("SignalQt('onDownload', '{result:false, progress:\"wait\"}', 'true')"));
        QVERIFY(statements.first().startsWith(QStringLiteral("SignalQt('onDownload', '{result:false,progress:\"")));
        QVERIFY(statements.first().endsWith(QStringLiteral("\",size:\"0.3\"}', 'true')")));

        QFile database(books() + QStringLiteral("/ZPROVA1/database.db"));
        QVERIFY(database.open(QIODevice::ReadOnly));
        QVERIFY(database.readAll() == smallDatabase);
        QVERIFY(QFile::exists(books() + QStringLiteral("/ZPROVA1/voci/a.html.zip")));
        QCOMPARE(QDir(books()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList{"ZPROVA1"});
        QCOMPARE(status(QStringLiteral("ZPROVA1")), QStringLiteral("1"));
        QCOMPARE(status(QStringLiteral("ZPROVA2")), QStringLiteral("0"));
    }

    void cancelledDownloadLeavesNothing()
    {
        QVERIFY(openSignedIn());
        pageRuns(QStringLiteral("QtJavascriptInteraction.download('ZPROVA2', 'onDownload')"));
        QTRY_VERIFY_WITH_TIMEOUT(!heard(QStringLiteral("onDownload")).isEmpty(), 10000);
        QVERIFY(QFile::exists(books() + QStringLiteral("/ZPROVA2.zip.part")));
        pageRuns(QStringLiteral("QtJavascriptInteraction.cancelDownload()"));
        QVERIFY(messages.contains(QStringLiteral("Download interrotto dall'utente")));
        const int heardBefore = heard(QStringLiteral("onDownload")).size();
        QTest::qWait(1500);
        QCOMPARE(heard(QStringLiteral("onDownload")).size(), heardBefore);
        QVERIFY(heard(QStringLiteral("onDownload")).filter(QStringLiteral("wait")).isEmpty());
        QCOMPARE(QDir(books()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList());
        QCOMPARE(status(QStringLiteral("ZPROVA2")), QStringLiteral("0"));
    }
};

VOCALUME_TEST_MAIN(TestDownloadService)
#include "tst_downloadservice.moc"
