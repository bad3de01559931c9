// The bridge's search slots driven from a real page: what SignalQt receives for searches, word
// lists and scope lists, requests that overlap, and the warning about an unopenable database.
#include "app/appsettings.h"
#include "app/mainwindow.h"
#include "tests/support/testdictionary.h"
#include "tests/support/testsupport.h"
#include "web/customagentwebview.h"
#include "web/qtjavascriptinteraction.h"

#include <QApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QProgressBar>
#include <QStatusBar>
#include <QWebFrame>

using Entries = QList<QPair<QString, QByteArray>>;
using TestDictionary::entry;

namespace {
const char* probePage = R"(<html><head><script src="probe.js"></script></head><body><p>sonda</p></body></html>)";
const char* probeScript = "var calls = []; function SignalQt(cb, lit, mid) { calls.push([cb, lit]); }"
                          "function read(i) { return eval('(' + calls[i][1] + ')'); }";
}

class TestSearchBridge : public QObject {
    Q_OBJECT
private:
    MainWindow* window = nullptr;

    QVariant js(const QString& script) { return window->webView->page()->mainFrame()->evaluateJavaScript(script); }
    QJsonArray calls()
    {
        return QJsonDocument::fromJson(js(QStringLiteral("JSON.stringify(calls)")).toString().toUtf8()).array();
    }
    QString callback(int i) { return calls().at(i).toArray().at(0).toString(); }
    QString literal(int i) { return calls().at(i).toArray().at(1).toString(); }
    // Words of the i-th answer, as the page reads them.
    QString words(int i)
    {
        return js(QStringLiteral("read(%1).result.map(function(r){return r.word;}).join(',')").arg(i)).toString();
    }
    bool busyShown() const { return window->progressBar->isVisible(); }

private slots:
    void init()
    {
        TestSupport::resetHome();
        AppSettings settings;
        settings.setStartCharset(QStringLiteral("à|è|ì|ò|ù"), QStringLiteral("it"));
        settings.setEndCharset(QStringLiteral("a|e|i|o|u"), QStringLiteral("it"));
        window = new MainWindow;
        window->show();
        QTRY_VERIFY(
            window->webView->page()->mainFrame()->url().toString().endsWith(QStringLiteral("/engine/login.html")));
        const QString engine = TestSupport::dataDirectory() + QStringLiteral("/engine/");
        QVERIFY(
            TestSupport::writeZip(engine + QStringLiteral("probe.html.zip"), Entries { { "probe.html", probePage } }));
        QVERIFY(
            TestSupport::writeZip(engine + QStringLiteral("probe.js.zip"), Entries { { "probe.js", probeScript } }));
        window->bridge->loadUrl(QStringLiteral("probe.html"));

        QList<DictionaryEntry> entries { entry(QStringLiteral("sole"), QStringLiteral("s.m."),
                                             { QStringLiteral("soli") }, {}, { QStringLiteral("Astronomia") }),
            entry(QStringLiteral("girasole"), QStringLiteral("s.m."), {}, { QStringLiteral("sole") },
                { QStringLiteral("Botanica") }),
            entry(QStringLiteral("meridiana"), QStringLiteral("s.f."), {}, { QStringLiteral("sole") },
                { QStringLiteral("Astronomia") }),
            entry(QStringLiteral("città"), QStringLiteral("s.f."), {}, {}, { QStringLiteral("Arte dell'abitare") }) };
        for (int i = 1; i <= 40; ++i)
            entries << entry(QStringLiteral("voce%1").arg(i, 2, 10, QLatin1Char('0')), QStringLiteral("s.f."));
        QVERIFY(TestDictionary::install(QStringLiteral("voc"), entries, 10));
    }

    void cleanup()
    {
        delete window;
        window = nullptr;
    }

