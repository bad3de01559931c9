// The objects published beside the bridge: headwords as JSON, files the user picks, downloads under
// way; what leaves the program, with URL handlers standing in for the desktop (nothing launched).
#include "library/librarysync.h"
#include "packages/download.h"
#include "packages/downloadmanager.h"
#include "search/spellingsuggestions.h"
#include "services/serviceendpoint.h"
#include "tests/support/httptestserver.h"
#include "tests/support/searchrunner.h"
#include "tests/support/stubspeaker.h"
#include "tests/support/testdictionary.h"
#include "web/customagentwebview.h"
#include "web/downloadanswers.h"
#include "web/entryprint.h"
#include "web/externalactions.h"
#include "base/appsettings.h"
#include "web/pageservices.h"
#include "web/userfiles.h"
#include "web/qtjavascriptinteraction.h"
#include "web/resultliteral.h"
#include "web/scriptcall.h"
#include "web/searchanswers.h"
#include "web/webpage.h"

#include <QDesktopServices>
#include <QHostAddress>
#include <QTcpServer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QScopeGuard>
#include <QSqlDatabase>
#include <QUrl>
#include <QWebFrame>

using TestDictionary::entry;

namespace {
QStringList words(const QString& json)
{
    QStringList out;
    for (const QJsonValue& v : QJsonDocument::fromJson(json.toUtf8()).array())
        out << v.toObject().value("word").toString();
    return out;
}
}

class TestPageServices : public QObject {
    Q_OBJECT
public slots:
    void open(const QUrl& url) { opened << url.toString(QUrl::FullyEncoded); }

private:
    // The file the user picks in the next file dialog (none when empty), and the one offered.
    QString chosen;
    QString offered;
    QStringList opened; // what the desktop was asked to open

    static QVariantMap answer(const QString& json) { return QJsonDocument::fromJson(json.toUtf8()).object().toVariantMap(); }
    void desktopHandles(const char* method)
    {
        for (const char* scheme : { "mailto", "http", "https", "file" })
            QDesktopServices::setUrlHandler(scheme, this, method);
    }

private slots:
    void init()
    {
        TestDictionary::resetHome("à|è|ì|ò|ù", "a|e|i|o|u");
        ServiceEndpoint::setStoreHost("negozio.esempio");
        opened.clear();
        desktopHandles("open");
        UserFiles::setFileChooser([this](bool, const QString& suggested) {
            offered = suggested;
            return chosen;
        });
        QVERIFY(TestDictionary::install("voc",
            { entry("casa"), entry("Roma"), entry("andare"), entry("città"), entry("casale"), entry("po'"),
                entry("zucca"), entry("case", "n.", {}, {}, {}, "en") }));
    }

    // A chooser left by a test that failed half-way must not answer for the next one.
    void cleanup()
    {
        UserFiles::setFileChooser(nullptr);
        ServiceEndpoint::setCurrent(ServiceEndpoint::built());
    }

    // The page hears through the callback it names that the headwords are read, at once when they
    // already are; another dictionary takes over.
    void suggestionsAsJson()
    {
        PageServices services;
        QSignalSpy told(&services, &PageServices::pageStatement);
        services.prepareSuggestions("voc", "it", "onPronti");
        QCOMPARE(services.suggest("voc", "caza", "it"), QStringLiteral("null"));
        QTRY_COMPARE(told.count(), 1);
        QCOMPARE(told.at(0).at(0).toString(), QStringLiteral("SignalQt('onPronti', '{result:true}')"));
        QCOMPARE(services.suggest("voc", "caza", "it"), QStringLiteral("[\"casa\"]"));
        services.prepareSuggestions("voc", "it", "onDiNuovo");
        QCOMPARE(told.count(), 2);
        QCOMPARE(told.at(1).at(0).toString(), QStringLiteral("SignalQt('onDiNuovo', '{result:true}')"));
        services.prepareSuggestions("nessuno", "it", "onAltro");
        QTRY_COMPARE(told.count(), 3);
        QCOMPARE(told.at(2).at(0).toString(), QStringLiteral("SignalQt('onAltro', '{result:true}')"));
        QCOMPARE(services.suggest("nessuno", "caza", "it"), QStringLiteral("[]"));
        // Of every dictionary named, on a thread of its own; a headword's apostrophe cannot end the
        // statement.
        QTemporaryDir noSpelling;
        SpellingSuggestions::setSpellingFolder(noSpelling.path());
        services.suggestEverywhere("po", "[{\"sku\":\"voc\",\"lang\":\"it\"},{\"sku\":\"nessuno\",\"lang\":\"it\"}]",
            "onOvunque");
        QTRY_COMPARE(told.count(), 4);
        QCOMPARE(told.at(3).at(0).toString(), QStringLiteral("SignalQt('onOvunque', '{result:true,words:[\"po\\\\u0027\"]}')"));
    }

