// The bridge's search slots driven from a real page: what SignalQt receives for searches, word
// lists and scope lists, requests that overlap, and the warning about an unopenable database.
#include "app/mainwindow.h"
#include "base/appsettings.h"
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
// The page's call of a search of `word` in dictionary "voc".
QString search(const QString& word, const QString& callback, const QString& type = "0", const QString& scope = "")
{
    return QStringLiteral("QtJavascriptInteraction.search('voc', '%1', '%2', '%3', '0', '10', 'it', '%4');")
        .arg(word, type, scope, callback);
}
}

class TestSearchBridge : public QObject {
    Q_OBJECT
private:
    MainWindow* window = nullptr;

    QVariant js(const QString& script) { return window->webView->page()->mainFrame()->evaluateJavaScript(script); }
    QJsonArray calls() { return QJsonDocument::fromJson(js("JSON.stringify(calls)").toString().toUtf8()).array(); }
    QString callback(int i) { return calls().at(i).toArray().at(0).toString(); }
    QString literal(int i) { return calls().at(i).toArray().at(1).toString(); }
    // Words of the i-th answer, as the page reads them.
    QString words(int i)
    {
        return js(QStringLiteral("read(%1).result.map(function(r){return r.word;}).join(',')").arg(i)).toString();
    }
    // Every answer so far as "callback=words", or "callback=literal".
    QStringList answers(bool literals = false)
    {
        QStringList out;
        for (int i = 0; i < calls().size(); ++i)
            out << callback(i) + '=' + (literals ? literal(i) : words(i));
        return out;
    }
    bool busyShown() const { return window->progressBar->isVisible(); }

private slots:
    void init()
    {
        TestDictionary::resetHome("à|è|ì|ò|ù", "a|e|i|o|u");
        window = new MainWindow;
        window->show();
        QTRY_VERIFY(window->webView->page()->mainFrame()->url().toString().endsWith("/engine/login.html"));
        // A probe page whose SignalQt records every answer.
        const QString engine = TestSupport::dataDirectory() + "/engine/";
        const QByteArray page = R"(<html><head><script src="probe.js"></script></head><body>sonda</body></html>)";
        const QByteArray script = "var calls = []; function SignalQt(cb, lit) { calls.push([cb, lit]); }"
                                  "function read(i) { return eval('(' + calls[i][1] + ')'); }";
        QVERIFY(TestSupport::writeZip(engine + "probe.html.zip", { { "probe.html", page } }));
        QVERIFY(TestSupport::writeZip(engine + "probe.js.zip", { { "probe.js", script } }));
        window->bridge->loadUrl("probe.html");

        QList<DictionaryEntry> entries { entry("sole", "s.m.", { "soli" }, {}, { "Astronomia" }),
                                         entry("girasole", "s.m.", {}, { "sole" }, { "Botanica" }),
                                         entry("meridiana", "s.f.", {}, { "sole" }, { "Astronomia" }),
                                         entry("città", "s.f.", {}, {}, { "Arte dell'abitare" }) };
        for (int i = 1; i <= 40; ++i)
            entries << entry(QStringLiteral("voce%1").arg(i, 2, 10, QLatin1Char('0')), "s.f.");
        QVERIFY(TestDictionary::install("voc", entries, 10));
    }

    void cleanup()
    {
        delete window;
        window = nullptr;
    }

    void searchAnswersTheCallback()
    {
        QStringList messages;
        connect(window->statusBar(), &QStatusBar::messageChanged, this, [&messages](const QString& m) { messages << m; });
        js(search("sole", "onSole"));
        QTRY_COMPARE(calls().size(), 1);
        // A quick answer paints nothing in the status bar.
        QCOMPARE(messages, QStringList());
        QCOMPARE(callback(0), QStringLiteral("onSole"));
        QCOMPARE(literal(0), QStringLiteral("{tot:1,result: [{idzenta: '1', word: 'sole', file: 'voci0001.xhtml', "
                                            "omo: '', hw: 's.m.'}], isLemmatizzata:true}"));
        QVERIFY(!busyShown());
        QCOMPARE(window->statusBar()->currentMessage(), QString());
        QCOMPARE(window->searchState.searchTotal, 1);
        QCOMPARE(window->searchState.searchKind, QStringLiteral("lemmatizzatore"));
    }

    // A request that takes its time shows the busy state until it is answered. The database here
    // is a pipe: opening it blocks the worker until the test writes to it.
    void slowRequestShowsTheBusyState()
    {
        const QString path = TestDictionary::bookDirectory("lento") + "/database.db";
        QVERIFY(QDir().mkpath(TestDictionary::bookDirectory("lento")));
        QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
        js("QtJavascriptInteraction.search('lento', 'sole', '0', '', '0', '10', 'it', 'slow');");
        QTRY_VERIFY(busyShown());
        QCOMPARE(window->statusBar()->currentMessage(), QStringLiteral("Ricerca in corso..."));
        QCOMPARE(calls().size(), 0);
        QFile pipe(path);
        QVERIFY(pipe.open(QIODevice::WriteOnly));
        pipe.close();
        QTRY_COMPARE(calls().size(), 1);
        QCOMPARE(callback(0), QStringLiteral("slow"));
        QVERIFY(!busyShown());
        QCOMPARE(window->statusBar()->currentMessage(), QString());
    }

