// The script bridge with the real web view: pages, parameters, content files, the shared web
// database, what the page receives of searches, and looking a word up from outside (--cerca).
#include "app/desktoplookup.h"
#include "app/mainwindow.h"
#include "app/popupplacement.h"
#include "app/popupwindow.h"
#include "app/selectionpopup.h"
#include "app/statusindicators.h"
#include "app/runninginstance.h"
#include "base/appsettings.h"
#include "base/datapaths.h"
#include "base/scriptliteral.h"
#include "hostilearchives.h"
#include "store/webstore.h"
#include "tests/support/fakeportal.h"
#include "tests/support/httptestserver.h"
#include "tests/support/privatebus.h"
#include "tests/support/testdictionary.h"
#include "web/customagentwebview.h"
#include "web/pagetheme.h"
#include "web/qtjavascriptinteraction.h"
#include "web/resultliteral.h"

#include <QClipboard>
#include <QContextMenuEvent>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QStatusBar>
#include <QScrollBar>
#include <QTextBrowser>
#include <QUrl>
#include <QWebFrame>
#include <QWebPage>
#include <sys/stat.h>
#include <utility>

using Entries = QList<QPair<QString, QByteArray>>;
using TestDictionary::entry;

namespace {
const char* probePage = R"(<html><head><script src="probe.js"></script></head><body>
<script type="text/javascript">var early = QtJavascriptInteraction.getBookID();</script><p id="t">sonda</p></body></html>)";
// Calls a slot at once if it can, from a frame too: its diagnostic tells that the page reached
// the bridge.
const char* hostilePage =
    "<html><body><script>(window.QtJavascriptInteraction || parent.QtJavascriptInteraction).cancelDownload()</script></body></html>";
const char* probeScript = "var calls = []; function SignalQt(cb, lit) { calls.push(cb + '|' + lit); }";

// SYSTEM rows of dictionaries given as "sku:status:visible:order[:title]"; the title is the
// identifier in capitals unless given.
void list(const QStringList& books)
{
    for (const QString& book : books) {
        const QStringList f = book.split(':');
        QVERIFY(TestSupport::storeBook(f[0], f.value(4, f[0].toUpper()), f[1], f[2], f[3]));
    }
}
}

class TestBridge : public QObject
{
    Q_OBJECT
    MainWindow* window = nullptr;

    QString engine(const QString& rel = QString()) const { return TestSupport::dataDirectory() + "/engine/" + rel; }
    QVariant js(const QString& script) { return window->webView->page()->mainFrame()->evaluateJavaScript(script); }
    QString url() const { return window->webView->page()->mainFrame()->url().toString(); }
    void loadProbe() { window->bridge->loadUrl("probe.html"); }
    // Every search answer as "callback=words", sorted: requests of different kinds answer in any order.
    QStringList answers()
    {
        return js("calls.map(function (c) { var i = c.indexOf('|'); return c.slice(0, i) + '=' + eval('(' + "
                  "c.slice(i + 1) + ')').result.map(function (x) { return x.word || x.nome; }); }).sort()")
            .toStringList();
    }
    void writeBookFile(const QString& file, const QByteArray& content)
    {
        QDir().mkpath(QFileInfo(engine("books/7/" + file)).absolutePath());
        QVERIFY(TestSupport::writeZip(engine("books/7/" + file + ".zip"),
                                      Entries { { file.mid(file.lastIndexOf('/') + 1), content } }));
    }
    // A regular file where a folder should be, so that it can never be made.
    static void block(const QString& folder)
    {
        QVERIFY(QDir(folder).removeRecursively());
        QVERIFY(TestSupport::writeFile(folder, ""));
    }

private slots:
    void init()
    {
        TestDictionary::resetHome("à|è|ì|ò|ù", "a|e|i|o|u");
        window = new MainWindow;
        // Let the first page arrive, so it cannot replace a page a test loads.
        QTRY_VERIFY(url().endsWith("/engine/login.html"));
        QVERIFY(TestSupport::writeZip(engine("probe.html.zip"), Entries { { "probe.html", probePage } }));
        QVERIFY(TestSupport::writeZip(engine("probe.js.zip"), Entries { { "probe.js", probeScript } }));
    }
    void cleanup() { delete std::exchange(window, nullptr); }

    void isLoggedWantsExactlyTrue_data()
    {
        QTest::addColumn<QString>("value"); // null: no data directory; "<damaged>": not a database
        QTest::addColumn<bool>("logged");
        QTest::addColumn<bool>("warned"); // the store could not be read, and the caller is told why
        QTest::newRow("upper") << "TRUE" << true << false;
        QTest::newRow("lower") << "true" << false << false;
        QTest::newRow("blank") << "TRUE " << false << false;
        QTest::newRow("no data directory") << QString() << false << true;
        QTest::newRow("damaged store") << "<damaged>" << false << true;
    }

