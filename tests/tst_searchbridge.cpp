// The bridge's search slots driven from a real page: each request reaches its callback through
// SignalQt, the busy state shows only for a slow request, an unopenable database is warned about,
// and the page cannot fake the end of a search. (Queueing and results: the search tests.)
#include "app/mainwindow.h"
#include "tests/support/testdictionary.h"
#include "web/customagentwebview.h"
#include "web/qtjavascriptinteraction.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QProgressBar>
#include <QStatusBar>
#include <QWebFrame>
#include <sys/stat.h>

using TestDictionary::entry;

namespace {
QString search(const QString& sku, const QString& word, const QString& callback, const QString& type = "0",
               const QString& scope = "")
{
    return QStringLiteral("QtJavascriptInteraction.search('%1', '%2', '%3', '%4', '0', '10', 'it', '%5');")
        .arg(sku, word, type, scope, callback);
}
}

class TestSearchBridge : public QObject {
    Q_OBJECT
private:
    QScopedPointer<MainWindow> window;

    QVariant js(const QString& script) { return window->webView->page()->mainFrame()->evaluateJavaScript(script); }
    int answered() { return js("calls.length").toInt(); }
    // Every answer as "callback=words", sorted: requests of different kinds answer in any order.
    QStringList answers()
    {
        QStringList out;
        for (const QJsonValue& call : QJsonDocument::fromJson(js("JSON.stringify(calls)").toString().toUtf8()).array())
            out << call[0].toString() + '=' + call[1].toString();
        out.sort();
        return out;
    }
    bool busyShown() const { return window->progressBar->isVisible(); }

private slots:
    void init()
    {
        TestDictionary::resetHome("à|è|ì|ò|ù", "a|e|i|o|u");
        window.reset(new MainWindow);
        window->show();
        QTRY_VERIFY(window->webView->page()->mainFrame()->url().toString().endsWith("/engine/login.html"));
        // A probe page whose SignalQt records every answer with its words as the page reads them.
        const QString engine = TestSupport::dataDirectory() + "/engine/";
        const QByteArray page = R"(<html><head><script src="probe.js"></script></head><body>sonda</body></html>)";
        const QByteArray script = "var calls = []; function SignalQt(cb, lit) { var r = eval('(' + lit + ')');"
                                  "calls.push([cb, r.result.map(function(x){return x.word || x.nome;}).join(',')]); }";
        QVERIFY(TestSupport::writeZip(engine + "probe.html.zip", { { "probe.html", page } }));
        QVERIFY(TestSupport::writeZip(engine + "probe.js.zip", { { "probe.js", script } }));
        window->bridge->loadUrl("probe.html");
    }

    void cleanup() { window.reset(); }

    // Every argument reaches its place (a swapped pair answers other words); ending a search is
    // not the page's to say; an unopenable database is warned about once per request and still
    // answered; quick answers paint nothing in the status bar.
    void pageRequestsReachTheirCallbacks()
    {
        QVERIFY(TestDictionary::install("voc", { entry("sole", "s.m.", { "soli" }, {}, { "Astronomia" }),
                                                 entry("girasole", "s.m.", {}, { "sole" }, { "Botanica" }),
                                                 entry("meridiana", "s.f.", {}, { "sole" }, { "Astronomia" }),
                                                 entry("città", "s.f.", {}, {}, { "Arte dell'abitare" }),
                                                 entry("voce1"), entry("voce2"), entry("voce3") }));
        QVERIFY(QDir().mkpath(TestDictionary::bookDirectory("rotto") + "/database.db"));
        QStringList messages;
        connect(window->statusBar(), &QStatusBar::messageChanged, this,
                [&messages](const QString& m) { messages << m; });
        js("QtJavascriptInteraction.onSearchTerminated(); QtJavascriptInteraction.onAnaliticTerminated();");
        js(search("voc", "soli", "entry") + "QtJavascriptInteraction.onSearchTerminated();"
           + search("voc", "Sole", "scoped", "2", "1")
           + "QtJavascriptInteraction.getWords('voc', 'VOCE', '1', '2', 'it', 'words');"
             "QtJavascriptInteraction.getScopes('voc', 'scopes');");
        QTRY_COMPARE(answered(), 4);
        js(search("rotto", "sole", "s") + "QtJavascriptInteraction.getWords('rotto', 'sole', '0', '10', 'it', 'w');"
                                          "QtJavascriptInteraction.getScopes('rotto', 'a');");
        QTRY_COMPARE(answered(), 7);
        QTest::qWait(50);
        QCOMPARE(answers(), QStringList({ "a=", "entry=sole", "s=", "scoped=sole,meridiana",
                                          "scopes=Arte dell'abitare,Astronomia,Botanica", "w=", "words=voce2,voce3" }));
        const QString box = "Vocalume|Apertura database per le ricerche fallita";
        QCOMPARE(TestSupport::recorded().dialogs, QStringList({ box, box, box }));
        QVERIFY(!window->db.isOpen());
        QCOMPARE(messages, QStringList());
        QVERIFY(!busyShown());
    }

    // A request that takes its time shows the busy state until it is answered. The database here
    // is a pipe: opening it blocks the worker until the test writes to it.
    void slowRequestShowsTheBusyState()
    {
        const QString path = TestDictionary::bookDirectory("lento") + "/database.db";
        QVERIFY(QDir().mkpath(TestDictionary::bookDirectory("lento")));
        QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
        js(search("lento", "sole", "slow"));
        QTRY_VERIFY(busyShown());
        QCOMPARE(window->statusBar()->currentMessage(), QStringLiteral("Ricerca in corso..."));
        QCOMPARE(answered(), 0);
        QFile pipe(path);
        QVERIFY(pipe.open(QIODevice::WriteOnly));
        pipe.close();
        QTRY_COMPARE(answered(), 1);
        QCOMPARE(answers(), QStringList({ "slow=" }));
        QVERIFY(!busyShown());
        QCOMPARE(window->statusBar()->currentMessage(), QString());
    }
};

VOCALUME_TEST_MAIN(TestSearchBridge)
#include "tst_searchbridge.moc"
