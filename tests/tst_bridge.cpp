// The script bridge with the real web view: pages from their archives, the object published
// before the first script runs, page parameters, content files, and the shared web database.
#include "app/mainwindow.h"
#include "store/webstore.h"
#include "tests/support/testsupport.h"
#include "web/customagentwebview.h"
#include "web/qtjavascriptinteraction.h"

#include <QApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QMetaMethod>
#include <QScrollArea>
#include <QStatusBar>
#include <QUrl>
#include <QWebFrame>

using Entries = QList<QPair<QString, QByteArray>>;

namespace {
const char* probePage = R"(<html><head><script src="probe.js"></script></head><body>
<script type="text/javascript">var early = QtJavascriptInteraction.getBookID();</script><p id="t">sonda</p></body></html>)";
const char* probeScript =
    "var calls = []; function SignalQt(cb, lit, mid) { calls.push([cb, lit, mid === undefined ? null : mid]); }";
}

class TestBridge : public QObject
{
    Q_OBJECT
private:
    MainWindow* window = nullptr;

    QString engine(const QString& rel = QString()) const
    {
        return TestSupport::dataDirectory() + QStringLiteral("/engine/") + rel;
    }
    QVariant js(const QString& script) { return window->webView->page()->mainFrame()->evaluateJavaScript(script); }
    QJsonArray calls()
    {
        return QJsonDocument::fromJson(js(QStringLiteral("JSON.stringify(calls)")).toString().toUtf8()).array();
    }
    QString url() const { return window->webView->page()->mainFrame()->url().toString(); }
    void loadProbe() { window->bridge->loadUrl(QStringLiteral("probe.html")); }
    void writeBookFile(const QString& sku, const QString& file, const QByteArray& content)
    {
        QDir().mkpath(QFileInfo(engine(QStringLiteral("books/%1/%2").arg(sku, file))).absolutePath());
        QVERIFY(TestSupport::writeZip(engine(QStringLiteral("books/%1/%2.zip").arg(sku, file)),
                                      Entries{{file.mid(file.lastIndexOf('/') + 1), content}}));
    }
    void setLogin(const QString& value)
    {
        WebStore store;
        QVERIFY(store.open());
        int counter = store.maxId();
        store.setApplicationValue(counter, QStringLiteral("LOGIN"), value);
        store.close();
    }

private slots:
    void init()
    {
        TestSupport::resetHome();
        window = new MainWindow;
        // Let the first page arrive, so it cannot replace a page a test loads.
        QTRY_VERIFY(url().endsWith(QStringLiteral("/engine/login.html")));
        QVERIFY(TestSupport::writeZip(engine(QStringLiteral("probe.html.zip")), Entries{{"probe.html", probePage}}));
        QVERIFY(TestSupport::writeZip(engine(QStringLiteral("probe.js.zip")), Entries{{"probe.js", probeScript}}));
    }
    void cleanup()
    {
        delete window;
        window = nullptr;
    }

    void slotTableInDeclarationOrder()
    {
        const QStringList expected = {
            "setUsernamePassword(QString,QString,QString)", "getHtmlPage(QString)", "getHtmlFixedPage(QString,QString)",
            "getBookID()", "getLink()", "getPath()", "getCallbackLogin()", "getCallbackDownload()",
            "getIsSyncronizing()", "getParameter(QString)", "cancelDownload()", "mail(QString,QString)",
            "download(QString,QString)", "purchase(QString)", "passwordLost()", "createAccount()", "synchronize()",
            "onLogout()", "loadUrl(QString)", "getWords(QString,QString,QString,QString,QString,QString)",
            "search(QString,QString,QString,QString,QString,QString,QString,QString)", "onSearchTerminated()",
            "onAnaliticTerminated()", "getHtml(QString,QString,QString,QString)", "getScopes(QString,QString)",
            "getNormalized(QString,QString)", "getFile(QString,QString,QString)", "isXP()", "openLink(QString)",
            "attachObject()"};
        const QMetaObject* meta = window->bridge->metaObject();
        QStringList actual;
        for (int i = meta->methodOffset(); i < meta->methodCount(); ++i)
            actual << QString::fromLatin1(meta->method(i).methodSignature());
        QCOMPARE(actual, expected);
        const QMetaMethod search = meta->method(meta->indexOfMethod("search(QString,QString,QString,QString,QString,QString,QString,QString)"));
        QCOMPARE(search.parameterNames(), (QList<QByteArray>{"sku", "word", "type", "scope", "start", "offset",
                                                             "sourceLanguage", "callback"}));
        QCOMPARE(meta->method(meta->indexOfMethod("getIsSyncronizing()")).returnType(), int(QMetaType::Bool));
        QCOMPARE(meta->method(meta->indexOfMethod("getNormalized(QString,QString)")).returnType(), int(QMetaType::QString));
        QCOMPARE(meta->method(meta->indexOfMethod("attachObject()")).access(), QMetaMethod::Private);
    }

