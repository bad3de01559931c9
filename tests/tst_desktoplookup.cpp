// Looking a word up from outside the window: which dictionary page opens on which word, what a
// selection gives, and the whole way from a later start of the program (--cerca) to the page,
// through the sign-in when nobody is signed in yet.
#include "app/desktoplookup.h"
#include "app/mainwindow.h"
#include "app/runninginstance.h"
#include "base/appsettings.h"
#include "base/datapaths.h"
#include "tests/support/testdictionary.h"
#include "web/customagentwebview.h"
#include "web/qtjavascriptinteraction.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QProcess>
#include <QStatusBar>
#include <QWebFrame>

using TestDictionary::entry;

namespace {
// SYSTEM rows of dictionaries given as "sku:status:visible:order".
void list(const QStringList& books)
{
    for (const QString& book : books) {
        const QStringList f = book.split(':');
        QVERIFY(TestSupport::storeBook(f[0], f[0].toUpper(), f[1], f[2], f[3]));
    }
}
}

class TestDesktopLookup : public QObject {
    Q_OBJECT
private slots:
    void init() { TestSupport::resetHome(); }

    void wordOfAText_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("word");
        QTest::newRow("quoted, with punctuation") << "«casa»," << "casa";
        QTest::newRow("first line, apostrophe kept") << "  l'acqua\nseconda riga" << "l'acqua";
        QTest::newRow("blank lines first") << "\n\r\n  New   York!  " << "New York";
        QTest::newRow("punctuation only") << " ... " << "";
        QTest::newRow("cut short") << QString(100, 'a') << QString(64, 'a');
    }

    void wordOfAText()
    {
        QFETCH(QString, text);
        QFETCH(QString, word);
        QCOMPARE(DesktopLookup::wordIn(text), word);
    }

    // The dictionaries listed, the one last opened, the one asked for, and the page that opens.
    void pageThatOpens_data()
    {
        QTest::addColumn<QStringList>("books");
        QTest::addColumn<QString>("last");
        QTest::addColumn<QString>("sku");
        QTest::addColumn<QString>("page");
        const QStringList books { "voc:1:1:2", "due:2:1:1", "nascosto:1:0:0", "comprato:0:1:0" };
        const QString word = "&voce=l%27acqua%20%C3%A8";
        const QString everywhere = "dizionario.html?idbook=due" + word + "&tutti=1";
        QTest::newRow("none installed") << QStringList { "comprato:0:1:0" } << "" << "" << "";
        QTest::newRow("none opened yet: all, on the library's first") << books << "" << "" << everywhere;
        QTest::newRow("the one opened last") << books << "voc" << "" << "dizionario.html?idbook=voc" + word;
        QTest::newRow("the one opened last is gone") << books << "vecchio" << "" << everywhere;
        QTest::newRow("the one asked for") << books << "due" << "voc" << "dizionario.html?idbook=voc" + word;
        QTest::newRow("a hidden one asked for") << books << "" << "nascosto" << everywhere;
    }

    void pageThatOpens()
    {
        QFETCH(QStringList, books);
        QFETCH(QString, last);
        QFETCH(QString, sku);
        QFETCH(QString, page);
        MainWindow window; // makes the web database
        list(books);
        AppSettings().setLastBook(last);
        QCOMPARE(DesktopLookup::pageFor("l'acqua è", sku), page);
    }

    // From the login page through the sign-in to the dictionary; then a later start of the program
    // and the selection reach the same window; the dictionary opened last is searched next.
    void fromOutsideToTheDictionaryPage()
    {
        MainWindow window;
        QVERIFY(TestDictionary::install("voc", { entry("casa"), entry("casale"), entry("casato") }));
        list({ "voc:1:1:1" });
        const auto url = [&window] { return window.webView->page()->mainFrame()->url().toString(); };
        RunningInstance instance(DataPaths::dataDirectory());
        QCOMPARE(instance.claim(), RunningInstance::Claim::Running);
        DesktopLookup lookup([&window] { return &window; });
        connect(&instance, &RunningInstance::requested, &lookup, &DesktopLookup::request);
        QTRY_VERIFY(url().endsWith("/engine/login.html"));

        lookup.request(RunningInstance::searchVerb(), "casa");
        QCOMPARE(window.statusBar()->currentMessage(),
            QStringLiteral("Accedere con l'account del negozio per cercare «casa» nei dizionari."));
        TestSupport::storeExec("INSERT INTO SYSTEM (ID, REFBOOK, VARIABLE, VALUE) VALUES (900, 'SYSTEM', 'LOGIN', 'TRUE')");
        window.goToLibrary();
        QTRY_VERIFY(url().endsWith("/engine/dizionario.html?idbook=voc&voce=casa&tutti=1"));
        QCOMPARE(window.statusBar()->currentMessage(), QString());
        QTRY_COMPARE(window.webView->page()->mainFrame()->evaluateJavaScript("document.getElementById('q').value"),
            QVariant("casa"));
        QCOMPARE(AppSettings().lastBook(), QString());

        const QString program = qEnvironmentVariable("VOCALUME_BINARY_DIR") + "/vocalume";
        QCOMPARE(QProcess::execute(program, { "--cerca", "casale" }), 0);
        QTRY_VERIFY(url().endsWith("voce=casale&tutti=1"));

        window.bridge->loadUrl("dizionario.html?idbook=voc");
        QCOMPARE(AppSettings().lastBook(), QStringLiteral("voc"));
        QGuiApplication::clipboard()->setText(" «casato»\n");
        lookup.request(RunningInstance::selectionVerb(), QString());
        QTRY_VERIFY(url().endsWith("/engine/dizionario.html?idbook=voc&voce=casato"));
    }
};

VOCALUME_TEST_MAIN(TestDesktopLookup)
#include "tst_desktoplookup.moc"