    void searchAnswersTheCallback()
    {
        js(QStringLiteral("QtJavascriptInteraction.search('voc', 'sole', '0', '', '0', '10', 'it', 'onSole')"));
        QVERIFY(busyShown());
        QCOMPARE(window->statusBar()->currentMessage(), QStringLiteral("Ricerca in corso..."));
        QTRY_COMPARE(calls().size(), 1);
        QCOMPARE(callback(0), QStringLiteral("onSole"));
        QCOMPARE(literal(0),
            QStringLiteral("{tot:1,result: [{idzenta: '1', word: 'sole', file: 'voci0001.xhtml', "
                           "omo: '', hw: 's.m.'}], isLemmatizzata:true}"));
        QCOMPARE(js(QStringLiteral("read(0).result[0].hw")).toString(), QStringLiteral("s.m."));
        QVERIFY(!busyShown());
        QCOMPARE(window->statusBar()->currentMessage(), QString());
        QCOMPARE(window->searchState.searchTotal, 1);
        QCOMPARE(window->searchState.searchKind, QStringLiteral("lemmatizzatore"));
        QVERIFY(TestSupport::recorded().diagnostics.contains(QStringLiteral("Javascript search\n")));
        QVERIFY(TestSupport::recorded().diagnostics.contains(QStringLiteral("Risposta ricerca:\n")));
    }

    void fullTextFromThePage_data()
    {
        QTest::addColumn<QString>("scope");
        QTest::addColumn<QString>("expected");
        QTest::newRow("whole dictionary") << QString() << QStringLiteral("sole,girasole,meridiana");
        QTest::newRow("scope 1") << QStringLiteral("1") << QStringLiteral("sole,meridiana");
        QTest::newRow("scope 2") << QStringLiteral("2") << QStringLiteral("girasole");
    }

    void fullTextFromThePage()
    {
        QFETCH(QString, scope);
        QFETCH(QString, expected);
        js(QStringLiteral("QtJavascriptInteraction.search('voc', 'Sole', '2', '%1', '0', '10', 'it', 'ft')")
                .arg(scope));
        QTRY_COMPARE(calls().size(), 1);
        QCOMPARE(words(0), expected);
        QCOMPARE(js(QStringLiteral("read(0).isLemmatizzata")).toBool(), false);
        QCOMPARE(js(QStringLiteral("read(0).tot")).toInt(), expected.count(QLatin1Char(',')) + 1);
    }

    // Each answer goes to the callback that asked; a request waiting behind a running one is
    // replaced by a newer one.
    void overlappingSearches()
    {
        js(QStringLiteral("QtJavascriptInteraction.search('voc', 'sole', '0', '', '0', '10', 'it', 'first');"
                          "QtJavascriptInteraction.search('voc', 'voce1', '0', '', '0', '10', 'it', 'second');"));
        QTRY_COMPARE(calls().size(), 2);
        QCOMPARE(callback(0), QStringLiteral("first"));
        QCOMPARE(words(0), QStringLiteral("sole"));
        QCOMPARE(callback(1), QStringLiteral("second"));
        QCOMPARE(words(1), QStringLiteral("voce10,voce11,voce12,voce13,voce14,voce15,voce16,voce17,voce18,voce19"));

        js(QStringLiteral("calls = [];"
                          "QtJavascriptInteraction.search('voc', 'sole', '0', '', '0', '10', 'it', 'a');"
                          "QtJavascriptInteraction.search('voc', 'girasole', '0', '', '0', '10', 'it', 'b');"
                          "QtJavascriptInteraction.search('voc', 'meridiana', '0', '', '0', '10', 'it', 'c');"));
        QTRY_COMPARE(calls().size(), 2);
        QTest::qWait(100);
        QCOMPARE(calls().size(), 2);
        QCOMPARE(callback(0), QStringLiteral("a"));
        QCOMPARE(words(0), QStringLiteral("sole"));
        QCOMPARE(callback(1), QStringLiteral("c"));
        QCOMPARE(words(1), QStringLiteral("meridiana"));
        QCOMPARE(window->bridge->searchCallback, QStringLiteral("c"));
        QVERIFY(!busyShown());
    }

    void wordListAndSearchAtOnce()
    {
        js(QStringLiteral("QtJavascriptInteraction.getWords('voc', 'VOCE', '20', '10', 'it', 'words');"
                          "QtJavascriptInteraction.search('voc', 'citta', '0', '', '0', '10', 'it', 'found');"));
        QTRY_COMPARE(calls().size(), 2);
        const int w = callback(0) == QLatin1String("words") ? 0 : 1;
        QCOMPARE(callback(w), QStringLiteral("words"));
        QCOMPARE(js(QStringLiteral("read(%1).tot").arg(w)).toInt(), 40);
        QCOMPARE(words(w), QStringLiteral("voce21,voce22,voce23,voce24,voce25,voce26,voce27,voce28,voce29,voce30"));
        QVERIFY(literal(w).startsWith(
            QStringLiteral("{tot:40,result: [{idzenta: '25', word: 'voce21', file: 'voci0003.xhtml'")));
        QVERIFY(literal(w).endsWith(QStringLiteral("}]}")));
        QCOMPARE(words(1 - w), QStringLiteral("città"));
        QCOMPARE(window->searchState.wordListTotal, 40);
        QCOMPARE(window->searchState.wordListResults.size(), 10);
        QVERIFY(TestSupport::recorded().diagnostics.contains(QStringLiteral("Risposta analitic:\n")));
    }