    void firstPageFollowsTheSignInState()
    {
        QTRY_VERIFY(url().endsWith(QStringLiteral("/engine/login.html")));
        QCOMPARE(window->centralWidget()->findChild<QScrollArea*>(QStringLiteral("scrollArea"))->widget(),
                 window->webView);
        // The page's scripts may wait for its style sheet, so they can run after the address changed.
        QTRY_COMPARE(js(QStringLiteral("typeof __APP")).toString(), QStringLiteral("object"));
        setLogin(QStringLiteral("TRUE"));
        window->goToLibrary();
        QVERIFY(url().endsWith(QStringLiteral("/engine/libreria.html")));
    }

    // Typing works as soon as a page shows, whatever widget had the focus before.
    void everyPageTakesTheKeyboard()
    {
        window->show();
        QVERIFY(QTest::qWaitForWindowActive(window));
        QTRY_VERIFY(window->webView->hasFocus());
        window->statusBar()->setFocus();
        QTRY_VERIFY(!window->webView->hasFocus());
        loadProbe();
        QVERIFY(url().endsWith(QStringLiteral("/engine/probe.html")));
        QTRY_VERIFY(window->webView->hasFocus());
    }

    void isLoggedWantsExactlyTrue_data()
    {
        QTest::addColumn<QString>("value");
        QTest::addColumn<bool>("logged");
        QTest::newRow("upper") << "TRUE" << true;
        QTest::newRow("lower") << "true" << false;
        QTest::newRow("blank") << "TRUE " << false;
        QTest::newRow("refused") << "FALSE" << false;
    }

    void isLoggedWantsExactlyTrue()
    {
        QFETCH(QString, value);
        QFETCH(bool, logged);
        QVERIFY(!WebStore::isLogged());
        setLogin(value);
        QCOMPARE(WebStore::isLogged(), logged);
    }

    void bridgeIsPublishedBeforeTheFirstScript()
    {
        window->bridge->loadUrl(QStringLiteral("probe.html?idbook=42&q=casa"));
        QCOMPARE(js(QStringLiteral("early")).toString(), QStringLiteral("42"));
        QCOMPARE(window->bridge->bookId, QStringLiteral("42"));
        QCOMPARE(js(QStringLiteral("QtJavascriptInteraction.getParameter('q')")).toString(), QStringLiteral("casa"));
        QVERIFY(url().endsWith(QStringLiteral("/engine/probe.html?idbook=42&q=casa")));
        QCOMPARE(js(QStringLiteral("location.search")).toString(), QStringLiteral("?idbook=42&q=casa"));
        QCOMPARE(js(QStringLiteral("document.getElementById('t').textContent")).toString(), QStringLiteral("sonda"));

        loadProbe();
        QVERIFY(window->bridge->pageParameters.isEmpty());
        QCOMPARE(js(QStringLiteral("QtJavascriptInteraction.getParameter('q')")).toString(), QString());
        QCOMPARE(window->bridge->bookId, QStringLiteral("42"));
    }