    void isLoggedWantsExactlyTrue()
    {
        QFETCH(QString, value);
        QFETCH(bool, logged);
        QFETCH(bool, warned);
        QString failure;
        QVERIFY(!WebStore::isLogged(&failure) && failure.isEmpty());
        if (value.isNull())
            QVERIFY(QDir(TestSupport::dataDirectory()).removeRecursively());
        else if (value == "<damaged>")
            QVERIFY(TestSupport::writeFile(TestSupport::dataDirectory() + "/file__0/bookmarks.db", TestSupport::noise(4096)));
        else
            QVERIFY(TestSupport::storeExec("INSERT INTO SYSTEM (ID, REFBOOK, VARIABLE, VALUE) VALUES (1, 'SYSTEM', 'LOGIN', '"
                                           + value + "')"));
        QCOMPARE(WebStore::isLogged(&failure), logged);
        QVERIFY2(failure.isEmpty() != warned, qPrintable(failure));
    }

    // A valueless parameter reads empty, a repeated one keeps its last value, idbook names the
    // book; the next page without parameters forgets them but not the book.
    void bridgeIsPublishedBeforeTheFirstScriptWithThePageParameters()
    {
        window->bridge->loadUrl("probe.html?idbook=42&q=casa&a&b=1&b=2");
        QCOMPARE(js("early").toString(), QStringLiteral("42"));
        QCOMPARE(js("QtJavascriptInteraction.getParameter('q')").toString(), QStringLiteral("casa"));
        QCOMPARE(window->bridge->parameters().value("a", "x"), QString());
        QCOMPARE(window->bridge->getParameter("b"), QStringLiteral("2"));
        QCOMPARE(js("location.search + document.getElementById('t').textContent").toString(),
                 QStringLiteral("?idbook=42&q=casa&a&b=1&b=2sonda"));

        loadProbe();
        QVERIFY(window->bridge->parameters().isEmpty());
        QCOMPARE(window->bridge->getBookID(), QStringLiteral("42"));

        // A fixed page keeps its parameters in its path.
        window->bridge->getHtmlFixedPage("probe.html", "idbook=5&x=y");
        QCOMPARE(js("early").toString(), QStringLiteral("5"));
        QVERIFY(window->webView->page()->mainFrame()->url().toLocalFile().endsWith("/engine/probe.html?idbook=5&x=y"));
        QCOMPARE(window->bridge->getParameter("x"), QStringLiteral("y"));
    }

    // A data folder that cannot be entered never sends the page loader to a folder of the same
    // name elsewhere in the home directory.
    void pagesAreReadOnlyFromTheDataFolder()
    {
        loadProbe();
        const QString stray = QDir::homePath() + "/engine";
        QVERIFY(QDir().mkpath(stray));
        QVERIFY(TestSupport::writeZip(stray + "/probe.html.zip", Entries { { "probe.html", probePage } }));
        block(TestSupport::dataDirectory());
        window->bridge->loadUrl("probe.html?idbook=9");
        QVERIFY(window->bridge->getBookID() != QStringLiteral("9"));
        QVERIFY(!url().startsWith(QUrl::fromLocalFile(stray).toString()));
    }

    // A books folder that cannot be made leaves the engine's own archives alone: a download's
    // package is never looked for beside them.
    void downloadWithoutABooksFolderTouchesNothingInTheEngine()
    {
        loadProbe();
        block(engine("books"));
        window->bridge->download("probe.html", "cb");
        QVERIFY(QFile::exists(engine("probe.html.zip")));
    }

    // Whatever a page does to go elsewhere is refused; nothing is fetched from the network; a page
    // of a package never holds the bridge. An anchor of the page itself still moves it.
    void theViewShowsOnlyEnginePages_data()
    {
        QTest::addColumn<QString>("script"); // %1: the address of a server that would call a slot
        QTest::newRow("remote address") << "location.href = '%1/x.html'";
        QTest::newRow("page of a package") << "location.href = 'books/7/evil.html'";
        QTest::newRow("form") << "var f = document.createElement('form'); f.action = '%1/f';"
                                 "document.body.appendChild(f); f.submit()";
        QTest::newRow("refresh") << "document.head.innerHTML += '<meta http-equiv=\"refresh\" content=\"0;url=%1/r\">'";
        QTest::newRow("frame") << "document.body.innerHTML += '<iframe src=\"books/7/evil.html\"></iframe>'";
        QTest::newRow("requests") << "new Image().src = '%1/i.png'; var r = new XMLHttpRequest(); r.open('GET', '%1/x'); r.send()";
    }

    void theViewShowsOnlyEnginePages()
    {
        QFETCH(QString, script);
        HttpTestServer server;
        server.respondWith(HttpTestServer::reply(hostilePage, 200, "Content-Type: text/html\r\n"));
        QVERIFY(TestSupport::writeFile(engine("books/7/evil.html"), hostilePage));
        loadProbe();
        js(script.arg(QStringLiteral("http://127.0.0.1:%1").arg(server.port())));
        QTest::qWait(300);
        QVERIFY(url().endsWith("/engine/probe.html"));
        QCOMPARE(server.targets, QList<QByteArray>());
        QVERIFY(!TestSupport::diagnosticsContain("cancel download"));
        js("location.hash = 'sotto'");
        QVERIFY(url().endsWith("/engine/probe.html#sotto"));
    }

