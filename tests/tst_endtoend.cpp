// The whole program against the reference store service, driven through its real pages as a user does.
#include "app/dialogs.h"
#include "app/mainwindow.h"
#include "base/appsettings.h"
#include "base/processexit.h"
#include "tests/support/dictdfiles.h"
#include "tests/support/storeserviceprocess.h"
#include "tools/packagebuilder/dictdimporter.h"
#include "tools/packagebuilder/dictionarybuilder.h"
#include "tools/packagebuilder/dictionarysource.h"
#include "tests/support/testsupport.h"
#include "web/customagentwebview.h"
#include "web/qtjavascriptinteraction.h"

#include <QApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QKeyEvent>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QWebFrame>
#include <QWebPage>

class TestEndToEnd : public QObject
{
    Q_OBJECT
private:
    QTemporaryDir packages;
    QScopedPointer<RunningService> service;
    QScopedPointer<MainWindow> window;
    int exitCode = -1;

    QVariant js(const QString& script) { return window->webView->page()->mainFrame()->evaluateJavaScript(script); }
    QString url() const { return window->webView->page()->mainFrame()->url().toString(); }

    // From the library: downloads and installs the dictionary, then opens its page.
    void installAndOpen(const QString& sku)
    {
        click(sku, "download");
        QTRY_VERIFY2_WITH_TIMEOUT(TestSupport::storeValue(sku, "STATUS") == QStringLiteral("1"),
                                  qPrintable(TestSupport::recorded().dialogs.join('\n')), 30000);
        click(sku, "open");
        QTRY_VERIFY(url().contains("/engine/dizionario.html"));
    }

    // As a user does: types a word and presses the search button.
    void searchFor(const QString& word)
    {
        js(QStringLiteral("document.getElementById('q').value = '%1';"
                          "document.querySelector('#search-form button[type=submit]').click();").arg(word));
    }

    // A dictionary filled by `fill`, packaged as the store serves it.
    bool buildPackage(const QString& sku, const std::function<bool(DictionaryBuilder&)>& fill)
    {
        QTemporaryDir book;
        DictionaryBuilder builder;
        return builder.open(book.path()) && fill(builder) && builder.finish()
            && DictionaryBuilder::writePackage(book.path(), packages.filePath(sku + ".zip"));
    }

    // What `selector` matches, as "a|b", each read by the expression `of` on `e`.
    QString joined(const QString& selector, const QString& of = "e.textContent")
    {
        return js("Array.prototype.map.call(document.querySelectorAll('" + selector + "'), function (e) { return " + of
                  + "; }).join('|')").toString();
    }

    // Searches as a user does and opens the first word found, which must show `shows`.
    void readFirstFound(const QString& word, const QString& shows)
    {
        searchFor(word);
        QTRY_VERIFY(joined("#results").contains(word));
        js("document.querySelector('#results .item').click()");
        QTRY_VERIFY2(joined("#reader").contains(shows), qPrintable(word));
    }

    // The library's button for `action` on `sku`.
    QString button(const QString& sku, const QString& action)
    {
        return QStringLiteral("document.querySelector('[data-sku=\"%1\"] [data-action=\"%2\"]')").arg(sku, action);
    }
    bool offers(const QString& sku, const QString& action) { return js(button(sku, action) + " !== null").toBool(); }

    void click(const QString& sku, const QString& action)
    {
        QTRY_VERIFY_WITH_TIMEOUT(offers(sku, action), 15000);
        js(button(sku, action) + ".click()");
    }

    // The page's open dialog: its text, and a click on its button labelled `label`.
    QString dialog() { return js("var d = document.querySelector('.dialog .dialog-text'); d ? d.textContent : ''").toString(); }
    void press(const QString& label)
    {
        js("Array.prototype.filter.call(document.querySelectorAll('.dialog button'), function (b) {"
           " return b.textContent === '" + label + "'; })[0].click()");
    }

private slots:
    void initTestCase()
    {
        const QString tsv = qEnvironmentVariable("VOCALUME_SOURCE_DIR") + "/tools/packagebuilder/demo/italiano.tsv";
        QVERIFY(buildPackage("ZDEMO001", [&](DictionaryBuilder& builder) {
            return DictionarySource().read(tsv, "it", [&](const DictionaryEntry& e) { return builder.add(e); });
        }));
        // An imported open dictionary, filled with random entries to the size a real package must have.
        QList<QPair<QStringList, QString>> articles = DictdFiles::sampleArticles();
        // A homograph: "bark" is also a tree's.
        articles << qMakePair(QStringList { "bark" }, QStringLiteral("bark\n    n 1: the outer covering of a tree\n"));
        for (int i = 0; i < 100; ++i) {
            const QString headword = QStringLiteral("filler%1").arg(i);
            articles << qMakePair(QStringList { headword },
                headword + "\n  " + QString::fromLatin1(TestSupport::noise(100, uint(i)).toHex()));
        }
        QTemporaryDir source;
        const QString dictd = DictdFiles::writeDictd(source.path(), articles);
        QVERIFY(buildPackage("ZOPEN003", [&](DictionaryBuilder& builder) {
            return DictdImporter().import(dictd, "en", nullptr, builder);
        }));
        service.reset(new RunningService);
        if (!service->start(packages.path()))
            QSKIP("the reference store service is not built");
        ServiceEndpoint::setStoreHost(QStringLiteral("127.0.0.1"));
        exitCode = -1;
        ProcessExit::setHandler([this](int code) { exitCode = code; });
        window.reset(new MainWindow);
    }

