// End to end: the real main window, signed in to the reference store service, downloads and
// installs a dictionary the account bought, then cancels another one half-way, acting as the
// library page does by evaluating script in its frame.
#include "tests/support/downloadchecks.h"
#include "tests/support/runningservice.h"
#include "web/customagentwebview.h"
#include "web/qtjavascriptinteraction.h"

#include <QStatusBar>
#include <QWebFrame>
#include <QWebPage>

using namespace DownloadChecks;
using TestSupport::heard;

class TestDownloadService : public QObject
{
    Q_OBJECT
private:
    QTemporaryDir packages;
    QByteArray smallDatabase = TestSupport::noise(300 * 1024);
    RunningService service;
    MainWindow* window = nullptr;
    QStringList messages;

    void pageRuns(const QString& script) { window->webView->page()->mainFrame()->evaluateJavaScript(script); }
    bool pageIs(const QString& name) const { return window->webView->page()->mainFrame()->url().path().endsWith(name); }

private slots:
    void initTestCase()
    {
#ifndef VOCALUME_STORESERVICE
        QSKIP("the store service is not built");
#endif
        QVERIFY(TestSupport::writeZip(packages.filePath("ZDEMO001.zip"),
                                      { { "database.db", smallDatabase }, { "voci/a.html.zip", "voce" } }));
        QVERIFY(TestSupport::writeZip(packages.filePath("ZDEMO002.zip"),
                                      { { "database.db", TestSupport::noise(3 * 1024 * 1024, 2) } }));
        // Paced, so that the transfers last long enough to report progress and to be cancelled.
        QVERIFY(service.start(packages.path(), { "--slow-download", "300000" }));
    }

    void cleanup()
    {
        delete window;
        window = nullptr;
    }

    void downloadInstallsAndCancelLeavesNothing()
    {
        window = new MainWindow;
        connect(window->statusBar(), &QStatusBar::messageChanged, this, [this](const QString& m) { messages << m; });
        // Signs in from the login page as the demo account; the library page follows.
        QTRY_VERIFY_WITH_TIMEOUT(pageIs("login.html"), 10000);
        pageRuns("QtJavascriptInteraction.setUsernamePassword('demo', 'demo', 'onLogin')");
        QTRY_VERIFY_WITH_TIMEOUT(pageIs("libreria.html"), 20000);
        QCOMPARE(heard("onLogin"), QStringList { "SignalQt('onLogin', '{result:true,error:\"\"}')" });
        QCOMPARE(window->libraryBooks.size(), 3);
        QCOMPARE(status("ZDEMO001"), QStringLiteral("0"));

        pageRuns("QtJavascriptInteraction.download('ZDEMO001', 'onDownload')");
        QTRY_VERIFY_WITH_TIMEOUT(heard("onDownload").contains(finished("onDownload")), 20000);
        const QStringList statements = heard("onDownload");
        QVERIFY(statements.filter("progress:\"").size() >= 3);
        QCOMPARE(statements.at(statements.size() - 2), waiting("onDownload"));
        QVERIFY(statements.first().startsWith("SignalQt('onDownload', '{result:false,progress:\""));
        QVERIFY(statements.first().endsWith("\",size:\"0.3\"}', 'true')"));
        QFile database(books() + "/ZDEMO001/database.db");
        QVERIFY(database.open(QIODevice::ReadOnly));
        QVERIFY(database.readAll() == smallDatabase);
        QVERIFY(QFile::exists(books() + "/ZDEMO001/voci/a.html.zip"));
        QCOMPARE(status("ZDEMO001"), QStringLiteral("1"));

        pageRuns("QtJavascriptInteraction.download('ZDEMO002', 'onBig')");
        QTRY_VERIFY_WITH_TIMEOUT(!heard("onBig").isEmpty(), 10000);
        QVERIFY(QFile::exists(books() + "/ZDEMO002.zip.part"));
        pageRuns("QtJavascriptInteraction.cancelDownload()");
        QVERIFY(messages.contains("Download interrotto dall'utente"));
        const int heardBefore = heard("onBig").size();
        QTest::qWait(1500);
        QCOMPARE(heard("onBig").size(), heardBefore);
        QVERIFY(heard("onBig").filter("wait").isEmpty());
        QCOMPARE(booksEntries(), QStringList { "ZDEMO001" });
        QCOMPARE(status("ZDEMO002"), QStringLiteral("0"));
    }
};

VOCALUME_TEST_MAIN(TestDownloadService)
#include "tst_downloadservice.moc"