    // The objects go only to a document of the engine, whatever shows it.
    void onlyEnginePagesHoldTheBridge()
    {
        CustomAgentWebView view;
        view.setPage(new QWebPage(&view));
        QtJavascriptInteraction bridge(&view);
        bridge.attach(&view);
        const auto published = [&view](const QUrl& address) {
            view.setHtml("<script>var held = typeof QtJavascriptInteraction + typeof VocalumeNative;</script>", address);
            return view.page()->mainFrame()->evaluateJavaScript("held").toString();
        };
        QCOMPARE(published(QUrl("http://127.0.0.1:1/x.html")), QStringLiteral("undefinedundefined"));
        QCOMPARE(published(QUrl::fromLocalFile(engine("books/7/x.html"))), QStringLiteral("undefinedundefined"));
        QCOMPARE(published(QUrl::fromLocalFile(DataPaths::engineDirectory() + "2/x.html")), QStringLiteral("undefinedundefined"));
        QCOMPARE(published(QUrl::fromLocalFile(engine("probe.html?idbook=7"))), QStringLiteral("objectobject"));
    }

    void missingPagesAreReported()
    {
        loadProbe();
        window->bridge->loadUrl("nothere.html?x=1");
        const QStringList& dialogs = TestSupport::recorded().dialogs;
        QVERIFY(dialogs.last().startsWith("Vocalume|Si sono verificati errori aprendo il file "));
        window->bridge->loadUrl("../outside.html");
        QCOMPARE(dialogs.size(), 2);
        window->bridge->getHtmlFixedPage("nothere.html", "idbook=1");
        QVERIFY(TestSupport::diagnosticsContain("Errori nel caricamento del file htlm"));
        QVERIFY(url().endsWith("probe.html"));
    }

    void htmlPages()
    {
        QVERIFY(window->bridge->getHtmlPage("probe.html").contains("var calls = [];"));
        QCOMPARE(window->bridge->getHtmlPage("css/style.css").toUtf8(), TestSupport::readFile(engine("css/style.css")));
        QCOMPARE(window->bridge->getHtmlPage("none.html"), QString());
        QCOMPARE(window->bridge->getHtmlPage("../file__0/bookmarks.db"), QString());

        // A page of a dictionary still packed opens the dictionary first.
        QVERIFY(TestSupport::writeZip(engine("inner.zip"), Entries { { "index.html", "<p>indice</p>" } }));
        const QString package = DataPaths::packageFile(engine("books/42"));
        QVERIFY(TestSupport::writeZip(package, Entries { { "index.html.zip", TestSupport::readFile(engine("inner.zip")) },
                                                        { "database.db", HostileArchives::dictionaryDatabase() } }));
        QCOMPARE(window->bridge->getHtmlPage("books/42/index.html"), QStringLiteral("<p>indice</p>"));
        QVERIFY(QFile::exists(engine("books/42/index.html.zip")) && !QFile::exists(package));
        QCOMPARE(window->bridge->getBookID(), QStringLiteral("42"));
    }

    // Files of book 7: percent-encoded whole, or one division of a page, cleaned of what could run;
    // nothing outside the book.
    void contentFilesOfABook()
    {
        const QString text = "<div id=\"x\">\"città\" l'uomo ~ 100%</div>";
        writeBookFile("a.txt", "a'b");
        writeBookFile("sub/b.xhtml", text.toUtf8());
        writeBookFile("c001.xhtml",
                      "<html><body><div id=\"12\"><b>casa</b></div><div id=\"13\" onclick=\"x()\">cane</div></body></html>");
        writeBookFile("bad.xhtml", "<p>not <b>xml");
        loadProbe();
        for (const char* file : { "a.txt", "sub/b.xhtml", "none.txt", "../../login.html" })
            js(QStringLiteral("QtJavascriptInteraction.getFile('7', '%1', 'f')").arg(file));
        for (const char* division : { "13', 'c001", "99', 'c001", "13', 'bad", "13', 'missing" })
            js(QStringLiteral("QtJavascriptInteraction.getHtml('7', '%1.xhtml', 'e')").arg(division));
        const auto html = [](const QString& t) { return "{html:'" + QString::fromLatin1(QUrl::toPercentEncoding(t)) + "'}"; };
        QVERIFY(html(text).contains("citt%C3%A0"));
        QCOMPARE(js("calls").toStringList(), QStringList({ "f|{html:'a%27b'}", "f|" + html(text), "f|", "f|",
                                                           "e|" + html("<div id=\"13\">cane</div>"), "e|{html:''}", "e|{html:''}" }));
    }

    void readingADictionary()
    {
        QVERIFY(TestSupport::writeZip(engine("books/8.zip"), Entries { { "database.db", HostileArchives::dictionaryDatabase() } }));
        QVERIFY(window->bridge->goToReading(engine("books/8.zip"), "8"));
        QVERIFY(QFile::exists(engine("books/8/database.db")));
        QCOMPARE(window->bridge->getBookID(), QStringLiteral("8"));

        // An existing folder is used as it is and the archive is left alone.
        QVERIFY(TestSupport::writeZip(engine("books/8.zip"), Entries { { "other.db", "db" } }));
        QVERIFY(window->bridge->goToReading(engine("books/8.zip"), "8"));
        QVERIFY(QFile::exists(engine("books/8.zip")) && !QFile::exists(engine("books/8/other.db")));

        QVERIFY(window->bridge->goToReading(engine("books/none.zip"), QString()));
        QCOMPARE(window->bridge->getBookID(), QString());
        QVERIFY(!window->bridge->goToReading(engine("books/none.zip"), "none"));
        QVERIFY(!window->bridge->goToReading(engine("books/8.zip"), ".."));
    }