    void fullTextFromThePage()
    {
        js(search("Sole", "ft", "2"));
        QTRY_COMPARE(calls().size(), 1);
        QCOMPARE(words(0), QStringLiteral("sole,girasole,meridiana"));
        QCOMPARE(js("read(0).isLemmatizzata").toBool(), false);
        QCOMPARE(js("read(0).tot").toInt(), 3);
    }

    // Each answer goes to the callback that asked; a request waiting behind a running one is
    // replaced by a newer one.
    void overlappingSearches()
    {
        js(search("sole", "first") + search("voce1", "second"));
        QTRY_COMPARE(calls().size(), 2);
        QCOMPARE(answers(), QStringList({ "first=sole", "second=voce10,voce11,voce12,voce13,voce14,voce15,voce16,"
                                                        "voce17,voce18,voce19" }));

        js("calls = [];" + search("sole", "a") + search("girasole", "b") + search("meridiana", "c"));
        QTRY_COMPARE(calls().size(), 2);
        QTest::qWait(100);
        QCOMPARE(answers(), QStringList({ "a=sole", "c=meridiana" }));
        QCOMPARE(window->bridge->searchCallback, QStringLiteral("c"));
        QVERIFY(!busyShown());
    }

    void wordListsAndSearchAtOnce()
    {
        js("QtJavascriptInteraction.getWords('voc', 'VOCE', '20', '10', 'it', 'words');"
           "QtJavascriptInteraction.getWords('voc', 'voce', '2', '2', 'it', 'next');" + search("citta", "found"));
        QTRY_COMPARE(calls().size(), 3);
        // The word lists answer in the order asked; the search runs on its own beside them.
        QStringList heard = answers();
        QVERIFY(heard.removeOne("found=città"));
        QCOMPARE(heard, QStringList({ "words=voce21,voce22,voce23,voce24,voce25,voce26,voce27,voce28,voce29,voce30",
                                        "next=voce03,voce04" }));
        const int w = callback(0) == "words" ? 0 : 1;
        QVERIFY(literal(w).startsWith("{tot:40,result: [{idzenta: '25', word: 'voce21', file: 'voci0003.xhtml'"));
        QVERIFY(literal(w).endsWith("}]}"));
        QCOMPARE(window->searchState.wordListTotal, 40);
    }

    void scopesFromThePage()
    {
        js("QtJavascriptInteraction.getScopes('voc', 'scopes')");
        QCOMPARE(calls().size(), 1);
        QCOMPARE(literal(0), QStringLiteral("{tot:3, result:[{id:3, nome:'Arte dell\\u0027abitare'}, "
                                            "{id:1, nome:'Astronomia'}, {id:2, nome:'Botanica'}]}"));
        QCOMPARE(js("read(0).result[0].nome").toString(), QStringLiteral("Arte dell'abitare"));
        QVERIFY(!window->db.isOpen());

        js("QtJavascriptInteraction.getScopes('nessuno', 'none')");
        QCOMPARE(literal(1), QStringLiteral("{tot:0, result:[]}"));
    }

    void unopenableDatabaseIsWarnedAboutAndStillAnswered()
    {
        QVERIFY(QDir().mkpath(TestDictionary::bookDirectory("rotto") + "/database.db"));
        js("QtJavascriptInteraction.search('rotto', 'sole', '0', '', '0', '10', 'it', 's');"
           "QtJavascriptInteraction.getWords('rotto', 'sole', '0', '10', 'it', 'w');"
           "QtJavascriptInteraction.getScopes('rotto', 'a');");
        QTRY_COMPARE(calls().size(), 3);
        const QString box = "Vocalume|Apertura database per le ricerche fallita";
        QCOMPARE(TestSupport::recorded().dialogs, QStringList({ box, box, box }));
        QStringList heard = answers(true);
        heard.sort();
        QCOMPARE(heard, QStringList({ "a={tot:0, result:[]}", "s={tot:0,result: [], isLemmatizzata:true}",
                                        "w={tot:0,result: []}" }));
    }

    void thePageCannotFakeTheEndOfASearch()
    {
        js("QtJavascriptInteraction.onSearchTerminated(); QtJavascriptInteraction.onAnaliticTerminated();");
        js(search("sole", "one") + "QtJavascriptInteraction.onSearchTerminated();");
        QTRY_COMPARE(calls().size(), 1);
        QTest::qWait(50);
        QCOMPARE(calls().size(), 1);
        QCOMPARE(callback(0), QStringLiteral("one"));
    }
};

VOCALUME_TEST_MAIN(TestSearchBridge)
#include "tst_searchbridge.moc"