    // Sign in, install, read and search two dictionaries, write a note; every way the account's data
    // goes first saves the notes and removes nothing until the user has read where (unsaved: nothing).
    void signInReadAndLeave()
    {
        QTRY_VERIFY(url().endsWith("/engine/login.html"));
        // The form answers only once the page's script, which waits for its style sheet, has run.
        QTRY_VERIFY_WITH_TIMEOUT(js("typeof onLogin === 'function'").toBool(), 30000);
        js("document.getElementById('username').value = 'demo'; document.getElementById('password').value = 'demo';"
           "document.getElementById('login-submit').click();");
        QTRY_VERIFY_WITH_TIMEOUT(url().endsWith("/engine/libreria.html"), 30000);
        QTRY_COMPARE(js("document.querySelectorAll('.book').length").toInt(), 4);
        QVERIFY(offers("ZDEMO002", "download") && offers("ZDEMO003", "purchase") && !offers("ZDEMO003", "download"));
        // The covers arrive after the library shows, and the page then draws them.
        QTRY_COMPARE(js("document.querySelectorAll('.book img').length").toInt(), 4);
        const QString engine = TestSupport::dataDirectory() + "/engine/";

        installAndOpen("ZDEMO001");
        QVERIFY(QFile::exists(engine + "books/ZDEMO001/database.db") && !QFile::exists(engine + "books/ZDEMO001.zip"));
        QTRY_COMPARE(joined("#dict-title"), QStringLiteral("Dizionario di Italiano"));
        readFirstFound("acqua", "Liquido incolore");
        QVERIFY(!js("document.getElementById('entry-view').hidden").toBool());
        js("document.getElementById('back').click()");
        QTRY_VERIFY(url().endsWith("/engine/libreria.html"));
        installAndOpen("ZOPEN003");
        // The imported dictionary's index is listed once the page knows its language.
        QTRY_VERIFY(joined("#words").contains("Canis"));
        // Looked up in every dictionary: one section per dictionary that has it, numbered homographs.
        js("document.getElementById('all-books').click()");
        const struct {
            const char* word;
            const char* sections;
            const char* headings;
            const char* shows;
            const char* found;
        } rows[] = {
            { "bark", "", "bark1|bark2", "the sound made by a dog", "bark|bark" },
            { "acqua", "Dizionario di Italiano", "", "Liquido incolore", "acqua" },
        };
        for (const auto& row : rows) {
            searchFor(row.word);
            QTRY_VERIFY2(joined("#entry").contains(row.shows), row.word);
            QTRY_COMPARE(joined("#entry .sezione"), QString(row.sections));
            QCOMPARE(joined("#entry .blocco-testa", "e.querySelector('.w').textContent + e.querySelector('sup').textContent"),
                     QString(row.headings));
            QCOMPARE(joined("#results .item .w"), QString(row.found));
        }

        // Found by another name its index gives an entry, its cross-reference opens the other entry.
        js("document.getElementById('all-books').click()");
        readFirstFound("hound", "A quadruped of the genus");
        js("Array.prototype.filter.call(document.querySelectorAll('#reader a'), "
           "function (a) { return a.textContent === 'bark'; })[0].click()");
        QTRY_VERIFY(joined("#reader").contains("the sound made by a dog"));

        js("document.getElementById('back').click()");
        QTRY_VERIFY(url().endsWith("/engine/libreria.html"));
        QTRY_COMPARE(js("document.querySelectorAll('.book').length").toInt(), 4);
        js("Vocalume.store.ensurePageTables(function () { Vocalume.store.insert('NOTE', 'ZDEMO001', 'IT01|a.html|acqua',"
           " 'Da ripassare', function (e) { window.noted = e || 'ok'; }); })");
        QTRY_COMPARE(js("String(window.noted)").toString(), QStringLiteral("ok"));
        // The reset's question (as "text|default button") answered export first, then Ok, then No.
        const QString documents = QDir::homePath() + "/Documents";
        const QString exported = documents + "/appunti-vocalume-demo-" + QDate::currentDate().toString("yyyy-MM-dd") + ".json";
        QStringList boxes;
        const QList<int> answers { QMessageBox::Save, QMessageBox::Ok, QMessageBox::No };
        Dialogs::setHandler([&](Dialogs::Kind, const QString&, const QString& text, QDialog* box) {
            auto* question = qobject_cast<QMessageBox*>(box);
            boxes << text + "|" + (question ? question->defaultButton()->text() : QString());
            return answers.value(boxes.size() - 1, QMessageBox::Ok);
        });
        QKeyEvent ctrlR(QEvent::KeyPress, Qt::Key_R, Qt::ControlModifier);
        QApplication::sendEvent(window.data(), &ctrlR);
        QVERIFY2(boxes.value(0).endsWith("|No") && boxes.value(1).contains(exported) && boxes.value(2) == boxes.value(0),
                 qPrintable(boxes.join('\n')));
        // Each row names its dictionary and entry for a reader, beside the keys an import reads.
        const QJsonObject note = QJsonDocument::fromJson(TestSupport::readFile(exported))
                                     .object().value("tabelle").toObject().value("NOTE").toArray().at(0).toObject();
        QCOMPARE(QStringList({ note.value("NOTE").toString(), note.value("DIZIONARIO").toString(), note.value("VOCE").toString() }),
                 QStringList({ "Da ripassare", "Dizionario di Italiano", "acqua" }));
        // The page's sign-out question says of the notes what the reset's question says.
        js("document.getElementById('logout').click()");
        const QString notesSentence = boxes.value(0).section("\n\n", 1).section('|', 0, 0);
        QVERIFY2(!notesSentence.isEmpty() && dialog().contains(notesSentence), qPrintable(dialog()));
        press("Annulla");

        // Access denied while the notes cannot be saved: nothing goes.
        QVERIFY(QDir(documents).removeRecursively() && TestSupport::writeFile(documents, "a file in the way"));
        service.reset(new RunningService);
        QVERIFY(service->start(packages.path(), { "--deny" }));
        js("document.getElementById('sync').click()");
        QTRY_VERIFY_WITH_TIMEOUT(dialog().startsWith("Accesso negato!"), 30000);
        QVERIFY2(dialog().contains("Nessun dato è stato rimosso"), qPrintable(dialog()));
        press("OK");
        // The Ok waits for the page's writes before it: once they have ended, it would have signed out.
        js("Vocalume.store.afterWrites(function () { window.settled = true; })");
        QTRY_VERIFY(js("window.settled === true").toBool());
        // Told once: the next page does not bring the dialog back.
        QSignalSpy loads(window->webView, &QWebView::loadFinished);
        window->bridge->loadUrl("libreria.html");
        QTRY_COMPARE(loads.count(), 1);
        QCOMPARE(dialog(), QString());
        QVERIFY(QFile::exists(TestSupport::dataDirectory()) && AppSettings().username() == "demo" && exitCode == -1);

        // Denied again at the next start, the notes saved: only the dialog's Ok removes the data.
        QVERIFY(QFile::remove(documents) && QDir().mkpath(documents));
        window.reset(new MainWindow);
        QTRY_VERIFY_WITH_TIMEOUT(dialog().startsWith("Accesso negato!"), 30000);
        QVERIFY2(dialog().contains(exported), qPrintable(dialog()));
        QVERIFY(QFile::exists(TestSupport::dataDirectory() + "/file__0/bookmarks.db") && exitCode == -1);
        // A note saved while the dialog waited (behind the note's editor) is in the file the data
        // leaves behind.
        js("Vocalume.store.insert('NOTE', 'ZDEMO001', 'IT02|a.html|albero', 'Scritta dopo il rifiuto',"
           " function (e) { window.late = e || 'ok'; })");
        press("OK");
        QTRY_COMPARE(exitCode, 0);
        QCOMPARE(js("String(window.late)").toString(), QStringLiteral("ok"));
        QVERIFY(!QFile::exists(TestSupport::dataDirectory()) && AppSettings().username().isEmpty());
        QVERIFY(TestSupport::readFile(exported).contains("Da ripassare"));
        QVERIFY(TestSupport::readFile(exported).contains("Scritta dopo il rifiuto"));
    }
};

VOCALUME_TEST_MAIN(TestEndToEnd)
#include "tst_endtoend.moc"