    // The right button on a selection in an entry: the menu copies and looks up what was selected
    // (the press itself would clear the selection and offer the word under the pointer).
    void rightClickKeepsTheSelection()
    {
        DictionaryEntry casa = entry("casa", "s.f.");
        casa.definition = "Edificio destinato ad abitazione.";
        QVERIFY(TestDictionary::install("voc", { casa }));
        list({ "voc:1:1:1" });
        QVERIFY(TestSupport::storeExec("INSERT INTO SYSTEM (ID, REFBOOK, VARIABLE, VALUE) VALUES (900, 'SYSTEM', 'LOGIN', 'TRUE')"));
        window->resize(1200, 800);
        window->show();
        window->bridge->loadUrl("dizionario.html?idbook=voc&voce=casa");
        QTRY_VERIFY(js("document.querySelector('#entry .def') !== null").toBool());
        const QVariantList box = js("(function () { var t = document.querySelector('#entry .def').firstChild;"
                                    "  var r = document.createRange(); r.setStart(t, 9); r.setEnd(t, 18);"
                                    "  var s = window.getSelection(); s.removeAllRanges(); s.addRange(r);"
                                    "  var b = r.getBoundingClientRect(); return [b.left + 3, (b.top + b.bottom) / 2]; })()")
                                     .toList();
        QCOMPARE(box.size(), 2);
        const QPoint at(box.at(0).toInt(), box.at(1).toInt());
        // As the desktop delivers the right button: the press, the menu event, the release.
        QTest::mousePress(window->webView, Qt::RightButton, {}, at);
        QContextMenuEvent menuEvent(QContextMenuEvent::Mouse, at, window->webView->mapToGlobal(at));
        QApplication::sendEvent(window->webView, &menuEvent);
        QTest::mouseRelease(window->webView, Qt::RightButton, {}, at);
        QTRY_VERIFY(js("document.querySelector('.menu') !== null").toBool());
        QCOMPARE(js("Array.prototype.slice.call(document.querySelectorAll('.menu button'), 0, 2).map(function (b) {"
                    "  return b.textContent + (b.disabled ? ' (spento)' : ''); })")
                     .toStringList(),
            QStringList({ "Copia", "Cerca «destinato»" }));
    }

    // The store numbers rows from the largest identifier, whoever wrote it: the page or the program.
    void webDatabaseIsShared()
    {
        WebStore store;
        int counter = -1;
        QVERIFY(store.open() && store.maxId(counter));
        QCOMPARE(counter, 0);
        QVERIFY(store.setApplicationValue(counter, "USERNAME", "o'brien"));
        QCOMPARE(counter, 1);
        QCOMPARE(TestSupport::storeValue("SYSTEM", "USERNAME"), QStringLiteral("o'brien"));
        QVERIFY(store.setApplicationValue(counter, "USERNAME", "mario") && store.maxId(counter));
        QCOMPARE(counter, 1);
        QCOMPARE(TestSupport::storeValue("SYSTEM", "USERNAME"), QStringLiteral("mario"));

        loadProbe();
        js("var db = openDatabase('zenta', '1.0', 'ZENTA DATABASE', 10485760);"
           "db.transaction(function (tx) {"
           "  tx.executeSql(\"INSERT INTO SYSTEM(id, refbook, variable, value) VALUES(100, 'SYSTEM', 'PAGE', 'scritto')\");"
           "}, function (e) { window.txError = e.message; }, function () { window.txDone = true; });");
        QTRY_VERIFY(js("window.txDone === true").toBool());
        QCOMPARE(TestSupport::storeValue("SYSTEM", "PAGE"), QStringLiteral("scritto"));
        QVERIFY(store.maxId(counter));
        QCOMPARE(counter, 100);
        QVERIFY(store.insert(counter, "42", "TITLE", "L'italiano"));
        QCOMPARE(TestSupport::storeValue("42", "TITLE"), QStringLiteral("L'italiano"));
    }

    // The page receives exactly what a dictionary holds (a headword's apostrophes as "&apos;"), read
    // as the engine's SignalQt does, from inside a quoted string.
    void hostileTextsReachThePageIntact()
    {
        const auto read = [this](const QString& quote, const QString& literal) {
            const QString script = "JSON.stringify(eval('(' + " + quote + literal + quote + " + ')'))";
            return QJsonDocument::fromJson(js(script).toString().toUtf8()).object();
        };
        for (const QString& text : { QString("dell'anno"), QString("a\\b\\"), QString("x\\'); alert(1); ('"),
                                     QString("\"); alert(1); (\""), "a\nb\rc" + QString(QChar(0x2028)) + "d" + QChar(0x2029),
                                     QString("</script><script>alert(1)</script>"), QString("perché\tpiù") }) {
            QCOMPARE(js(ScriptLiteral::string(text)).toString(), text);
            const QJsonArray items { QJsonObject { { "idzenta", text }, { "word", QString(text).replace('\'', "&apos;") },
                                                   { "file", text }, { "omo", text }, { "hw", text } } };
            QCOMPARE(read("'", ResultLiteral::search({ SearchResults::Kind::FullText, { { text, text, text, text, text, "sku" } }, 1 })),
                     QJsonObject({ { "tot", 1 }, { "result", items }, { "isLemmatizzata", false } }));
            const QJsonArray scopes { QJsonObject { { "id", 4 }, { "nome", text } },
                                      QJsonObject { { "id", text }, { "nome", "x" } } };
            QCOMPARE(read("\"", ResultLiteral::scopes({ { "4", text }, { text, "x" } })),
                     QJsonObject({ { "tot", 2 }, { "result", scopes } }));
        }
    }