    void pageParameters()
    {
        window->bridge->parsePageParameters(QStringLiteral("a&b=1&b=2&idbook=9"));
        QCOMPARE(window->bridge->pageParameters.value(QStringLiteral("a"), QStringLiteral("x")), QString());
        QCOMPARE(window->bridge->pageParameters.value(QStringLiteral("b")), QStringLiteral("2"));
        QCOMPARE(window->bridge->bookId, QStringLiteral("9"));
        window->bridge->parsePageParameters(QString());
        QVERIFY(window->bridge->pageParameters.isEmpty());
    }

    void missingPagesAreReported()
    {
        loadProbe();
        window->bridge->loadUrl(QStringLiteral("nothere.html?x=1"));
        QVERIFY(TestSupport::recorded().dialogs.last().startsWith(
            QStringLiteral("Vocalume|Si sono verificati errori aprendo il file ")));
        QVERIFY(url().endsWith(QStringLiteral("probe.html")));
        window->bridge->loadUrl(QStringLiteral("../outside.html"));
        QCOMPARE(TestSupport::recorded().dialogs.size(), 2);
        window->bridge->getHtmlFixedPage(QStringLiteral("nothere.html"), QStringLiteral("idbook=1"));
        QVERIFY(TestSupport::diagnosticsContain(QStringLiteral("Errori nel caricamento del file htlm")));
        QVERIFY(url().endsWith(QStringLiteral("probe.html")));
    }

    void fixedPageKeepsParametersInItsPath()
    {
        window->bridge->getHtmlFixedPage(QStringLiteral("probe.html"), QStringLiteral("idbook=5&x=y"));
        QCOMPARE(js(QStringLiteral("early")).toString(), QStringLiteral("5"));
        QVERIFY(window->webView->page()->mainFrame()->url().toLocalFile().endsWith(
            QStringLiteral("/engine/probe.html?idbook=5&x=y")));
        QCOMPARE(window->bridge->getParameter(QStringLiteral("x")), QStringLiteral("y"));
        QVERIFY(QFileInfo(engine(QStringLiteral("books"))).isDir());
    }

    void simpleGetters()
    {
        loadProbe();
        QCOMPARE(js(QStringLiteral("QtJavascriptInteraction.getLink()")).toString(), QString());
        QCOMPARE(js(QStringLiteral("QtJavascriptInteraction.getPath()")).toString(), QString());
        QCOMPARE(js(QStringLiteral("QtJavascriptInteraction.isXP()")), QVariant(false));
        QCOMPARE(js(QStringLiteral("QtJavascriptInteraction.getIsSyncronizing()")), QVariant(false));
        js(QStringLiteral("QtJavascriptInteraction.setUsernamePassword('u', 'p', 'cbLogin')"));
        QCOMPARE(js(QStringLiteral("QtJavascriptInteraction.getCallbackLogin()")).toString(), QStringLiteral("cbLogin"));
        js(QStringLiteral("QtJavascriptInteraction.synchronize()"));
        QCOMPARE(js(QStringLiteral("QtJavascriptInteraction.getIsSyncronizing()")), QVariant(true));
    }

    void htmlPageOfAnEngineFile()
    {
        QVERIFY(window->bridge->getHtmlPage(QStringLiteral("probe.html")).contains(QStringLiteral("var calls = [];")));
        QFile css(engine(QStringLiteral("css/style.css")));
        QVERIFY(css.open(QIODevice::ReadOnly));
        QCOMPARE(window->bridge->getHtmlPage(QStringLiteral("css/style.css")), QString::fromUtf8(css.readAll()));
        QCOMPARE(window->bridge->getHtmlPage(QStringLiteral("none.html")), QString());
        QCOMPARE(window->bridge->getHtmlPage(QStringLiteral("../file__0/bookmarks.db")), QString());
    }