    // Where a word selected elsewhere opens, as the library page reads and sets it: the pop-up until
    // the main window is chosen; a choice the page does not know counts as the pop-up.
    void selectionLookupChoice()
    {
        PageServices services;
        QCOMPARE(services.selectionLookup(), QStringLiteral("finestrella"));
        for (const auto& [choice, kept] : { std::pair("finestra", "finestra"), { "finestrella", "finestrella" },
                                            { "finestra", "finestra" }, { "altro", "finestrella" } }) {
            services.setSelectionLookup(choice);
            QCOMPARE(services.selectionLookup(), QString(kept));
            QCOMPARE(AppSettings().selectionInPopup(), QString(kept) == "finestrella");
        }
    }

    // Every dictionary named searched at once, each in its language ("case" is an English headword
    // only), each answering its callback.
    void searchEachAnswersEveryCallback()
    {
        PageServices services;
        SearchAnswers searches;
        services.followSearches(&searches);
        QSignalSpy told(&searches, &SearchAnswers::pageStatement);
        services.searchEach("case", "0",
            "[{\"sku\":\"voc\",\"lang\":\"en\",\"callback\":\"a.en\"},{\"sku\":\"voc\",\"lang\":\"it\","
            "\"callback\":\"a.it\"}]",
            "1");
        QTRY_COMPARE(told.count(), 2);
        QStringList heard { told.at(0).at(0).toString(), told.at(1).at(0).toString() };
        heard.sort();
        QVERIFY2(heard.at(0).startsWith("SignalQt('a.en', '{tot:1,result: [{idzenta: \\'8\\', word: \\'case\\'"),
            qPrintable(heard.at(0)));
        QCOMPARE(heard.at(1), QStringLiteral("SignalQt('a.it', '{tot:0,result: [], isLemmatizzata:true}')"));
        // Each dictionary lists as many rows as the page asks for.
        services.searchEach("cas", "0", "[{\"sku\":\"voc\",\"lang\":\"it\",\"callback\":\"b.it\"}]", "2");
        QTRY_COMPARE(told.count(), 3);
        QCOMPARE(told.at(2).at(0).toString().count("idzenta"), 2);
    }

    // The page's "Ascolta" speaks in the language of the side of the dictionary it names, with the
    // voice of that language closest to it; a language no voice speaks, or nothing left to read
    // once the markup and the homograph's number are gone, reads nothing. The page hears the
    // languages the voices speak, each once, when they are known; a page asking later is answered
    // alone.
    void speaksInTheLanguageOfItsSide_data()
    {
        QTest::addColumn<QString>("voices");
        QTest::addColumn<bool>("slow");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("language");
        QTest::addColumn<QString>("said");
        QTest::addColumn<QString>("languages");
        const QString both = "it_IT en_GB en_US";
        QTest::newRow("Italian headword") << both << false << "casa" << "it" << "casa|it_IT" << "\"en\",\"it\"";
        QTest::newRow("English headword") << both << false << "church" << "en" << "church|en_US" << "\"en\",\"it\"";
        QTest::newRow("the only country of a language") << "it_CH en_GB" << false << "house" << "en" << "house|en_GB"
                                                          << "\"en\",\"it\"";
        QTest::newRow("homograph number and markup") << both << false << " <span class=\"w\">Church</span><sup>\u00b9</sup> "
                                                     << "en" << "Church|en_US" << "\"en\",\"it\"";
        QTest::newRow("example text") << both << false << "a  cup\nof tea" << "en" << "a cup of tea|en_US"
                                      << "\"en\",\"it\"";
        QTest::newRow("voices listed later") << both << true << "casa" << "it" << "casa|it_IT" << "\"en\",\"it\"";
        QTest::newRow("no voice for the language") << "it_IT" << false << "church" << "en" << "" << "\"it\"";
        QTest::newRow("no voice at all") << "" << false << "casa" << "it" << "" << "";
        QTest::newRow("no language named") << both << false << "casa" << "" << "" << "\"en\",\"it\"";
        QTest::newRow("nothing left to read") << both << false << "<sup>\u00b2</sup>" << "it" << "" << "\"en\",\"it\"";
    }