    // Every search argument reaches its place (a swapped pair answers other words); only a slow
    // request (its database is a pipe that blocks the worker until written to) shows the busy state.
    void searchRequestsOfThePage()
    {
        window->show();
        loadProbe();
        QVERIFY(TestDictionary::install("voc", { entry("sole", "s.m.", { "soli" }, {}, { "Astronomia" }),
                                                 entry("girasole", "s.m.", {}, { "sole" }, { "Botanica" }),
                                                 entry("meridiana", "s.f.", {}, { "sole" }, { "Astronomia" }),
                                                 entry("città", "s.f.", {}, {}, { "Arte dell'abitare" }),
                                                 entry("voce1"), entry("voce2"), entry("voce3") }));
        QVERIFY(QDir().mkpath(TestDictionary::bookDirectory("rotto") + "/database.db"));
        QStringList messages;
        connect(window->statusBar(), &QStatusBar::messageChanged, this,
                [&messages](const QString& m) { messages << m; });
        js("function search(sku, word, cb, type, scope) { QtJavascriptInteraction.search(sku, word, type || '0', "
           "scope || '', '0', '10', 'it', cb); }"
           "QtJavascriptInteraction.onSearchTerminated(); QtJavascriptInteraction.onAnaliticTerminated();"
           "search('voc', 'soli', 'entry'); QtJavascriptInteraction.onSearchTerminated(); search('voc', 'Sole', 'scoped', '2', '1');"
           "QtJavascriptInteraction.getWords('voc', 'VOCE', '1', '2', 'it', 'words'); QtJavascriptInteraction.getScopes('voc', 'scopes');");
        QTRY_COMPARE(answers().size(), 4); // a request waiting behind another would be replaced
        js("search('rotto', 'sole', 's'); QtJavascriptInteraction.getWords('rotto', 'sole', '0', '10', 'it', 'w');"
           "QtJavascriptInteraction.getScopes('rotto', 'a');");
        QTRY_COMPARE(answers().size(), 7);
        QTest::qWait(50);
        QCOMPARE(answers(), QStringList({ "a=", "entry=sole", "s=", "scoped=sole,meridiana",
                                          "scopes=Arte dell'abitare,Astronomia,Botanica", "w=", "words=voce2,voce3" }));
        const QString box = "Vocalume|Apertura database per le ricerche fallita";
        QCOMPARE(TestSupport::recorded().dialogs, QStringList({ box, box, box }));
        QCOMPARE(messages, QStringList());
        QVERIFY(!window->indicators->progressBar()->isVisible());

        const QString pipe = TestDictionary::bookDirectory("lento") + "/database.db";
        QVERIFY(QDir().mkpath(TestDictionary::bookDirectory("lento")));
        QCOMPARE(::mkfifo(QFile::encodeName(pipe).constData(), 0600), 0);
        js("search('lento', 'sole', 'slow')");
        QTest::qWait(20); // well inside the delay that spares quick searches the busy state
        QVERIFY(!window->indicators->progressBar()->isVisible());
        QTRY_VERIFY(window->indicators->progressBar()->isVisible());
        QCOMPARE(window->statusBar()->currentMessage(), QStringLiteral("Ricerca in corso..."));
        QFile writer(pipe);
        QVERIFY(writer.open(QIODevice::WriteOnly));
        writer.close();
        QTRY_VERIFY(answers().contains("slow="));
        QVERIFY(!window->indicators->progressBar()->isVisible());
        QCOMPARE(window->statusBar()->currentMessage(), QString());
    }

    // The word looked up in a text from outside the window.
    void wordOfAText()
    {
        for (const auto& [text, word] : { std::pair("«casa»,", "casa"), { "  l'acqua\nseconda riga", "l'acqua" },
                                          { "\n\r\n  New   York!  ", "New York" }, { " ... ", "" } })
            QCOMPARE(DesktopLookup::wordIn(QString::fromUtf8(text)), QString(word));
        QCOMPARE(DesktopLookup::wordIn(QString(100, 'a')), QString(64, 'a'));
    }

