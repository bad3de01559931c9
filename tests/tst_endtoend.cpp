// The whole program against the reference store service: the real login page, the real library
// page, acting as a user does by filling in the form and pressing its button.
#include "app/mainwindow.h"
#include "tests/support/dictdfiles.h"
#include "tests/support/runningservice.h"
#include "tools/packagebuilder/dictdimporter.h"
#include "tools/packagebuilder/dictionarybuilder.h"
#include "tools/packagebuilder/dictionarysource.h"
#include "tests/support/testsupport.h"
#include "web/customagentwebview.h"

#include <QApplication>
#include <QImage>
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

    QVariant js(const QString& script) { return window->webView->page()->mainFrame()->evaluateJavaScript(script); }
    QString url() const { return window->webView->page()->mainFrame()->url().toString(); }

    void signInWith(const QString& user, const QString& password)
    {
        QTRY_VERIFY(url().endsWith(QStringLiteral("/engine/login.html")));
        // The page's script runs only once its style sheet is in, which can be well after the
        // address changed: the form answers "Accedi" once the script has defined its callback.
        QTRY_VERIFY_WITH_TIMEOUT(js(QStringLiteral("typeof onLogin === 'function'")).toBool(), 30000);
        js(QStringLiteral("document.getElementById('username').value = '%1';"
                          "document.getElementById('password').value = '%2';"
                          "document.getElementById('login-submit').click();")
               .arg(user, password));
    }

    QString login() { return TestSupport::storeValue(QStringLiteral("SYSTEM"), QStringLiteral("LOGIN")); }

    // The demo Italian dictionary, packaged as the store serves it.
    bool buildDemoPackage(const QString& sku)
    {
        QTemporaryDir book;
        DictionaryBuilder builder;
        DictionarySource source;
        const QString tsv = qEnvironmentVariable("VOCALUME_SOURCE_DIR") + QStringLiteral("/tools/packagebuilder/demo/italiano.tsv");
        return builder.open(book.path())
            && source.read(tsv, QStringLiteral("it"), [&](const DictionaryEntry& e) { return builder.add(e); })
            && builder.finish()
            && DictionaryBuilder::writePackage(book.path(), packages.filePath(sku + QStringLiteral(".zip")));
    }

    // Sets a field's text as typing does: the page hears an input event.
    void typeInto(const QString& id, const QString& text)
    {
        js(QStringLiteral("var f = document.getElementById('%1'); f.value = '%2';"
                          "var e = document.createEvent('Event'); e.initEvent('input', true, true); f.dispatchEvent(e);")
               .arg(id, text));
    }

    QString entryText() { return js(QStringLiteral("document.getElementById('entry').textContent")).toString(); }

    QStringList resultWords()
    {
        return js(QStringLiteral("Array.prototype.map.call(document.querySelectorAll('#results .item .w'),"
                                 " function (w) { return w.textContent; }).join('|')"))
            .toString()
            .split(QLatin1Char('|'), Qt::SkipEmptyParts);
    }

    void click(const QString& sku, const QString& action)
    {
        const QString selector = QStringLiteral("[data-sku=\"%1\"] [data-action=\"%2\"]").arg(sku, action);
        QTRY_VERIFY(js(QStringLiteral("document.querySelector('%1') !== null").arg(selector)).toBool());
        js(QStringLiteral("document.querySelector('%1').click()").arg(selector));
    }

