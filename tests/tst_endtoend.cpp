// The whole program against the reference store service: the real login page, the real library
// page, acting as a user does by filling in the form and pressing its button.
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
#include "web/pageservices.h"

#include <QApplication>
#include <QImage>
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
    MainWindow* window = nullptr;
    int exitCode = -1;

    QVariant js(const QString& script) { return window->webView->page()->mainFrame()->evaluateJavaScript(script); }
    QString url() const { return window->webView->page()->mainFrame()->url().toString(); }

    void signInWith(const QString& user, const QString& password)
    {
        QTRY_VERIFY(url().endsWith("/engine/login.html"));
        // The page's script runs only once its style sheet is in, which can be well after the
        // address changed: the form answers "Accedi" once the script has defined its callback.
        QTRY_VERIFY_WITH_TIMEOUT(js("typeof onLogin === 'function'").toBool(), 30000);
        js(QStringLiteral("document.getElementById('username').value = '%1';"
                          "document.getElementById('password').value = '%2';"
                          "document.getElementById('login-submit').click();")
               .arg(user, password));
    }

    void signInToTheLibrary()
    {
        signInWith("demo", "demo");
        QTRY_VERIFY_WITH_TIMEOUT(url().endsWith("/engine/libreria.html"), 30000);
    }

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

    QString text(const QString& id) { return js("document.getElementById('" + id + "').textContent").toString(); }

    // A dictionary filled by `fill`, packaged as the store serves it.
    bool buildPackage(const QString& sku, const std::function<bool(DictionaryBuilder&)>& fill)
    {
        QTemporaryDir book;
        DictionaryBuilder builder;
        return builder.open(book.path()) && fill(builder) && builder.finish()
            && DictionaryBuilder::writePackage(book.path(), packages.filePath(sku + ".zip"));
    }

    // Sets a field's text as typing does: the page hears an input event.
    void typeInto(const QString& id, const QString& text)
    {
        js(QStringLiteral("var f = document.getElementById('%1'); f.value = '%2';"
                          "var e = document.createEvent('Event'); e.initEvent('input', true, true); f.dispatchEvent(e);")
               .arg(id, text));
    }

    QStringList resultWords()
    {
        return js(QStringLiteral("Array.prototype.map.call(document.querySelectorAll('#results .item .w'),"
                                 " function (w) { return w.textContent; }).join('|')"))
            .toString()
            .split(QLatin1Char('|'), Qt::SkipEmptyParts);
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
        // An open dictionary imported from dictd data, as the demo catalog offers it once its package
        // is built; entries of random text make it as large as a real package must be to be accepted.
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
    }

    void init()
    {
        TestSupport::resetHome();
        service.reset(new RunningService);
        if (!service->start(packages.path()))
            QSKIP("the reference store service is not built");
        ServiceEndpoint::setStoreHost(QStringLiteral("127.0.0.1"));
        exitCode = -1;
        ProcessExit::setHandler([this](int code) { exitCode = code; });
        window = new MainWindow;
    }

    void cleanup()
    {
        delete window;
        window = nullptr;
        service.reset();
    }

    // A wrong password first: refused on the page, the user tries again. Then the library, a
    // dictionary installed, opened and searched, and an imported one beside it.
    void signInDownloadOpenAndSearchDictionaries()
    {
        signInWith("demo", "sbagliata");
        QTRY_VERIFY(!js("document.getElementById('login-error').hidden").toBool());
        QCOMPARE(text("login-error"),
                 QStringLiteral("Impossibile eseguire l'accesso. Controlla i dati inseriti oppure effettua la registrazione."));
        QCOMPARE(TestSupport::storeValue("SYSTEM", "LOGIN"), QStringLiteral("FALSE"));
        QVERIFY(url().endsWith("/engine/login.html"));
        signInToTheLibrary();
        QTRY_COMPARE(js("document.querySelectorAll('.book').length").toInt(), 4);
        QCOMPARE(TestSupport::storeValue("SYSTEM", "LOGIN"), QStringLiteral("TRUE"));
        QVERIFY(js("document.body.textContent").toString().contains("Dizionario di Italiano"));
        QVERIFY(offers("ZDEMO002", "download") && offers("ZDEMO003", "purchase") && !offers("ZDEMO003", "download"));
        const QString engine = TestSupport::dataDirectory() + "/engine/";
        // The covers arrive after the library shows, and the page then draws them.
        for (const char* sku : { "ZDEMO001", "ZDEMO002", "ZDEMO003" })
            QTRY_COMPARE(QImage(engine + "covers/" + sku + ".png").size(), QSize(115, 170));
        QTRY_COMPARE(js("document.querySelectorAll('.book img').length").toInt(), 4);

        installAndOpen("ZDEMO001");
        QVERIFY(QFile::exists(engine + "books/ZDEMO001/database.db") && !QFile::exists(engine + "books/ZDEMO001.zip"));
        QTRY_COMPARE(text("dict-title"), QStringLiteral("Dizionario di Italiano"));
        searchFor("acqua");
        QTRY_VERIFY(text("results").contains("acqua"));
        js("document.querySelector('#results .item').click()");
        QTRY_VERIFY(js("document.getElementById('entry-view').hidden").toBool() == false);
        QTRY_VERIFY(text("reader").contains("Liquido incolore"));

        // Looked up as it is typed, an inflected form opening its lemma.
        typeInto("q", "vado");
        QTRY_VERIFY(text("entry").contains("Muoversi da un luogo"));
        QCOMPARE(resultWords().value(0), QStringLiteral("andare"));

        // Full text, then a scope: each choice answers at once for the word in the box.
        typeInto("q", "acqua");
        QTRY_COMPARE(resultWords().value(0), QStringLiteral("acqua"));
        js("document.getElementsByName('mode')[1].click()");
        QTRY_COMPARE(resultWords(), QStringList({"acqua", "fiume", "lago", "mare", "nuotare", "pane", "pasta"}));
        js("var s = document.getElementById('scope');"
           "for (var i = 0; i < s.options.length; i++) if (s.options[i].text === 'Geografia') s.value = s.options[i].value;"
           "var e = document.createEvent('Event'); e.initEvent('change', true, true); s.dispatchEvent(e);");
        QTRY_COMPARE(resultWords(), QStringList({"fiume", "lago", "mare"}));
        QTRY_VERIFY(text("entry").contains("acqua"));
        QVERIFY(js("document.querySelectorAll('#entry mark.hit').length").toInt() > 0);

        js("document.getElementById('back').click()");
        QTRY_VERIFY(url().endsWith("/engine/libreria.html"));
        installAndOpen("ZOPEN003");
        // The imported dictionary's index is listed once the page knows its language.
        QTRY_VERIFY(text("words").contains("Canis"));
        // Words looked up as a user does, and what the page must show: the sections of the word's
        // page (by dictionary), the headings of its entries, a text of its first one, and the list.
        const QString texts = "Array.prototype.map.call(document.querySelectorAll('%1'), function (e) { return e.textContent; }).join('|')";
        const struct {
            const char* word;
            bool everywhere;
            const char* sections;
            const char* headings;
            const char* shows;
            const char* results;
        } rows[] = {
            { "bark", false, "", "bark1|bark2", "the sound made by a dog", "bark|bark" },
            { "hound", false, "", "", "A quadruped of the genus", "hound" },
            { "bark", true, "", "bark1|bark2", "the sound made by a dog", "bark|bark" },
            { "acqua", true, "Dizionario di Italiano", "", "Liquido incolore", "acqua" },
        };
        for (const auto& row : rows) {
            if (js("document.getElementById('all-books').checked").toBool() != row.everywhere)
                js("document.getElementById('all-books').click()");
            searchFor(row.word);
            QTRY_VERIFY2(text("entry").contains(row.shows), row.word);
            QTRY_COMPARE(js(texts.arg("#entry .sezione")).toString(), QString(row.sections));
            QCOMPARE(js("Array.prototype.map.call(document.querySelectorAll('#entry .blocco-testa'), function (h) {"
                        " return h.querySelector('.w').textContent + h.querySelector('sup').textContent; }).join('|')")
                         .toString(),
                     QString(row.headings));
            QCOMPARE(resultWords().join('|'), QString(row.results));
        }

        // Found by another name its index gives an entry, its cross-reference opens the other entry.
        js("document.getElementById('all-books').click()");
        searchFor("hound");
        QTRY_VERIFY(text("results").contains("hound"));
        js("document.querySelector('#results .item').click()");
        QTRY_VERIFY(text("reader").contains("A quadruped of the genus"));
        js("Array.prototype.filter.call(document.querySelectorAll('#reader a'), "
           "function (a) { return a.textContent === 'bark'; })[0].click()");
        QTRY_VERIFY(text("reader").contains("the sound made by a dog"));
    }

    // Every way the account's data goes first saves what the reader wrote into the documents
    // folder, and removes nothing until the user has read where.
    void dataRemovalKeepsTheNotes_data()
    {
        QTest::addColumn<QString>("way");
        QTest::addColumn<bool>("removed");
        QTest::newRow("access denied") << "denied" << true;
        QTest::newRow("access denied, documents folder not writable") << "denied" << false;
        QTest::newRow("access denied at the next start") << "denied at start" << true;
        QTest::newRow("reset") << "reset" << true;
        QTest::newRow("sign-out") << "sign-out" << true;
    }

    void dataRemovalKeepsTheNotes()
    {
        QFETCH(QString, way);
        QFETCH(bool, removed);
        const QString documents = QDir::homePath() + "/Documents";
        QVERIFY(removed ? QDir().mkpath(documents) : TestSupport::writeFile(documents, "a file in the way"));
        signInToTheLibrary();
        js("Vocalume.store.ensurePageTables(function () { Vocalume.store.insert('NOTE', 'ZDEMO001', 'IT01|a.html|acqua',"
           " 'Da ripassare', function (e) { window.noted = !e; }); })");
        QTRY_VERIFY(js("window.noted").toBool());
        const QString exported = documents + "/appunti-vocalume-" + (way == "sign-out" ? "" : "demo-")
            + QDate::currentDate().toString("yyyy-MM-dd") + ".json";
        // Boxes as "text|default button"; the reset's question is answered export first, then Ok.
        QStringList boxes;
        const QList<int> answers = way == "reset" ? QList<int> { QMessageBox::Save, QMessageBox::Ok, QMessageBox::Ok }
                                                  : QList<int> { QMessageBox::No };
        Dialogs::setHandler([&](Dialogs::Kind, const QString&, const QString& text, QDialog* box) {
            auto* question = qobject_cast<QMessageBox*>(box);
            boxes << text + "|" + (question ? question->defaultButton()->text() : QString());
            return answers.value(boxes.size() - 1, QMessageBox::Ok);
        });
        QKeyEvent ctrlR(QEvent::KeyPress, Qt::Key_R, Qt::ControlModifier);
        if (!way.startsWith("denied")) {
            QApplication::sendEvent(window, &ctrlR);
        } else {
            service.reset(new RunningService);
            QVERIFY(service->start(packages.path(), { "--deny" }));
            if (way == "denied at start") {
                delete window;
                window = new MainWindow;
            } else {
                js("document.getElementById('sync').click()");
            }
            QTRY_VERIFY_WITH_TIMEOUT(dialog().startsWith("Accesso negato!"), 30000);
            QVERIFY2(dialog().contains(removed ? exported : "Nessun dato è stato rimosso"), qPrintable(dialog()));
            QVERIFY(QFile::exists(TestSupport::dataDirectory() + "/file__0/bookmarks.db") && exitCode == -1);
            press("OK");
        }
        if (way == "sign-out") {
            // The page's question says of the notes what the reset's question says.
            js("document.getElementById('logout').click()");
            const QString notesSentence = boxes.value(0).section("\n\n", 1).section('|', 0, 0);
            QVERIFY2(!notesSentence.isEmpty() && dialog().contains(notesSentence), qPrintable(dialog()));
            PageServices::setFileChooser([&](bool, const QString& name) { return documents + "/" + QFileInfo(name).fileName(); });
            press("Esporta gli appunti");
            QTRY_VERIFY(dialog().startsWith("Appunti esportati nel file " + exported));
            press("OK");
            press("Esci");
            PageServices::setFileChooser(nullptr);
        }
        if (way == "reset")
            QVERIFY2(boxes.value(0).endsWith("|No") && boxes.value(1).contains(exported) && boxes.value(2) == boxes.value(0),
                     qPrintable(boxes.join('\n')));
        QTRY_COMPARE(exitCode, removed ? 0 : -1);
        QCOMPARE(QFile::exists(TestSupport::dataDirectory()), !removed);
        QCOMPARE(AppSettings().username(), removed ? QString() : QStringLiteral("demo"));
        const QJsonObject tables = QJsonDocument::fromJson(TestSupport::readFile(exported)).object().value("tabelle").toObject();
        // Each row names its dictionary and entry for a reader, beside the keys an import reads.
        const QJsonObject note = tables.value("NOTE").toArray().at(0).toObject();
        QCOMPARE(QStringList({ note.value("NOTE").toString(), note.value("DIZIONARIO").toString(), note.value("VOCE").toString() }),
                 removed ? QStringList({ "Da ripassare", "Dizionario di Italiano", "acqua" }) : QStringList({ "", "", "" }));
    }
};

VOCALUME_TEST_MAIN(TestEndToEnd)
#include "tst_endtoend.moc"