    void htmlPageOpensItsDictionaryFirst()
    {
        const QString inner = engine(QStringLiteral("inner.zip"));
        QVERIFY(TestSupport::writeZip(inner, Entries{{"index.html", "<p>indice</p>"}}));
        QFile innerFile(inner);
        QVERIFY(innerFile.open(QIODevice::ReadOnly));
        QVERIFY(TestSupport::writeZip(engine(QStringLiteral("books/42.zip")),
                                      Entries{{"index.html.zip", innerFile.readAll()}}));
        QCOMPARE(window->bridge->getHtmlPage(QStringLiteral("books/42/index.html")), QStringLiteral("<p>indice</p>"));
        QVERIFY(QFile::exists(engine(QStringLiteral("books/42/index.html.zip"))));
        QVERIFY(!QFile::exists(engine(QStringLiteral("books/42.zip"))));
        QCOMPARE(window->bridge->bookId, QStringLiteral("42"));
    }

    void fileContentIsPercentEncoded()
    {
        writeBookFile(QStringLiteral("7"), QStringLiteral("a.txt"), "a'b");
        const QString text = QStringLiteral("<div id=\"x\">\"città\" l'uomo ~ 100%</div>");
        writeBookFile(QStringLiteral("7"), QStringLiteral("sub/b.xhtml"), text.toUtf8());
        loadProbe();
        js(QStringLiteral("QtJavascriptInteraction.getFile('7', 'a.txt', 'onFile')"));
        js(QStringLiteral("QtJavascriptInteraction.getFile('7', 'sub/b.xhtml', 'onFile')"));
        js(QStringLiteral("QtJavascriptInteraction.getFile('7', 'none.txt', 'onFile')"));
        js(QStringLiteral("QtJavascriptInteraction.getFile('7', '../../login.html', 'onFile')"));
        const QJsonArray c = calls();
        QCOMPARE(c.size(), 4);
        QCOMPARE(c[0].toArray()[1].toString(), QStringLiteral("{html:'a%27b'}"));
        QCOMPARE(c[1].toArray()[1].toString(),
                 QStringLiteral("{html:'") + QString::fromLatin1(QUrl::toPercentEncoding(text)) + QStringLiteral("'}"));
        QVERIFY(c[1].toArray()[1].toString().contains(QStringLiteral("citt%C3%A0")));
        QCOMPARE(c[2].toArray()[1].toString(), QString());
        QCOMPARE(c[3].toArray()[1].toString(), QString());
        QCOMPARE(c[0].toArray()[0].toString(), QStringLiteral("onFile"));
        QVERIFY(c[0].toArray()[2].isNull());
    }

    void divisionOfAContentFile()
    {
        writeBookFile(QStringLiteral("7"), QStringLiteral("c001.xhtml"),
                      "<html><body><div id=\"12\"><b>casa</b></div><div id=\"13\">cane</div></body></html>");
        writeBookFile(QStringLiteral("7"), QStringLiteral("bad.xhtml"), "<p>not <b>xml");
        loadProbe();
        js(QStringLiteral("QtJavascriptInteraction.getHtml('7', '13', 'c001.xhtml', 'onEntry')"));
        js(QStringLiteral("QtJavascriptInteraction.getHtml('7', '99', 'c001.xhtml', 'onEntry')"));
        js(QStringLiteral("QtJavascriptInteraction.getHtml('7', '13', 'bad.xhtml', 'onEntry')"));
        js(QStringLiteral("QtJavascriptInteraction.getHtml('7', '13', 'missing.xhtml', 'onEntry')"));
        const QJsonArray c = calls();
        QCOMPARE(c.size(), 3);
        QCOMPARE(c[0].toArray()[1].toString(),
                 QStringLiteral("{html:'") + QString::fromLatin1(QUrl::toPercentEncoding("<div id=\"13\">cane</div>"))
                     + QStringLiteral("'}"));
        QCOMPARE(c[1].toArray()[1].toString(), QStringLiteral("{html:''}"));
        QCOMPARE(c[2].toArray()[1].toString(), QStringLiteral("{html:''}"));
    }