private slots:
    void initTestCase() { QVERIFY(buildDemoPackage(QStringLiteral("ZDEMO001"))); }

    void init()
    {
        TestSupport::resetHome();
        service.reset(new RunningService);
        if (!service->start(packages.path()))
            QSKIP("the reference store service is not built");
        ServiceEndpoint::setStoreHost(QStringLiteral("127.0.0.1"));
        window = new MainWindow;
    }

    void cleanup()
    {
        delete window;
        window = nullptr;
        service.reset();
    }

    void signInShowsTheAccountsLibrary()
    {
        signInWith(QStringLiteral("demo"), QStringLiteral("demo"));
        QTRY_VERIFY_WITH_TIMEOUT(url().endsWith(QStringLiteral("/engine/libreria.html")), 30000);
        QTRY_COMPARE(js(QStringLiteral("document.querySelectorAll('.book').length")).toInt(), 3);
        QCOMPARE(login(), QStringLiteral("TRUE"));
        const QString text = js(QStringLiteral("document.body.textContent")).toString();
        QVERIFY(text.contains(QStringLiteral("Dizionario di Italiano")));
        QCOMPARE(js(QStringLiteral("document.querySelector('[data-sku=\"ZDEMO001\"] [data-action=\"download\"]') !== null")),
                 QVariant(true));
        QCOMPARE(js(QStringLiteral("document.querySelector('[data-sku=\"ZDEMO002\"] [data-action=\"download\"]') !== null")),
                 QVariant(true));
        QCOMPARE(js(QStringLiteral("document.querySelector('[data-sku=\"ZDEMO003\"] [data-action=\"purchase\"]') !== null")),
                 QVariant(true));
        QCOMPARE(js(QStringLiteral("document.querySelector('[data-sku=\"ZDEMO003\"] [data-action=\"download\"]') === null")),
                 QVariant(true));
        for (const char* sku : {"ZDEMO001", "ZDEMO002", "ZDEMO003"}) {
            const QImage cover(TestSupport::dataDirectory() + QStringLiteral("/engine/covers/%1.png").arg(sku));
            QCOMPARE(cover.size(), QSize(115, 170));
        }
        // The page shows the cached covers, not placeholders.
        QTRY_COMPARE(js(QStringLiteral("document.querySelectorAll('.book img').length")).toInt(), 3);
    }

    void downloadOpenAndSearchADictionary()
    {
        signInWith(QStringLiteral("demo"), QStringLiteral("demo"));
        QTRY_VERIFY_WITH_TIMEOUT(url().endsWith(QStringLiteral("/engine/libreria.html")), 30000);
        click(QStringLiteral("ZDEMO001"), QStringLiteral("download"));
        QTRY_COMPARE_WITH_TIMEOUT(TestSupport::storeValue(QStringLiteral("ZDEMO001"), QStringLiteral("STATUS")),
                                  QStringLiteral("1"), 30000);
        QVERIFY(QFile::exists(TestSupport::dataDirectory() + QStringLiteral("/engine/books/ZDEMO001/database.db")));
        QVERIFY(!QFile::exists(TestSupport::dataDirectory() + QStringLiteral("/engine/books/ZDEMO001.zip")));

        click(QStringLiteral("ZDEMO001"), QStringLiteral("open"));
        QTRY_VERIFY(url().contains(QStringLiteral("/engine/dizionario.html")));
        QTRY_COMPARE(js(QStringLiteral("document.getElementById('dict-title').textContent")).toString(),
                     QStringLiteral("Dizionario di Italiano"));
        // As a user does: type a word and press the search button.
        js(QStringLiteral("document.getElementById('q').value = 'acqua';"
                          "document.querySelector('#search-form button[type=submit]').click();"));
        QTRY_VERIFY(js(QStringLiteral("document.getElementById('results').textContent")).toString().contains(QStringLiteral("acqua")));
        js(QStringLiteral("document.querySelector('#results li[data-index], #results li a, #results li button, #results li').click()"));
        QTRY_VERIFY(js(QStringLiteral("document.getElementById('entry-view').hidden")).toBool() == false);
        QTRY_VERIFY(js(QStringLiteral("document.getElementById('reader').textContent")).toString().contains(QStringLiteral("Liquido incolore")));

        // Looked up as it is typed, an inflected form opening its lemma.
        typeInto(QStringLiteral("q"), QStringLiteral("vado"));
        QTRY_VERIFY(entryText().contains(QStringLiteral("Muoversi da un luogo")));
        QCOMPARE(resultWords().value(0), QStringLiteral("andare"));

        // Full text, then a scope: each choice answers at once for the word in the box.
        typeInto(QStringLiteral("q"), QStringLiteral("acqua"));
        QTRY_COMPARE(resultWords().value(0), QStringLiteral("acqua"));
        js(QStringLiteral("document.getElementsByName('mode')[1].click()"));
        QTRY_COMPARE(resultWords(), QStringList({"acqua", "fiume", "lago", "mare", "nuotare", "pane", "pasta"}));
        js(QStringLiteral("var s = document.getElementById('scope');"
                          "for (var i = 0; i < s.options.length; i++) if (s.options[i].text === 'Geografia') s.value = s.options[i].value;"
                          "var e = document.createEvent('Event'); e.initEvent('change', true, true); s.dispatchEvent(e);"));
        QTRY_COMPARE(resultWords(), QStringList({"fiume", "lago", "mare"}));
        QTRY_VERIFY(entryText().contains(QStringLiteral("acqua")));
        QVERIFY(js(QStringLiteral("document.querySelectorAll('#entry mark.hit').length")).toInt() > 0);
    }

    // An open dictionary imported from dictd data, as the demo catalog offers it once its package
    // is built: found by an inflected form, its entry page's cross-reference opens the other entry.
    void crossReferenceOfAnImportedDictionaryOpensTheEntry()
    {
        QTemporaryDir source;
        QTemporaryDir book;
        QTemporaryDir openPackages;
        DictionaryBuilder builder;
        DictdImporter importer;
        QVERIFY(builder.open(book.path()));
        // Entries of random text make the package as large as a real one must be to be accepted.
        QList<QPair<QStringList, QString>> articles = DictdFiles::sampleArticles();
        for (int i = 0; i < 100; ++i) {
            const QString headword = QStringLiteral("filler%1").arg(i);
            articles << qMakePair(QStringList { headword },
                headword + QStringLiteral("\n  ") + QString::fromLatin1(TestSupport::noise(100, uint(i)).toHex()));
        }
        QVERIFY(importer.import(DictdFiles::writeDictd(source.path(), articles), QStringLiteral("en"), nullptr, builder));
        QVERIFY(builder.finish());
        QVERIFY(DictionaryBuilder::writePackage(book.path(), openPackages.filePath(QStringLiteral("ZOPEN003.zip"))));
        // A window of its own on a service of its own, so that no request is left with the other.
        delete window;
        window = nullptr;
        service.reset(new RunningService);
        QVERIFY(service->start(openPackages.path()));
        window = new MainWindow;

        signInWith(QStringLiteral("demo"), QStringLiteral("demo"));
        QTRY_VERIFY_WITH_TIMEOUT(url().endsWith(QStringLiteral("/engine/libreria.html")), 30000);
        click(QStringLiteral("ZOPEN003"), QStringLiteral("download"));
        QTRY_COMPARE_WITH_TIMEOUT(TestSupport::storeValue(QStringLiteral("ZOPEN003"), QStringLiteral("STATUS")),
            QStringLiteral("1"), 30000);
        click(QStringLiteral("ZOPEN003"), QStringLiteral("open"));
        QTRY_VERIFY(url().contains(QStringLiteral("/engine/dizionario.html")));
        // The index is listed once the page knows the dictionary's language.
        QTRY_VERIFY(js(QStringLiteral("document.getElementById('words').textContent")).toString().contains("Canis"));

        js(QStringLiteral("document.getElementById('q').value = 'hound';"
                          "document.querySelector('#search-form button[type=submit]').click();"));
        QTRY_VERIFY(js(QStringLiteral("document.getElementById('results').textContent")).toString().contains("Dog"));
        js(QStringLiteral("document.querySelector('#results .item').click()"));
        const QString reader = QStringLiteral("document.getElementById('reader').textContent");
        QTRY_VERIFY(js(reader).toString().contains(QStringLiteral("A quadruped of the genus")));
        js(QStringLiteral("Array.prototype.filter.call(document.querySelectorAll('#reader a'), "
                          "function (a) { return a.textContent === 'bark'; })[0].click()"));
        QTRY_VERIFY(js(reader).toString().contains(QStringLiteral("the sound made by a dog")));
    }

    void wrongPasswordIsRefusedOnThePage()
    {
        signInWith(QStringLiteral("demo"), QStringLiteral("sbagliata"));
        QTRY_VERIFY(!js(QStringLiteral("document.getElementById('login-error').hidden")).toBool());
        QCOMPARE(js(QStringLiteral("document.getElementById('login-error').textContent")).toString(),
                 QStringLiteral("Impossibile eseguire l'accesso. Controlla i dati inseriti oppure effettua la registrazione."));
        QCOMPARE(login(), QStringLiteral("FALSE"));
        QVERIFY(url().endsWith(QStringLiteral("/engine/login.html")));
    }
};

VOCALUME_TEST_MAIN(TestEndToEnd)
#include "tst_endtoend.moc"