    void speaksInTheLanguageOfItsSide()
    {
        QFETCH(QString, voices);
        QFETCH(bool, slow);
        QFETCH(QString, text);
        QFETCH(QString, language);
        QFETCH(QString, said);
        QFETCH(QString, languages);
        StubSpeaker speaker(voices.split(' ', Qt::SkipEmptyParts), slow);
        PageServices services;
        services.useSpeaker(&speaker);
        QSignalSpy told(&services, &PageServices::pageStatement);
        services.prepareSpeech("onVoci");
        if (slow) {
            QCOMPARE(told.count(), 0);
            QVERIFY(!services.speak(text, language)); // no voice known yet
            speaker.knowLanguages();
        }
        QCOMPARE(told.count(), 1);
        QCOMPARE(told.at(0).at(0).toString(), "SignalQt('onVoci', '{result:true,languages:[" + languages + "]}')");
        services.prepareSpeech("onAltra"); // another page asks later: only it is answered
        QCOMPARE(told.count(), 2);
        QCOMPARE(services.speak(text, language), !said.isEmpty());
        QCOMPARE(speaker.said, said.isEmpty() ? QStringList() : QStringList { said });
    }

    // What the page hears of each kind of request, to the byte: a headword's apostrophe, a scope's
    // name and the end of each kind's literal.
    void searchAnswersOfThePage_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("sku");
        QTest::addColumn<QString>("word");
        QTest::addColumn<QString>("statement");
        QTest::newRow("entry") << "0" << "voc" << "po"
            << "SignalQt('cb', '{tot:1,result: [{idzenta: \\'6\\', word: \\'po&apos;\\', file: \\'voci0001.xhtml\\', "
               "omo: \\'\\', hw: \\'\\'}], isLemmatizzata:true}')";
        QTest::newRow("no dictionary") << "1" << "nessuno" << "po" << "SignalQt('cb', '{tot:0,result: [], isLemmatizzata:true}')";
        QTest::newRow("full text") << "2" << "ft" << "sole"
            << "SignalQt('cb', '{tot:1,result: [{idzenta: \\'1\\', word: \\'solare\\', file: \\'voci0001.xhtml\\', "
               "omo: \\'\\', hw: \\'\\'}], isLemmatizzata:false}')";
        QTest::newRow("word list") << "words" << "voc" << "CAS"
            << "SignalQt('cb', '{tot:2,result: [{idzenta: \\'1\\', word: \\'casa\\', file: \\'voci0001.xhtml\\', "
               "omo: \\'\\', hw: \\'\\'}]}')";
        QTest::newRow("scopes") << "scopes" << "ft" << ""
            << "SignalQt('cb', \"{tot:2, result:[{id:2, nome:'Arte dell\\\\u0027ombra'}, {id:1, nome:'Astronomia'}]}\")";
        QTest::newRow("scopes, no dictionary") << "scopes" << "nessuno" << "" << "SignalQt('cb', \"{tot:0, result:[]}\")";
    }

    void searchAnswersOfThePage()
    {
        QFETCH(QString, kind);
        QFETCH(QString, sku);
        QFETCH(QString, word);
        QFETCH(QString, statement);
        QVERIFY(TestDictionary::install("ft", { entry("solare", "", {}, { "sole" }, { "Astronomia" }),
                                                entry("ombra", "", {}, {}, { "Arte dell'ombra" }) }));
        QSqlDatabase::addDatabase("QSQLITE");
        SearchAnswers searches;
        QSignalSpy told(&searches, &SearchAnswers::pageStatement);
        if (kind == "scopes")
            searches.getScopes(sku, "cb");
        else if (kind == "words")
            searches.getWords({ word, "", "", sku, "0", "1", "it" }, "cb");
        else
            searches.search({ word, "", kind, sku, "0", "10", "it" }, "cb");
        QTRY_COMPARE(told.count(), 1);
        QCOMPARE(told.at(0).at(0).toString(), statement);
        QSqlDatabase::removeDatabase(QSqlDatabase::defaultConnection);
    }

    // What the page hears of the account's library, to the byte: the login callback's answers
    // (a failure's own words made safe), the box and the end of the wait of a failed
    // synchronisation.
    void libraryAnswersOfThePage_data()
    {
        QTest::addColumn<int>("answer"); // a SignIn::Answer; -1: a failed synchronisation
        QTest::addColumn<QString>("error");
        QTest::addColumn<QStringList>("statements");
        const auto login = [](const QString& literal) { return QStringList { "SignalQt('onLogin', '" + literal + "')" }; };
        QTest::newRow("accepted") << int(SignIn::Answer::Accepted) << "" << login("{result:true,error:\"\"}");
        QTest::newRow("refused") << int(SignIn::Answer::Refused) << ""
            << login("{result:false,error:\"Impossibile eseguire l\\'accesso. Controlla i dati inseriti oppure effettua la "
                     "registrazione.\"}");
        QTest::newRow("store unreachable") << int(SignIn::Answer::StoreUnreachable) << ""
            << login("{result:false,error:\"Impossibile contattare il negozio. Controlla la connessione a Internet e riprova.\"}");
        QTest::newRow("no answer") << int(SignIn::Answer::NoAnswer) << ""
            << login("{result:false,error:\"Il servizio di accesso non ha risposto in tempo. Controlla la connessione a "
                     "Internet e riprova.\"}");
        QTest::newRow("failed") << int(SignIn::Answer::Failed) << "9: Servizio \"fuori\" l'uso\n</script>"
            << login("{result:false,error:\"9: Servizio \\\\u0022fuori\\\\u0022 l\\\\u0027uso\\\\u000a\\\\u003c/script\\\\u003e\"}");
        QTest::newRow("synchronisation failed") << -1 << ""
            << QStringList { "messageDialog(\"Si è verificato un problema durante la sincronizzazione dei tuoi acquisti!<br/>Ti "
                             "invitiamo a riprovare più tardi\")", "__APP.spinner=false" };
    }

    void libraryAnswersOfThePage()
    {
        QFETCH(int, answer);
        QFETCH(QString, error);
        QFETCH(QStringList, statements);
        QStringList run;
        ScriptCall::setRecorder([&run](const QString& statement) { run << statement; });
        const auto stop = qScopeGuard([] { ScriptCall::setRecorder(nullptr); });
        LibrarySync library;
        QtJavascriptInteraction bridge;
        // Asked before the library is there, so no login goes out: only the callback is kept.
        bridge.setUsernamePassword("mario", "pw", "onLogin");
        bridge.useLibrary(&library);
        if (answer < 0) {
            emit library.syncProblem();
            emit library.syncStopped();
        } else {
            emit library.signInAnswered(SignIn::Answer(answer), error);
        }
        QCOMPARE(run, statements);
    }

    // The index next to a word, and next to a listed row's place, either way: together they make
    // the whole word list for the empty word, in its order.
    void indexRowsWalkTheWholeWordList()
    {
        PageServices services;
        QCOMPARE(words(services.indexRows("voc", "casb", "1", "2", "it")), QStringList({ "città", "po'" }));
        QCOMPARE(words(services.indexRows("voc", "casb", "0", "2", "it")), QStringList({ "casa", "casale" }));
        QCOMPARE(words(services.indexRows("voc", "ROMA", "1", "1", "it")), QStringList({ "Roma" }));
        QStringList walked;
        QString place;
        // Bounded, so a place that never advances fails instead of hanging.
        for (int page = 0; page < 10; ++page) {
            const QJsonArray rows = QJsonDocument::fromJson(services.indexRows("voc", place, "1", "3", "it").toUtf8()).array();
            for (const QJsonValue& v : rows)
                walked << v.toObject().value("word").toString();
            if (rows.size() < 3)
                break;
            place = QString::fromUtf8(QJsonDocument(rows.last().toObject().value("k").toArray()).toJson(QJsonDocument::Compact));
        }
        // Stated outright as well, so a fault shared with the word list's own query still shows.
        QCOMPARE(walked, QStringList({ "andare", "casa", "casale", "città", "po'", "Roma", "zucca" }));
        const auto listed = SearchRunner::wordList({ "", "", "", "voc", "0", "50", "it" });
        QCOMPARE(walked, listed.words);
        QCOMPARE(QJsonDocument::fromJson(services.indexRows("voc", "zucca", "1", "1", "it").toUtf8())
                     .array().at(0).toObject().value("idzenta").toString(),
            QStringLiteral("7"));
        QCOMPARE(words(services.indexRows("voc", place, "0", "2", "it")), QStringList({ "città", "po'" }));
        QCOMPARE(services.indexRows("nessuno", "casa", "1", "10", "it"), QStringLiteral("[]"));
        QCOMPARE(services.indexRows("../voc", "casa", "1", "10", "it"), QStringLiteral("[]"));
    }

    // Each way a notes file or an entry exported as PDF can go tells the page what happened, so a
    // failure never passes for a cancel; the PDF holds the heading, the dictionary and the text.
    void filesChosenByTheUser()
    {
        QTemporaryDir dir;
        PageServices services;
        const QString notes = QStringLiteral("{\"nota\":\"perché\"}");
        chosen = dir.filePath("appunti.json");
        QCOMPARE(answer(services.saveTextFile("../appunti-vocalume.json", notes)), QVariantMap({ { "result", "saved" }, { "path", chosen } }));
        QCOMPARE(offered, QDir::home().absoluteFilePath("appunti-vocalume.json"));
        QCOMPARE(answer(services.openTextFile()), QVariantMap({ { "result", "opened" }, { "path", chosen }, { "text", notes } }));
        QVERIFY(TestSupport::writeFile(chosen, QByteArray(20 * 1024 * 1024 + 1, ' ')));
        QCOMPARE(answer(services.openTextFile()), QVariantMap({ { "result", "tooBig" }, { "path", chosen }, { "limit", "20 MB" } }));
        const auto pdf = [&] { return answer(services.exportEntryPdf("../città 2", "Dizionario", "<p>Centro <b>abitato</b></p>")); };
        chosen = dir.filePath("voce.pdf");
        QCOMPARE(pdf(), QVariantMap({ { "result", "saved" }, { "path", chosen } }));
        QCOMPARE(offered, QDir::home().absoluteFilePath("-città 2.pdf"));
        QFile file(chosen);
        QVERIFY(file.open(QIODevice::ReadOnly) && file.read(5) == "%PDF-" && !QFile::exists(chosen + ".parziale"));
        QCOMPARE(EntryPrint("città 2", "Dizionario", "<p>Centro <b>abitato</b></p>").document().toPlainText(),
                 QStringLiteral("città 2\nDizionario\nCentro abitato"));
        chosen = dir.filePath("manca/voce.pdf");
        const QVariantMap failed { { "result", "failed" }, { "path", chosen }, { "reason", "la cartella non esiste" } };
        QCOMPARE(answer(services.saveTextFile("x.json", "y")), failed);
        QCOMPARE(pdf(), failed);
        QCOMPARE(answer(services.openTextFile()),
                 QVariantMap({ { "result", "unreadable" }, { "path", chosen }, { "reason", "il file non esiste" } }));
        chosen.clear();
        for (const QVariantMap& cancelled : { answer(services.saveTextFile("x.json", "y")), answer(services.openTextFile()), pdf() })
            QCOMPARE(cancelled, QVariantMap({ { "result", "cancelled" } }));
    }

    // Favourites and notes become cards of the entries read from their dictionaries: into the
    // file the user picks, or to Anki, whose absence the page hears in Italian.
    void flashCardsOfTheSavedEntries()
    {
        DictionaryEntry dog = entry("dog");
        dog.omo = "2";
        dog.html = "<p class=\"def\"><b>1.</b> a pet</p><p class=\"def\">a <script>x()</script>fellow</p>";
        QVERIFY(TestDictionary::install("en1", { entry("cat"), dog }));
        PageServices services;
        const QJsonObject row = QJsonDocument::fromJson(services.indexRows("en1", "dog", "1", "1", "it").toUtf8()).array().at(0).toObject();
        const QString ref = QStringList({ row.value("idzenta").toString(), row.value("file").toString(), "dog", "2" }).join('|');
        const QString rows = QString::fromUtf8(QJsonDocument(QJsonArray {
            QJsonObject { { "table", "FAVORITE" }, { "IDBOOK", "en1" }, { "REF", ref }, { "NOTE", "dog" }, { "DIZIONARIO", "Inglese" } },
            QJsonObject { { "table", "NOTE" }, { "IDBOOK", "en1" }, { "REF", ref }, { "NOTE", "cane <3" }, { "DIZIONARIO", "Inglese" } } }).toJson());
        const FlashCards cards = FlashCardAnswers::cards(rows);
        QCOMPARE(cards.size(), 1);
        QCOMPARE(cards.at(0).front, QStringLiteral("<b>dog</b><span class=\"omografo\">²</span><br><span class=\"dizionario\">Inglese</span>"));
        QCOMPARE(cards.at(0).back, QStringLiteral("<p class=\"def\"><b>1.</b> a pet</p><p class=\"def\">a fellow</p>"
                                                  "<p class=\"nota\"><i>Nota:</i> cane &lt;3</p>"));

        QTemporaryDir dir;
        chosen = dir.filePath("sche\"de.txt"); // a quote of the path cannot end the page's text
        QSignalSpy statements(&services, &PageServices::pageStatement);
        const auto heard = [&](const std::function<void()>& ask) {
            statements.clear();
            ask();
            return statements.wait(20000) ? statements.at(0).at(0).toString() : QString();
        };
        QCOMPARE(heard([&] { services.exportAnkiCards(rows, "onExported"); }),
                 "SignalQt('onExported', '{count:1,path:\"" + QString(chosen).replace('"', "\\\\u0022") + "\",result:\"saved\"}')");
        QCOMPARE(offered, QDir::home().absoluteFilePath("schede-vocalume.txt"));
        QVERIFY(TestSupport::readFile(chosen).startsWith("#separator:tab\n#html:true\n"));
        QCOMPARE(heard([&] { services.exportAnkiCards("[]", "onExported"); }), QString("SignalQt('onExported', '{result:\"empty\"}')"));

        quint16 port = 0;
        {
            HttpTestServer closed;
            port = closed.port();
        }
        services.setAnkiPort(port);
        QCOMPARE(heard([&] { services.sendToAnki(rows, "Vocalume.onAnkiSent"); }),
                 QStringLiteral("SignalQt('Vocalume.onAnkiSent', '{error:\"Anki non risponde: avvia Anki con il componente "
                                "AnkiConnect e riprova.\",result:false}')"));
    }

    // What a page loaded during a transfer reads of it: the announced size and the progress;
    // a download that is over is not listed.
    void downloadsUnderWay()
    {
        PageServices services;
        QCOMPARE(services.downloadStates(), QStringLiteral("{}"));
        // The transfer goes to a server that never answers: only its progress reports count.
        QTcpServer silent;
        QVERIFY(silent.listen(QHostAddress::LocalHost));
        ServiceEndpoint::setCurrent({ "127.0.0.1", silent.serverPort(), false });
        Download arriving;
        Download failed;
        arriving.sku = "ZA";
        arriving.filePath = QDir::home().filePath("ZA.zip");
        arriving.start();
        arriving.updateProgress(2621440, 5242880);
        failed.filePath = arriving.filePath + ".x";
        QVERIFY(TestSupport::writeFile(failed.filePath, "not replaceable"));
        failed.start();
        QCOMPARE(failed.phase(), Download::Phase::Over);
        const QMap<QString, Download*> downloads { { "ZA", &arriving }, { "ZB", &failed } };
        services.followDownloads(&downloads);
        QCOMPARE(services.downloadSize("ZA"), QStringLiteral("5242880"));
        QCOMPARE(services.downloadSize("ZB"), QString());
        QCOMPARE(services.downloadStates(),
            QStringLiteral("{\"ZA\":{\"bytes\":5242880,\"percent\":50,\"size\":\"5.0\",\"state\":\"download\"}}"));
    }

    void progressLiteral_data()
    {
        QTest::addColumn<int>("done");
        QTest::addColumn<int>("total");
        QTest::addColumn<QString>("literal");
        QTest::newRow("99.9 %") << 9990 << 10000 << "{result:false,progress:\"99\",size:\"0.0\"}";
        QTest::newRow("last byte of 200 MiB") << 209715199 << 209715200 << "";
        QTest::newRow("size unknown") << 70000 << 0 << "{result:false,progress:\"0\",size:\"0.0\"}";
    }

    void progressLiteral()
    {
        QFETCH(int, done);
        QFETCH(int, total);
        QFETCH(QString, literal);
        QCOMPARE(DownloadAnswers::progressLiteral(done, total), literal);
    }

    // A failure's text can hold an apostrophe (Italian has many), and the store's refusal, quoted
    // in it, any character: none may end the literal or the statement, or the page never hears why.
    void failureLiteralKeepsItsQuotes()
    {
        QCOMPARE(DownloadAnswers::failureStatement("onDl", "Settaggi dell'applicativo mancanti"),
            QStringLiteral("SignalQt('onDl', '{result:false,error:\"Settaggi dell&apos;applicativo mancanti\"}')"));
        QCOMPARE(DownloadAnswers::failureStatement("onDl", "Rifiutato: \"codice\" non valido\nriprovare \\"),
            QStringLiteral("SignalQt('onDl', '{result:false,error:\"Rifiutato: \\\\u0022codice\\\\u0022 non valido"
                           "\\\\u000ariprovare \\\\u005c\"}')"));
    }

    void opensOrRefuses_data()
    {
        QTest::addColumn<QString>("action");
        QTest::addColumn<QString>("argument"); // for the store's own pages: the services' endpoint
        QTest::addColumn<QString>("address"); // relative: an engine file; empty: nothing opened; "!": the user is warned
        const QString web = "https://esempio.it/a?b=1";
        const QString mail = "mailto:r@esempio.it";
        QTest::newRow("https") << "link" << web << web;
        QTest::newRow("HTTP is a file, no document") << "link" << "HTTP://esempio.it/x" << "?";
        QTest::newRow("HTTP is a file") << "link" << "HTTP://esempio.it/x.pdf" << "HTTP://esempio.it/x.pdf";
        QTest::newRow("engine file") << "link" << "help/guida.pdf" << "help/guida.pdf";
        // A package's files open only when they are documents the user expects to read or hear.
        QTest::newRow("picture of a package") << "link" << "books/7/tavole/Ape.PNG" << "books/7/tavole/Ape.PNG";
        QTest::newRow("sound of a package") << "link" << "books/7/audio/casa.ogg" << "books/7/audio/casa.ogg";
        QTest::newRow("page of a package") << "link" << "books/7/accesso.html" << "?";
        QTest::newRow("program of a package") << "link" << "books/7/setup.exe" << "?";
        QTest::newRow("script of a package") << "link" << "books/7/avvia.sh" << "?";
        QTest::newRow("file without a kind") << "link" << "books/7/LEGGIMI" << "?";
        // A mail link passes on what a message is made of, nothing the client would attach.
        QTest::newRow("mail link with an attachment")
            << "link" << "mailto:r@esempio.it?subject=Ciao&attach=/home/mario/.vocalumezenta/file__0/bookmarks.db&body=x"
            << "mailto:r@esempio.it?subject=Ciao&body=x";
        QTest::newRow("clicked mail link with an attachment")
            << "click" << "mailto:r@esempio.it?Attachment=%2Fetc%2Fpasswd&cc=c@esempio.it&bcc=d@esempio.it"
            << "mailto:r@esempio.it?cc=c@esempio.it&bcc=d@esempio.it";
        QTest::newRow("climbing out of the engine") << "link" << "help/../../file__0/bookmarks.db" << "";
        QTest::newRow("mail") << "mail" << "" << "mailto:?subject=Ciao&body=testo";
        QTest::newRow("mail link") << "link" << mail << mail;
        QTest::newRow("scheme that only begins with http") << "link" << "httpx://esempio.it/x" << "";
        // Links clicked in a page: web and mail addresses open outside, no other scheme does.
        QTest::newRow("clicked web link") << "click" << web << web;
        QTest::newRow("clicked mail link") << "click" << mail << mail;
        QTest::newRow("clicked file link") << "click" << "file:///etc/passwd" << "";
        QTest::newRow("clicked other scheme") << "click" << "ftp://esempio.it/x" << "";
        QTest::newRow("purchase, sku needing encoding")
            << "purchase" << "Z A&b" << "http://negozio.esempio/catalogsearch/result/?q=Z%20A%26b";
        QTest::newRow("purchase, unknown sku") << "purchase" << "ZX" << "!";
        QTest::newRow("password lost") << "password" << "127.0.0.1" << "http://negozio.esempio/customer/account/forgotpassword/";
        QTest::newRow("new account, other port")
            << "account" << "127.0.0.1:8123" << "http://negozio.esempio:8123/customer/account/create/";
        QTest::newRow("password lost over TLS, other port")
            << "password" << "https://127.0.0.1:8443" << "https://negozio.esempio:8443/customer/account/forgotpassword/";
    }

    void opensOrRefuses()
    {
        QFETCH(QString, action);
        QFETCH(QString, argument);
        QFETCH(QString, address);
        // "?": refused, and the status bar says why.
        const bool refused = address == "?";
        if (refused)
            address.clear();
        ServiceEndpoint endpoint;
        QVERIFY(ServiceEndpoint::parse(action == "password" || action == "account" ? argument : "127.0.0.1", &endpoint));
        ServiceEndpoint::setCurrent(endpoint);
        LibrarySync library;
        library.libraryBooks << Book();
        library.libraryBooks.last().bookId = "Z A&b";
        CustomAgentWebView view;
        view.setPage(new webPage(&view));
        QtJavascriptInteraction bridge;
        bridge.useLibrary(&library);
        bridge.attach(&view);
        const QUrl page = QUrl::fromLocalFile(TestSupport::dataDirectory() + "/engine/login.html");
        QVERIFY(QDir().mkpath(TestSupport::dataDirectory() + "/engine"));
        view.setHtml("<body></body>", page);
        QStringList told; // the first line of each warning
        connect(&bridge.externalActions(), &ExternalActions::warning, &view,
                [&told](const QString& m) { told << m.section('\n', 0, 0); });
        QStringList status;
        connect(&bridge.externalActions(), &ExternalActions::statusMessage, &view,
                [&status](const QString& m) { status << m; });
        const auto run = [&] {
            if (action == "link")
                bridge.openLink(argument);
            else if (action == "click")
                view.page()->mainFrame()->evaluateJavaScript(
                    "var a = document.createElement('a'); a.href = '" + argument + "'; document.body.appendChild(a); a.click();");
            else if (action == "mail")
                bridge.mail("Ciao", "testo");
            else if (action == "purchase")
                bridge.purchase(argument);
            else if (action == "password")
                bridge.passwordLost();
            else
                bridge.createAccount();
        };
        const QString noBrowser = "Nessun browser associato per eseguire l'azione richiesta.";
        run();
        QTest::qWait(action == "click" ? 200 : 0); // a page that left would have left by now
        QCOMPARE(view.page()->mainFrame()->url(), page);
        if (action == "link" && !address.isEmpty() && !address.startsWith("http") && !address.startsWith("mailto:"))
            address = QUrl::fromLocalFile(TestSupport::dataDirectory() + "/engine/" + address).toString();
        QCOMPARE(opened, address.isEmpty() || address == "!" ? QStringList() : QStringList { address });
        QCOMPARE(told, address == "!" ? QStringList { noBrowser } : QStringList());
        QCOMPARE(status.filter("non viene aperto").size(), refused ? 1 : 0);
        if (opened.isEmpty())
            return;
        desktopHandles("missing"); // no such slot: the desktop refuses
        run();
        QCOMPARE(told, QStringList { address.startsWith("mailto:")
                 ? "Nessun programma di posta elettronica associato per eseguire l'azione richiesta." : noBrowser });
        if (action == "link") {
            // Without the data directory an engine file is not looked for at all.
            QDir(TestSupport::dataDirectory()).removeRecursively();
            bridge.openLink("help/guida.pdf");
            QCOMPARE(told.size(), 1);
        }
    }
};

VOCALUME_TEST_MAIN(TestPageServices)
#include "tst_pageservices.moc"