    void readingADictionary()
    {
        QVERIFY(TestSupport::writeZip(engine(QStringLiteral("books/8.zip")), Entries{{"database.db", "db"}}));
        QVERIFY(window->goToReading(engine(QStringLiteral("books/8.zip")), QStringLiteral("8")));
        QVERIFY(QFile::exists(engine(QStringLiteral("books/8/database.db"))));
        QCOMPARE(window->bridge->bookId, QStringLiteral("8"));

        // An existing folder is used as it is and the archive is left alone.
        QVERIFY(TestSupport::writeZip(engine(QStringLiteral("books/8.zip")), Entries{{"other.db", "db"}}));
        QVERIFY(window->goToReading(engine(QStringLiteral("books/8.zip")), QStringLiteral("8")));
        QVERIFY(QFile::exists(engine(QStringLiteral("books/8.zip"))));
        QVERIFY(!QFile::exists(engine(QStringLiteral("books/8/other.db"))));

        QVERIFY(window->goToReading(engine(QStringLiteral("books/none.zip")), QString()));
        QCOMPARE(window->bridge->bookId, QString());

        QVERIFY(!window->goToReading(engine(QStringLiteral("books/none.zip")), QStringLiteral("none")));
    }

    void webDatabaseIsShared()
    {
        loadProbe();
        js(QStringLiteral(
            "var db = openDatabase('zenta', '1.0', 'ZENTA DATABASE', 10485760);"
            "db.transaction(function (tx) {"
            "  tx.executeSql(\"INSERT INTO SYSTEM(id, refbook, variable, value) VALUES(100, 'SYSTEM', 'PAGE', 'scritto')\");"
            "}, function (e) { window.txError = e.message; }, function () { window.txDone = true; });"));
        QTRY_VERIFY(js(QStringLiteral("window.txDone === true")).toBool());

        WebStore store;
        QVERIFY(store.open());
        QCOMPARE(store.value(QStringLiteral("SYSTEM"), QStringLiteral("PAGE")), QStringLiteral("scritto"));
        int counter = store.maxId();
        QCOMPARE(counter, 100);
        store.insert(counter, QStringLiteral("42"), QStringLiteral("TITLE"), QStringLiteral("L'italiano"));
        store.close();

        // SQLite names a plain column as it was declared: the page sees VALUE.
        js(QStringLiteral(
            "db.readTransaction(function (tx) {"
            "  tx.executeSql(\"SELECT value FROM SYSTEM WHERE refbook = '42' AND variable = 'TITLE'\", [],"
            "    function (tx, rs) { window.readBack = rs.rows.length ? rs.rows.item(0).VALUE : 'none'; });"
            "});"));
        QTRY_COMPARE(js(QStringLiteral("window.readBack")).toString(), QStringLiteral("L'italiano"));
    }

    void firstInsertedIdentifierOnAnEmptyTable()
    {
        WebStore store;
        QVERIFY(store.open());
        int counter = store.maxId();
        QCOMPARE(counter, 0);
        store.setApplicationValue(counter, QStringLiteral("USERNAME"), QStringLiteral("o'brien"));
        QCOMPARE(counter, 1);
        QCOMPARE(store.value(QStringLiteral("SYSTEM"), QStringLiteral("USERNAME")), QStringLiteral("o'brien"));
        store.setApplicationValue(counter, QStringLiteral("USERNAME"), QStringLiteral("mario"));
        QCOMPARE(store.maxId(), 1);
        QCOMPARE(store.value(QStringLiteral("SYSTEM"), QStringLiteral("USERNAME")), QStringLiteral("mario"));
        store.close();
    }

    void storeWithoutDataDirectoryGivesTheWarningText()
    {
        QVERIFY(QDir(TestSupport::dataDirectory()).removeRecursively());
        QString failure;
        QVERIFY(!WebStore::isLogged(&failure));
        QCOMPARE(failure, QStringLiteral("Settaggi non trovati, non posso leggere le informazioni sui libri dal database"));
    }
};

VOCALUME_TEST_MAIN(TestBridge)
#include "tst_bridge.moc"