    // The dictionaries listed, the one last opened, the one asked for, and the page that opens.
    void lookUpPage_data()
    {
        QTest::addColumn<QStringList>("books");
        QTest::addColumn<QString>("last");
        QTest::addColumn<QString>("sku");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("page");
        const QStringList books { "voc:1:1:2", "due:2:1:1", "nascosto:1:0:0", "comprato:0:1:0" };
        const QString word = "&voce=l%27acqua";
        const QString everywhere = "dizionario.html?idbook=due" + word + "&tutti=1";
        const QString inVoc = "dizionario.html?idbook=voc" + word;
        QTest::newRow("none installed") << QStringList { "comprato:0:1:0" } << "" << "" << "l'acqua" << "";
        QTest::newRow("none opened yet: all, on the library's first") << books << "" << "" << "l'acqua" << everywhere;
        QTest::newRow("the one opened last") << books << "voc" << "" << "l'acqua" << inVoc;
        QTest::newRow("an inflected form in the one opened last") << books << "voc" << "" << "acque"
                                                                << "dizionario.html?idbook=voc&voce=acque";
        QTest::newRow("the one opened last lacks it: all") << books << "voc" << "" << "acq"
                                                          << "dizionario.html?idbook=due&voce=acq&tutti=1";
        QTest::newRow("the only one lacks it") << QStringList { "voc:1:1:1" } << "voc" << "" << "acq"
                                               << "dizionario.html?idbook=voc&voce=acq";
        QTest::newRow("the one opened last is gone") << books << "vecchio" << "" << "l'acqua" << everywhere;
        QTest::newRow("the one asked for") << books << "due" << "voc" << "l'acqua" << inVoc;
        QTest::newRow("a hidden one asked for") << books << "" << "nascosto" << "l'acqua" << everywhere;
    }

    void lookUpPage()
    {
        QFETCH(QStringList, books);
        QFETCH(QString, last);
        QFETCH(QString, sku);
        QFETCH(QString, text);
        QFETCH(QString, page);
        QVERIFY(TestDictionary::install("voc", { entry("l'acqua", "", { "acque" }), entry("acquario") }));
        list(books);
        AppSettings().setLastBook(last);
        bool fellBack = true;
        QCOMPARE(DesktopLookup::pageFor(text, sku, &fellBack), page);
        QCOMPARE(fellBack, QTest::currentDataTag() == QByteArray("the one opened last lacks it: all"));
    }

    // From the login page through the sign-in to the dictionary; then a later start of the program
    // and the selection reach the same window; the dictionary opened last is searched next.
    void lookUpFromOutsideToTheDictionaryPage()
    {
        QVERIFY(TestDictionary::install("voc", { entry("casa"), entry("casale"), entry("casato") }));
        QVERIFY(TestDictionary::install("due", { entry("mare") }));
        list({ "voc:1:1:1", "due:1:1:2" });
        RunningInstance instance(DataPaths::dataDirectory());
        QCOMPARE(instance.claim(), RunningInstance::Claim::Running);
        DesktopLookup lookup([this] { return window; });
        connect(&instance, &RunningInstance::requested, &lookup, &DesktopLookup::request);

        lookup.request(RunningInstance::searchVerb(), "casa");
        QCOMPARE(window->statusBar()->currentMessage(),
            QStringLiteral("Accedere con l'account del negozio per cercare «casa» nei dizionari."));
        TestSupport::storeExec("INSERT INTO SYSTEM (ID, REFBOOK, VARIABLE, VALUE) VALUES (900, 'SYSTEM', 'LOGIN', 'TRUE')");
        window->goToLibrary();
        QTRY_VERIFY(url().endsWith("/engine/dizionario.html?idbook=voc&voce=casa&tutti=1"));
        QCOMPARE(window->statusBar()->currentMessage(), QString());
        QTRY_COMPARE(js("document.getElementById('q').value"), QVariant("casa"));
        QCOMPARE(AppSettings().lastBook(), QString());

        const QString program = qEnvironmentVariable("VOCALUME_BINARY_DIR") + "/vocalume";
        QCOMPARE(QProcess::execute(program, { "--cerca", "casale" }), 0);
        QTRY_VERIFY(url().endsWith("voce=casale&tutti=1"));

        // The page may still be loading the last one: it loads once that is done.
        window->bridge->loadUrl("dizionario.html?idbook=voc");
        QTRY_COMPARE(AppSettings().lastBook(), QStringLiteral("voc"));
        QGuiApplication::clipboard()->setText(" «casato»\n");
        lookup.request(RunningInstance::selectionVerb(), QString());
        QTRY_VERIFY(url().endsWith("/engine/dizionario.html?idbook=voc&voce=casato"));

        // A word the dictionary opened last lacks is looked up in every one; that dictionary stays
        // the one searched next.
        lookup.request(RunningInstance::searchVerb(), "mare");
        QTRY_VERIFY2(url().endsWith("voce=mare&tutti=1"), qPrintable(url()));
        QTRY_COMPARE(js("document.getElementById('q').value"), QVariant("mare"));
        QCOMPARE(AppSettings().lastBook(), QStringLiteral("voc"));
    }
    // Where the pop-up opens on a screen whose free area is (100, 50) to (1099, 749).
    void popupPlacement_data()
    {
        QTest::addColumn<QPoint>("pointer");
        QTest::addColumn<bool>("known");
        QTest::addColumn<QSize>("size");
        QTest::addColumn<QRect>("placed");
        // The screen is (100,50) 1000x700; the gap from the pointer is 12 pixels.
        const QSize small(300, 200);
        QTest::newRow("below and right of the pointer") << QPoint(200, 100) << true << small << QRect(212, 112, 300, 200);
        QTest::newRow("near the right edge: left of it") << QPoint(1000, 100) << true << small << QRect(689, 112, 300, 200);
        QTest::newRow("near the bottom: above it") << QPoint(200, 700) << true << small << QRect(212, 489, 300, 200);
        QTest::newRow("in the corner: above and left") << QPoint(1090, 740) << true << small << QRect(779, 529, 300, 200);
        QTest::newRow("room on neither side: against the edge") << QPoint(200, 400) << true << QSize(300, 500)
                                                                << QRect(212, 250, 300, 500);
        QTest::newRow("larger than the screen: cut to it") << QPoint(200, 100) << true << QSize(2000, 900)
                                                           << QRect(100, 50, 1000, 700);
        QTest::newRow("pointer unknown: centred") << QPoint(200, 100) << false << small << QRect(450, 300, 300, 200);
        QTest::newRow("pointer off this screen: centred") << QPoint(5000, 100) << true << small
                                                          << QRect(450, 300, 300, 200);
    }

