// What the page receives of searches: the answers' literals, whatever a dictionary holds, and the
// bridge's search slots driven from a real page. (Queueing and results: tst_searchentry.)
#include "app/mainwindow.h"
#include "search/resultliteral.h"
#include "tests/support/testdictionary.h"
#include "web/customagentwebview.h"
#include "web/qtjavascriptinteraction.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
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
    // Every answer as "callback=words", sorted: requests of different kinds answer in any order.
    QStringList answers() { return js("calls.slice().sort()").toStringList(); }

private slots:
    void cleanup() { window.reset(); }

    // The page receives exactly what a dictionary holds (a headword's apostrophes as "&apos;").
    void hostileTextsReachThePageIntact_data()
    {
        QTest::addColumn<QString>("text");
        QTest::newRow("apostrophe") << "dell'anno";
        QTest::newRow("backslash") << "a\\b\\";
        QTest::newRow("backslash before quote") << "x\\'); alert(1); ('";
        QTest::newRow("double quote") << "\"); alert(1); (\"";
        QTest::newRow("line breaks") << "a\nb\rc" + QString(QChar(0x2028)) + "d" + QChar(0x2029);
        QTest::newRow("end of script") << "</script><script>alert(1)</script>";
        QTest::newRow("accents and tab") << "perché\tpiù";
    }

    void hostileTextsReachThePageIntact()
    {
        QFETCH(QString, text);
        QWebPage page;
        // The page reads a literal as the engine's SignalQt does, from inside a quoted string.
        const auto read = [&page](const QString& quote, const QString& literal) {
            const QString script = "JSON.stringify(eval('(' + " + quote + literal + quote + " + ')'))";
            return QJsonDocument::fromJson(page.mainFrame()->evaluateJavaScript(script).toString().toUtf8()).object();
        };
        const QJsonArray items { QJsonObject { { "idzenta", text }, { "word", QString(text).replace('\'', "&apos;") },
                                               { "file", text }, { "omo", text }, { "hw", text } } };
        QCOMPARE(read("'", ResultLiteral::search({ { text, text, text, text, text, "sku" } }, 1, "fullText")),
                 QJsonObject({ { "tot", 1 }, { "result", items }, { "isLemmatizzata", false } }));
        const QJsonArray scopes { QJsonObject { { "id", 4 }, { "nome", text } },
                                  QJsonObject { { "id", text }, { "nome", "x" } } };
        QCOMPARE(read("\"", ResultLiteral::scopes({ { "4", text }, { text, "x" } })),
                 QJsonObject({ { "tot", 2 }, { "result", scopes } }));
    }

    // Every argument reaches its place (a swapped pair answers other words); only a slow request
    // (its database is a pipe that blocks the worker until written to) shows the busy state.
    void pageRequests()
    {
        TestDictionary::resetHome("à|è|ì|ò|ù", "a|e|i|o|u");
        window.reset(new MainWindow);
        window->show();
        QTRY_VERIFY(window->webView->page()->mainFrame()->url().toString().endsWith("/engine/login.html"));
        // A probe page whose SignalQt records every answer with its words as the page reads them.
        const QString engine = TestSupport::dataDirectory() + "/engine/";
        const QByteArray page = "<html><head><script>var calls = []; function SignalQt(cb, lit) { var r = eval("
                                "'(' + lit + ')'); calls.push(cb + '=' + r.result.map(function(x){return x.word "
                                "|| x.nome;})); }</script></head><body>sonda</body></html>";
        QVERIFY(TestSupport::writeZip(engine + "probe.html.zip", { { "probe.html", page } }));
        window->bridge->loadUrl("probe.html");
        QVERIFY(TestDictionary::install("voc", { entry("sole", "s.m.", { "soli" }, {}, { "Astronomia" }),
                                                 entry("girasole", "s.m.", {}, { "sole" }, { "Botanica" }),
                                                 entry("meridiana", "s.f.", {}, { "sole" }, { "Astronomia" }),
                                                 entry("città", "s.f.", {}, {}, { "Arte dell'abitare" }),
                                                 entry("voce1"), entry("voce2"), entry("voce3") }));
        QVERIFY(QDir().mkpath(TestDictionary::bookDirectory("rotto") + "/database.db"));
        QStringList messages;
        connect(window->statusBar(), &QStatusBar::messageChanged, this,
                [&messages](const QString& m) { messages << m; });
        js("QtJavascriptInteraction.onSearchTerminated(); QtJavascriptInteraction.onAnaliticTerminated();"
           + search("voc", "soli", "entry") + "QtJavascriptInteraction.onSearchTerminated();"
           + search("voc", "Sole", "scoped", "2", "1")
           + "QtJavascriptInteraction.getWords('voc', 'VOCE', '1', '2', 'it', 'words');"
             "QtJavascriptInteraction.getScopes('voc', 'scopes');");
        QTRY_COMPARE(answers().size(), 4); // a request waiting behind another would be replaced
        js(search("rotto", "sole", "s") + "QtJavascriptInteraction.getWords('rotto', 'sole', '0', '10', 'it', 'w');"
                                          "QtJavascriptInteraction.getScopes('rotto', 'a');");
        QTRY_COMPARE(answers().size(), 7);
        QTest::qWait(50);
        QCOMPARE(answers(), QStringList({ "a=", "entry=sole", "s=", "scoped=sole,meridiana",
                                          "scopes=Arte dell'abitare,Astronomia,Botanica", "w=", "words=voce2,voce3" }));
        const QString box = "Vocalume|Apertura database per le ricerche fallita";
        QCOMPARE(TestSupport::recorded().dialogs, QStringList({ box, box, box }));
        QCOMPARE(messages, QStringList());
        QVERIFY(!window->progressBar->isVisible());

        const QString pipe = TestDictionary::bookDirectory("lento") + "/database.db";
        QVERIFY(QDir().mkpath(TestDictionary::bookDirectory("lento")));
        QCOMPARE(::mkfifo(QFile::encodeName(pipe).constData(), 0600), 0);
        js(search("lento", "sole", "slow"));
        QTRY_VERIFY(window->progressBar->isVisible());
        QCOMPARE(window->statusBar()->currentMessage(), QStringLiteral("Ricerca in corso..."));
        QFile writer(pipe);
        QVERIFY(writer.open(QIODevice::WriteOnly));
        writer.close();
        QTRY_VERIFY(answers().contains("slow="));
        QVERIFY(!window->progressBar->isVisible());
        QCOMPARE(window->statusBar()->currentMessage(), QString());
    }
};

VOCALUME_TEST_MAIN(TestSearchBridge)
#include "tst_searchbridge.moc"