    void overlappingWordLists()
    {
        js(QStringLiteral("QtJavascriptInteraction.getWords('voc', 'voce', '0', '2', 'it', 'p1');"
                          "QtJavascriptInteraction.getWords('voc', 'voce', '2', '2', 'it', 'p2');"));
        QTRY_COMPARE(calls().size(), 2);
        QCOMPARE(callback(0), QStringLiteral("p1"));
        QCOMPARE(words(0), QStringLiteral("voce01,voce02"));
        QCOMPARE(callback(1), QStringLiteral("p2"));
        QCOMPARE(words(1), QStringLiteral("voce03,voce04"));
    }

    void scopesFromThePage()
    {
        js(QStringLiteral("QtJavascriptInteraction.getScopes('voc', 'scopes')"));
        QCOMPARE(calls().size(), 1);
        QCOMPARE(literal(0),
            QStringLiteral("{tot:3, result:[{id:3, nome:'Arte dell\\u0027abitare'}, {id:1, nome:'Astronomia'}, "
                           "{id:2, nome:'Botanica'}]}"));
        QCOMPARE(js(QStringLiteral("read(0).result[0].nome")).toString(), QStringLiteral("Arte dell'abitare"));
        QVERIFY(TestSupport::recorded().diagnostics.contains(QStringLiteral("getScopes callback: scopes")));
        QVERIFY(!window->db.isOpen());

        js(QStringLiteral("QtJavascriptInteraction.getScopes('nessuno', 'none')"));
        QCOMPARE(literal(1), QStringLiteral("{tot:0, result:[]}"));
    }

    void normalisedInput()
    {
        QCOMPARE(js(QStringLiteral("QtJavascriptInteraction.getNormalized('it', 'perché più')")).toString(),
            QStringLiteral("perché piu"));
        QCOMPARE(
            js(QStringLiteral("QtJavascriptInteraction.getNormalized('xx', 'più')")).toString(), QStringLiteral("più"));
    }

    void unopenableDatabaseIsWarnedAboutAndStillAnswered()
    {
        QVERIFY(QDir().mkpath(TestDictionary::bookDirectory(QStringLiteral("rotto")) + QStringLiteral("/database.db")));
        js(QStringLiteral("QtJavascriptInteraction.search('rotto', 'sole', '0', '', '0', '10', 'it', 's');"
                          "QtJavascriptInteraction.getWords('rotto', 'sole', '0', '10', 'it', 'w');"
                          "QtJavascriptInteraction.getScopes('rotto', 'a');"));
        QTRY_COMPARE(calls().size(), 3);
        const QString box = QStringLiteral("Vocalume|Apertura database per le ricerche fallita");
        QCOMPARE(TestSupport::recorded().dialogs, (QStringList { box, box, box }));
        QStringList answers;
        for (int i = 0; i < 3; ++i)
            answers << callback(i) + QLatin1Char('=') + literal(i);
        answers.sort();
        QCOMPARE(answers,
            (QStringList { QStringLiteral("a={tot:0, result:[]}"),
                QStringLiteral("s={tot:0,result: [], isLemmatizzata:true}"), QStringLiteral("w={tot:0,result: []}") }));
    }

    void thePageCannotFakeTheEndOfASearch()
    {
        js(QStringLiteral(
            "QtJavascriptInteraction.onSearchTerminated(); QtJavascriptInteraction.onAnaliticTerminated();"));
        js(QStringLiteral("QtJavascriptInteraction.search('voc', 'sole', '0', '', '0', '10', 'it', 'one');"
                          "QtJavascriptInteraction.onSearchTerminated();"));
        QTRY_COMPARE(calls().size(), 1);
        QTest::qWait(50);
        QCOMPARE(calls().size(), 1);
        QCOMPARE(callback(0), QStringLiteral("one"));
    }
};

VOCALUME_TEST_MAIN(TestSearchBridge)
#include "tst_searchbridge.moc"