    void popupPlacement()
    {
        QFETCH(QPoint, pointer);
        QFETCH(bool, known);
        QFETCH(QSize, size);
        QFETCH(QRect, placed);
        QCOMPARE(PopupPlacement::place(size, QRect(100, 50, 1000, 700), pointer, known), placed);
    }

    // What the pop-up shows of a word: every installed dictionary's entries, in the library's
    // order, a form's entry saying so, the lists of forms left out; or why there is nothing.
    void popupLookUp_data()
    {
        QTest::addColumn<QStringList>("books");
        QTest::addColumn<QString>("word");
        QTest::addColumn<QStringList>("lines");
        const QStringList both { "voc:1:1:2", "due:1:1:1", "nascosto:1:0:0" };
        QTest::newRow("homographs one after another, dictionaries in order")
            << both << "casa" << QStringList { "DUE", "Casa", "dimora", "VOC", "casa1", "abitazione", "casa2", "cassa" };
        QTest::newRow("in capitals") << both << "CASA" << QStringList { "DUE", "Casa", "dimora", "VOC", "casa1",
            "abitazione", "casa2", "cassa" };
        QTest::newRow("an inflected form") << both << "vanno"
                                           << QStringList { "VOC", "«vanno» è una forma di andare", "andare", "muoversi" };
        QTest::newRow("a headword before what it is a form of")
            << both << "case" << QStringList { "VOC", "case", "astuccio", "«case» è una forma di casa", "casa1", "abitazione" };
        QTest::newRow("a title's and a headword's markup stay text, pictures left out")
            << QStringList { "tag:1:1:1:<i>Segni</i>" } << "minori"
            << QStringList { "<i>Segni</i>", "«minori» è una forma di <minore>", "<minore>", "segno" };
        QTest::newRow("another name of an entry") << both << "tettoia" << QStringList { "DUE", "capanna", "riparo" };
        QTest::newRow("found nowhere") << both << "mare"
                                       << QStringList { "Nessuna voce per «mare» nei dizionari installati." };
        QTest::newRow("outside text stays text") << both << "<b>x</b>"
                                                 << QStringList { "Nessuna voce per «<b>x</b>» nei dizionari installati." };
        QTest::newRow("nothing installed") << QStringList { "nascosto:1:0:0" } << "casa"
                                           << QStringList { "Nessun dizionario installato: scaricarne uno dalla libreria." };
        QTest::newRow("no word") << both << ""
                                 << QStringList { "Nessuna parola da cercare: selezionare una parola e riprovare." };
    }

    void popupLookUp()
    {
        QFETCH(QStringList, books);
        QFETCH(QString, word);
        QFETCH(QStringList, lines);
        const auto defined = [](const QString& headword, const QString& definition, const QString& omo = QString(),
                                 const QStringList& forms = {}) {
            DictionaryEntry e = entry(headword, "", forms);
            e.definition = definition;
            e.omo = omo;
            return e;
        };
        DictionaryEntry capanna = defined("capanna", "riparo");
        capanna.aliases = QStringList { "tettoia" };
        DictionaryEntry english = defined("mare", "cavalla");
        english.source = "en"; // the other side of the dictionary
        DictionaryEntry sign = defined("<minore>", "", "", { "minori" });
        sign.html = "<p class=\"def\">segno</p><p><img src=\"minore.png\"/></p>";
        QVERIFY(TestDictionary::install("voc", { defined("casale", "podere"), defined("casa", "abitazione", "1", { "case" }),
            defined("casa", "cassa", "2"), defined("andare", "muoversi", "", { "vado", "vanno" }), english,
            defined("case", "astuccio") }));
        QVERIFY(TestDictionary::install("tag", { sign }));
        QVERIFY(TestDictionary::install("due", { defined("Casa", "dimora"), capanna }));
        QVERIFY(TestDictionary::install("nascosto", { defined("casa", "nascosta") }));
        list(books);
        PopupWindow popup;
        QSignalSpy shown(&popup, &PopupWindow::shown);
        popup.lookUp(word);
        QVERIFY(shown.count() == 1 || shown.wait(5000));
        QVERIFY(popup.isVisible() && popup.hasEntries());
        QCOMPARE(popup.text()->toPlainText().split('\n', Qt::SkipEmptyParts), lines);
        QCOMPARE(popup.openButton()->isEnabled(), !word.isEmpty());
    }

    // The pages and the pop-up take the desktop's dark preference from its settings portal.
    void darkPreferenceOfThePortal()
    {
        FakePortal portal(1, false, QStringLiteral("portale"));
        QVERIFY(portal.publish());
        MainWindow dark;
        QTRY_COMPARE(dark.bridge->pageTheme().name(), QStringLiteral("scuro"));
        PopupWindow popup;
        QTRY_COMPARE(popup.text()->document()->defaultStyleSheet(), PopupWindow::styleSheet(true));
    }

    // A long entry scrolls inside the pop-up, which grows no taller than its most lines; the next
    // word opens at its first sense.
    void popupLongEntry()
    {
        DictionaryEntry longer = entry("lungo");
        for (int i = 1; i <= 60; ++i)
            longer.html += QStringLiteral("<p>senso %1</p>").arg(i);
        DictionaryEntry other = entry("lunga");
        other.html = longer.html;
        QVERIFY(TestDictionary::install("voc", { longer, other }));
        list({ "voc:1:1:1" });
        PopupWindow popup;
        QSignalSpy shown(&popup, &PopupWindow::shown);
        popup.lookUp("lungo");
        QVERIFY(shown.wait(5000));
        QScrollBar* bar = popup.text()->verticalScrollBar();
        QVERIFY(bar->maximum() > 0);
        QVERIFY(popup.height() <= popup.fontMetrics().height() * PopupWindow::MaxLines);
        bar->setValue(bar->maximum());
        popup.lookUp("lunga");
        QVERIFY(shown.wait(5000));
        QCOMPARE(bar->value(), 0);
    }

    // The keys of the pop-up, and the setting that sends a selection to it or to the main window.
    void popupKeysAndSetting()
    {
        QVERIFY(TestDictionary::install("voc", { entry("casa") }));
        list({ "voc:1:1:1" });
        DesktopLookup lookup([this] { return window; });
        bool windowShown = false; // the program's main window, made when the pop-up asks for it
        SelectionPopup selection(lookup, [&windowShown] { return windowShown; });
        lookup.setPopup([&selection](const QString& word) { selection.lookUp(word); });
        QSignalSpy programMayEnd(&selection, &SelectionPopup::lastWindowClosed);
        QGuiApplication::clipboard()->setText(" «casa»\n");
        lookup.lookUpSelection();
        PopupWindow& popup = *selection.window();
        QSignalSpy shown(&popup, &PopupWindow::shown);
        QSignalSpy opened(&popup, &PopupWindow::openWanted);
        QSignalSpy closed(&popup, &PopupWindow::closed);
        connect(&popup, &PopupWindow::openWanted, this, [&windowShown] { windowShown = true; });
        QVERIFY(shown.wait(5000));
        QCOMPARE(popup.word(), QStringLiteral("casa"));
        // Keys reach the window itself where nothing in it has the focus yet. Closed with no main
        // window, it lets a program started for it end.
        QTest::keyClick(&popup, Qt::Key_Escape);
        QVERIFY(!popup.isVisible());
        QCOMPARE(closed.count(), 1);
        QCOMPARE(opened.count(), 0);
        QTRY_COMPARE(programMayEnd.count(), 1);

        lookup.lookUpSelection();
        QVERIFY(shown.wait(5000));
        QTest::keyClick(popup.text(), Qt::Key_Return);
        QVERIFY(!popup.isVisible());
        QCOMPARE(opened.count(), 1);
        QCOMPARE(opened.at(0).at(0).toString(), QStringLiteral("casa"));
        QCOMPARE(closed.count(), 2);

        // A later word replaces one still being read: only the later one is shown.
        popup.lookUp("casa");
        popup.lookUp("mare");
        QVERIFY(shown.wait(5000));
        QTest::qWait(100);
        QCOMPARE(shown.count(), 3);
        QCOMPARE(popup.word(), QStringLiteral("mare"));
        // Nor does a word still being read replace the empty selection that came after it.
        QSignalSpy answered(popup.reader(), &PopupEntries::found);
        popup.lookUp("casa");
        popup.lookUp("");
        QVERIFY(answered.wait(5000));
        QCOMPARE(popup.text()->toPlainText(), QStringLiteral("Nessuna parola da cercare: selezionare una parola e riprovare."));

        // Chosen on the library page: the main window looks the selection up, the pop-up stays shut.
        popup.close();
        AppSettings().setSelectionInPopup(false);
        TestSupport::storeExec("INSERT INTO SYSTEM (ID, REFBOOK, VARIABLE, VALUE) VALUES (900, 'SYSTEM', 'LOGIN', 'TRUE')");
        window->goToLibrary();
        QTRY_VERIFY(url().endsWith("/engine/libreria.html"));
        lookup.lookUpSelection();
        QTRY_VERIFY(url().endsWith("/engine/dizionario.html?idbook=voc&voce=casa&tutti=1"));
        QCOMPARE(shown.count(), 4);
        QVERIFY(!popup.isVisible());
        QCOMPARE(programMayEnd.count(), 1); // the main window stayed after every later closing
    }
};

VOCALUME_TEST_MAIN_ON_PRIVATE_BUS(TestBridge)
#include "tst_bridge.moc"
