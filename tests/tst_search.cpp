// The search layer on small installed dictionaries: the page's searches, scopes, the desktop's
// prefix search, suggestions, broken databases; the statements' indexes and embedded values.
#include "search/booksearch.h"
#include "search/headwordsuggestions.h"
#include "search/indexrows.h"
#include "search/prefixsearch.h"
#include "search/scopelist.h"
#include "search/searchstatements.h"
#include "search/spellingsuggestions.h"
#include "search/sqltext.h"
#include "search/statementtimelimit.h"
#include "tests/support/searchrunner.h"
#include "tests/support/testdictionary.h"
#include "tools/packagebuilder/syntheticdictionary.h"

#include <QRegularExpression>
#include <QSqlDatabase>

using TestDictionary::entry;

namespace {
SearchRequest voc(const QString& word, const QString& start = "0", const QString& offset = "10",
                    const QString& type = "0", const QString& source = "it")
{
    return SearchRunner::entry("voc", word, start, offset, type, "99", source); // an entry search ignores scopes
}
SearchRequest keyword(const QString& word, const QString& scope, const QString& at = "0", const QString& rows = "10")
{
    return SearchRunner::entry("ft", word, at, rows, "2", scope);
}
// A word list written as a request of type "words", so that one table holds both kinds.
SearchRequest listing(const QString& sku, const QString& word, const QString& from = "0", const QString& to = "50")
{
    return SearchRunner::entry(sku, word, from, to, "words");
}
SearchRunner::Outcome answer(const SearchRequest& r)
{
    if (r.type == "words")
        return SearchRunner::wordList(r);
    return SearchRunner::search(r);
}
// Whether the request ended telling `total`, as the kind of search it asked for.
bool hasTotal(const SearchRunner::Outcome& outcome, const SearchRequest& r, int total)
{
    const SearchResults::Kind kind = r.type == "words" ? SearchResults::Kind::WordList
        : r.type == "0" || r.type == "1"             ? SearchResults::Kind::Entry
                                                     : SearchResults::Kind::FullText;
    return outcome.ended && outcome.results.total == total && outcome.results.kind == kind;
}
// An outcome as the failure message of a test shows it.
QByteArray shown(const SearchRunner::Outcome& outcome)
{
    return QString("ended %1, kind %2, total %3: %4")
        .arg(outcome.ended).arg(int(outcome.results.kind)).arg(outcome.results.total).arg(outcome.words.join(','))
        .toUtf8();
}
// A row as "id|word|file|omo|hw".
QString rowText(const SearchResult& r) { return QStringList { r.id, r.word, r.file, r.omo, r.hw }.join('|'); }
}

class TestSearch : public QObject {
    Q_OBJECT
private:
    QDateTime vocModified;
    QTemporaryDir large;
    QTemporaryDir spelling;
    SyntheticDictionary::Shape shape;

private slots:
    void initTestCase()
    {
        TestDictionary::resetHome("à|è|é|ì|ò|ù", "a|e|e|i|o|u");
        DictionaryEntry secondCasa = entry("casa", "s.f.");
        secondCasa.omo = "2";
        // Three entries per content file: voci0001.xhtml holds entries 1 to 3.
        QVERIFY(TestDictionary::install("voc",
                                        { entry("casato", "s.m."), entry("casa", "s.f.", { "case" }),
                                          entry("casale", "s.m.", { "casali" }), secondCasa, entry("Roma", "s.f."),
                                          entry("andare", "v.", { "vado", "vanno", "andrò" }), entry("po'", "avv."),
                                          entry("città", "s.f."), entry("casamento", "s.m."),
                                          entry("case", "n.", {}, {}, {}, "en"), entry("50%_[*]", "s.m.") },
                                        3));
        // "sole" is also its own keyword: a full-text search must list it once.
        QVERIFY(TestDictionary::install("ft", { entry("solare", "", {}, { "sole" }, { "Astronomia" }),
            entry("sole", "", {}, { "sole" }, { "Astronomia" }), entry("girasole", "", {}, { "sole" }, { "Botanica" }),
            entry("Meridiana", "", {}, { "sole" }, { "Astronomia" }), entry("ombra", "", {}, { "sole" }, { "Arte dell'ombra" }),
            entry("perché", "", {}, { "più" }), entry("città", "", {}, { "sole" }),
            entry("sole", "", {}, {}, {}, "en") }));
        QList<DictionaryEntry> many;
        for (int i = 45; i >= 1; --i)
            many << entry(QStringLiteral("Parola%1").arg(i, 2, 10, QLatin1Char('0')));
        QVERIFY(TestDictionary::install("list", many << entry("pane") << entry("l'altro"), 7));
        DictionaryEntry capanna = entry("capanna");
        capanna.aliases = QStringList { "tettoia" };
        QVERIFY(TestDictionary::install("due", { entry("casaccio"), entry("Casa"), entry("tetto"), entry("Tetto"), capanna }));
        QVERIFY(QDir().mkpath(TestDictionary::bookDirectory("rotto") + "/database.db"));
        QVERIFY(TestSupport::writeFile(TestDictionary::bookDirectory("vuoto") + "/database.db", {}));
        QVERIFY(TestDictionary::installEndless("lento"));
        QVERIFY(TestDictionary::install("sugg", { entry("casa"), entry("cassa"), entry("cosa"), entry("città"),
                                                  entry("casale"), entry("Roma"), entry("andare"),
                                                  entry("case", "n.", {}, {}, {}, "en") }));
        QVERIFY(TestDictionary::install("altro", { entry("mare") }));
        // More headwords begin with "mice" than a page of two holds; "mouse" comes after them.
        QVERIFY(TestDictionary::install("forme", { entry("micella"), entry("mice", "n."), entry("micelle"),
            entry("mouse", "n.", { "mice" }) }));
        // A spelling dictionary whose words are flagged, one of them a form no headword is.
        QVERIFY(TestSupport::writeFile(spelling.filePath("it_IT.aff"), "SET ISO8859-1\nSFX A Y 1\nSFX A a e a\n"));
        QVERIFY(TestSupport::writeFile(spelling.filePath("it_IT.dic"), "5\nvado\nvedo\ncasa/A\nandr\xf2\nroma\n"));
        SpellingSuggestions::setSpellingFolder(spelling.path());
        shape.entries = 30000;
        DictionaryBuilder builder;
        DictionaryBuilder::Options options;
        options.writeContent = false;
        QVERIFY(builder.open(large.path(), options) && builder.addAll(SyntheticDictionary(shape)) && builder.finish());
        vocModified = QFileInfo(getBookDatabasePath("voc")).lastModified();
        QVERIFY(QFile::setPermissions(getBookDatabasePath("voc"), QFile::ReadOwner));
    }

    // No search writes to a dictionary.
    // A test that shortened the statements' time limit gives it back, also when it failed.
    void cleanup() { StatementTimeLimit::setMilliseconds(StatementTimeLimit::defaultMilliseconds); }

    void cleanupTestCase()
    {
        QCOMPARE(QFileInfo(getBookDatabasePath("voc")).lastModified(), vocModified);
        QVERIFY(!QFileInfo::exists(getBookDatabasePath("voc") + "-journal"));
    }

    // What is typed is looked for as written: a wildcard to SQL matches only itself.
    void answers_data()
    {
        QTest::addColumn<SearchRequest>("request");
        QTest::addColumn<int>("total");
        QTest::addColumn<QStringList>("found");
        const QStringList casa { "casa", "casa", "casale", "casamento", "casato" };
        QTest::newRow("exact matches first") << voc("casa") << 5 << casa;
        QTest::newRow("type 1 is the same search") << voc("casa", "0", "10", "1") << 5 << casa;
        QTest::newRow("typed in capitals") << voc("CASA") << 5 << casa;
        QTest::newRow("start 00 lists no exact match") << voc("casa", "00") << 5 << QStringList(casa.mid(2));
        QTest::newRow("page of two") << voc("casa", "1", "2") << 5 << QStringList { "casamento", "casato" };
        QTest::newRow("inflected form") << voc("vanno") << 1 << QStringList { "andare" };
        QTest::newRow("inflected form beyond the page")
            << SearchRunner::entry("forme", "mice", "0", "2") << 4 << QStringList { "mice", "mouse", "micella", "micelle" };
        QTest::newRow("inflected form in its own page")
            << SearchRunner::entry("forme", "mice", "2", "2") << 4 << QStringList { "mouse" };
        QTest::newRow("inflected form with accent") << voc("andrò") << 1 << QStringList { "andare" };
        QTest::newRow("form of one language only") << voc("case") << 1 << QStringList { "casa" };
        QTest::newRow("other source language") << voc("case", "0", "10", "0", "en") << 1 << QStringList { "case" };
        QTest::newRow("capitalised headword found by prefix") << voc("roma") << 1 << QStringList { "Roma" };
        QTest::newRow("normalised input") << voc("citta") << 1 << QStringList { "città" };
        QTest::newRow("accented input") << voc("città") << 1 << QStringList { "città" };
        QTest::newRow("empty word counts every entry") << voc("", "0", "3") << 10
                                                       << QStringList { "50%_[*]", "andare", "casa" };
        QTest::newRow("source language with an apostrophe") << voc("casa", "0", "10", "0", "i't") << 0 << QStringList();
        for (const char* w : { "cas*", "cas?to", "[a-c]*", "%", "_", "ca%", "ca\\", "50%" }) {
            const QStringList found = w == QLatin1String("50%") ? QStringList { "50%_[*]" } : QStringList();
            QTest::addRow("%s, search", w) << voc(w) << found.size() << found;
            QTest::addRow("%s, list", w) << listing("voc", w) << found.size() << found;
        }
        QTest::newRow("keyword: headword first, then by name")
            << keyword("sole", "") << 6 << QStringList { "sole", "città", "girasole", "Meridiana", "ombra", "solare" };
        QTest::newRow("keyword in a scope") << keyword("sole", "1") << 3
                                            << QStringList { "sole", "Meridiana", "solare" };
        QTest::newRow("scope without the headword") << keyword("sole", "2") << 1 << QStringList { "girasole" };
        QTest::newRow("keyword scope 0 does not exist") << keyword("sole", "0") << 0 << QStringList();
        QTest::newRow("keyword, second page") << keyword("sole", "", "2", "2") << 6
                                              << QStringList { "girasole", "Meridiana" };
        QTest::newRow("normalised keyword") << keyword("più", "") << 1 << QStringList { "perché" };
        QTest::newRow("apostrophe in the keyword") << keyword("dell'ombra", "") << 0 << QStringList();
        QTest::newRow("empty type is a keyword search") << SearchRunner::entry("ft", "sole", "0", "1", "") << 6
                                                        << QStringList { "sole" };
        QStringList rows21to30;
        for (int i = 21; i <= 30; ++i)
            rows21to30 << QStringLiteral("Parola%1").arg(i);
        QTest::newRow("list from 20, 10 rows") << listing("list", "parola", "20", "10") << 45 << rows21to30;
        QTest::newRow("list in any case") << listing("list", "PAROLA", "20", "10") << 45 << rows21to30;
        QTest::newRow("list, shorter prefix") << listing("list", "pa", "0", "2") << 46
                                              << QStringList { "pane", "Parola01" };
        QTest::newRow("list past the end") << listing("list", "parola", "45") << 45 << QStringList();
        QTest::newRow("list with an apostrophe") << listing("list", "l'a") << 1 << QStringList { "l'altro" };
        // A dictionary of two languages counts the headwords of the one asked for only.
        QTest::newRow("list of a language without the word") << listing("voc", "case") << 0 << QStringList();
        SearchRequest english = listing("voc", "case");
        english.sourceLanguage = "en";
        QTest::newRow("list of the other language") << english << 1 << QStringList { "case" };
        for (const char* prefix : { "citt", "città", "CITTÀ", "Città" })
            QTest::addRow("list, %s", prefix) << listing("voc", prefix) << 1 << QStringList { "città" };
        // Missing or broken dictionaries; "lento" holds a view that would take minutes to list.
        for (const auto& [sku, total] : { std::pair("nessuno", 0), { "", 0 }, { "../books/voc", 0 }, { "rotto", 0 },
                                          { "vuoto", -1 }, { "lento", -1 } })
            for (const char* type : { "0", "2", "words", "other readers" })
                QTest::addRow("%s, %s", sku, type) << SearchRunner::entry(sku, "casa", "0", "10", type) << total
                                                   << QStringList();
    }

    void answers()
    {
        QFETCH(SearchRequest, request);
        QFETCH(int, total);
        QFETCH(QStringList, found);
        // A statement left without its time limit would run for minutes: fail at once instead.
        const TestSupport::Deadline deadline(30, "a search of the endless dictionary");
        StatementTimeLimit::setMilliseconds(request.sku == "lento" ? 300 : StatementTimeLimit::defaultMilliseconds);
        if (request.type == "other readers") { // they list nothing of a missing or broken dictionary
            QCOMPARE(IndexRows::read(request.sku, "it", { "casa" }, true, 10).size(), 0);
            QCOMPARE(PrefixSearch::inBook({ request.sku, "", "it" }, "casa", 10).size(), 0);
            return;
        }
        const SearchRunner::Outcome outcome = answer(request);
        QVERIFY2(hasTotal(outcome, request, total), shown(outcome).constData());
        QCOMPARE(outcome.words, found);
        QCOMPARE(outcome.openFailed, request.sku == "rotto"); // told to the GUI thread, which warns the user
    }

    // Read on the GUI thread through a connection the program shares: left closed, its options kept.
    void scopes()
    {
        QSqlDatabase::addDatabase("QSQLITE", "shared").setConnectOptions("QSQLITE_BUSY_TIMEOUT=10");
        QSqlDatabase connection = QSqlDatabase::database("shared", false);
        for (const auto& [sku, access, listed] : { std::tuple("ft", DatabaseAccess::Opened,
                 QStringList { "3:Arte dell'ombra", "1:Astronomia", "2:Botanica" }),
                 { "nessuno", DatabaseAccess::Missing, QStringList() },
                 { "rotto", DatabaseAccess::OpenFailed, QStringList() } }) {
            QList<Scope> list;
            QCOMPARE(readScopes(connection, sku, list), access);
            QStringList read;
            for (const Scope& scope : qAsConst(list))
                read << scope.id + ':' + scope.name;
            QCOMPARE(read, listed);
            QVERIFY(!connection.isOpen());
            QCOMPARE(connection.connectOptions(), QStringLiteral("QSQLITE_BUSY_TIMEOUT=10"));
        }
    }

    // A malformed number from the page answers -1 and runs no statement.
    void malformedNumbersRunNoStatement()
    {
        TestSupport::recorded().diagnostics.clear();
        for (const SearchRequest& request :
             { voc("casa", "0", "-1"), voc("casa", ""), voc("casa", "0, 10 union select 1,2,3,4,5 --"),
               keyword("sole", "1 or 1=1"), keyword("sole", "", "0", "1)"), listing("list", "parola", "0 --") }) {
            const SearchRunner::Outcome outcome = answer(request);
            QVERIFY2(hasTotal(outcome, request, -1) && outcome.words.isEmpty(), shown(outcome).constData());
        }
        QVERIFY(!TestSupport::diagnosticsContain("select"));
    }

    // A request waiting behind a running one is replaced by a newer one, and said to be dropped;
    // word lists run beside.
    void requestsWhileOthersRun()
    {
        SearchService service;
        QSignalSpy ended(&service, &SearchService::searchEnded);
        QSignalSpy dropped(&service, &SearchService::requestDropped);
        QMap<int, QString> asked;
        for (const char* word : { "casa", "roma", "vanno" })
            asked[service.search(voc(word))] = word;
        asked[service.getWords({ "cas", "", "", "voc", "2", "2", "it" })] = "list1";
        asked[service.getWords({ "and", "", "", "voc", "0", "10", "it" })] = "list2";
        QCOMPARE(asked.size(), 5);
        QTRY_COMPARE(ended.count(), 4);
        QTest::qWait(50);
        QCOMPARE(dropped.count(), 1);
        QCOMPARE(asked.value(dropped.at(0).at(0).toInt()), QStringLiteral("roma"));
        // Each result carries its entry's id, content file, homograph number, grammar; a headword
        // that begins with the word has its content file looked up row by row.
        const QString secondCasa = "4|casa|voci0002.xhtml|2|s.f.", casamento = "9|casamento|voci0003.xhtml||s.m.";
        QMap<QString, QStringList> heard;
        for (const QList<QVariant>& end : qAsConst(ended)) {
            const QString name = asked.value(end.at(0).toInt());
            QStringList rows;
            for (const SearchResult& r : SearchRunner::resultsOf(end).rows)
                rows << rowText(r);
            QCOMPARE(rows.contains(secondCasa), name == "casa");
            QVERIFY(name != "casa" || rows.contains(casamento));
            heard[name] = SearchRunner::words(SearchRunner::resultsOf(end).rows);
        }
        QCOMPARE(heard.keys(), QStringList({ "casa", "list1", "list2", "vanno" }));
        QCOMPARE(heard.value("vanno"), QStringList { "andare" });
        QCOMPARE(heard.value("list2"), QStringList { "andare" });
    }

    // Every dictionary at once: each request ends on its own; a run asked while one is under way
    // waits for it, and a third replaces the second.
    void everyDictionaryAtOnce()
    {
        SearchService service;
        QSignalSpy ended(&service, &SearchService::searchEnded);
        QMap<int, QString> asked;
        asked[service.search(voc("vanno"))] = "vanno";
        QTRY_COMPARE(ended.count(), 1);
        const auto run = [&](const QString& word, const QStringList& books) {
            QList<SearchRequest> requests;
            for (const QString& sku : books)
                requests << SearchRunner::entry(sku, word, "0", "10", "0", QString(), "it");
            const QList<int> ids = service.searchEach(requests);
            for (int i = 0; i < ids.size(); ++i)
                asked[ids.at(i)] = word + '@' + books.at(i);
        };
        run("casa", { "voc", "due", "nessuno" });
        run("tetto", { "voc", "due" });
        run("roma", { "due", "voc" });
        QCOMPARE(asked.size(), 8);
        QTRY_COMPARE(ended.count(), 6);
        QTest::qWait(50);
        QMap<QString, QStringList> heard;
        for (const QList<QVariant>& end : qAsConst(ended))
            heard[asked.value(end.at(0).toInt())] = SearchRunner::words(SearchRunner::resultsOf(end).rows);
        QCOMPARE(heard.keys(), QStringList({ "casa@due", "casa@nessuno", "casa@voc", "roma@due", "roma@voc", "vanno" }));
        QCOMPARE(heard.value("casa@due"), QStringList({ "Casa", "casaccio" }));
        QCOMPARE(heard.value("casa@nessuno"), QStringList());
        QCOMPARE(heard.value("roma@voc"), QStringList({ "Roma" }));
        QCOMPARE(heard.value("vanno"), QStringList { "andare" });
    }

    // The busy state shows while any dictionary of a search everywhere is still being read, and
    // ends with the last one.
    void busyUntilTheLastDictionaryEnds()
    {
        const TestSupport::Deadline deadline(30, "a search of the endless dictionary");
        StatementTimeLimit::setMilliseconds(1000);
        SearchService service;
        QSignalSpy ended(&service, &SearchService::searchEnded);
        QSignalSpy working(&service, &SearchService::working);
        QSignalSpy idle(&service, &SearchService::workingEnded);
        service.searchEach({ SearchRunner::entry("voc", "casa", "0", "10", "0", QString(), "it"),
            SearchRunner::entry("lento", "casa", "0", "10", "0", QString(), "it") });
        QVERIFY(ended.wait(5000)); // the small dictionary
        QTRY_COMPARE(working.count(), 1);
        QCOMPARE(idle.count(), 0);
        QTRY_COMPARE(ended.count(), 2);
        QCOMPARE(idle.count(), 1);
    }

    // One worker keeps its connection between searches, but never past a change of the file: a
    // dictionary installed again, replaced by another file or removed is read as it now is.
    void aDictionaryChangedBetweenSearchesIsReadAfresh()
    {
        SearchService service;
        QSignalSpy ended(&service, &SearchService::searchEnded);
        const auto found = [&](const QString& sku, const QString& word) {
            service.search(SearchRunner::entry(sku, word));
            return ended.wait(20000) ? SearchRunner::words(SearchRunner::resultsOf(ended.last()).rows) : QStringList("?");
        };
        // Installed again within one tick of the file clock and as large as before: only the
        // file's identity tells the two apart.
        const auto sameTick = [] {
            QFile file(getBookDatabasePath("cambia"));
            return file.open(QIODevice::ReadWrite)
                && file.setFileTime(QDateTime::fromSecsSinceEpoch(1700000000), QFileDevice::FileModificationTime);
        };
        QVERIFY(TestDictionary::install("cambia", { entry("mare"), entry("marea") }) && sameTick());
        const QString path = getBookDatabasePath("cambia");
        const qint64 size = QFileInfo(path).size();
        QVERIFY(TestDictionary::install("altrove", { entry("maremma") }));
        QCOMPARE(found("cambia", "mare"), QStringList({ "mare", "marea" }));
        QVERIFY(TestDictionary::install("cambia", { entry("mare"), entry("mareggiata") }) && sameTick());
        QCOMPARE(QFileInfo(path).size(), size);
        QCOMPARE(found("cambia", "mare"), QStringList({ "mare", "mareggiata" }));
        QVERIFY(QFile::remove(path) && QFile::copy(getBookDatabasePath("altrove"), path));
        QCOMPARE(found("cambia", "mare"), QStringList({ "maremma" }));
        QVERIFY(QDir(TestDictionary::bookDirectory("cambia")).removeRecursively());
        QCOMPARE(found("cambia", "mare"), QStringList());
    }

    // The desktop's search over several dictionaries: exact ones first, homographs once.
    void headwordsBeginningWithTheText_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("limit");
        QTest::addColumn<QStringList>("hits");
        QTest::newRow("prefix") << "casa" << 10
                                << QStringList { "casa@voc", "Casa@due", "casaccio@due", "casale@voc",
                                                 "casamento@voc", "casato@voc" };
        QTest::newRow("limit") << "cas" << 3 << QStringList { "casa@voc", "Casa@due", "casaccio@due" };
        QTest::newRow("capitals, accents and blanks") << " CITTA " << 10 << QStringList { "città@voc" };
        QTest::newRow("case twins once, a name with its entry") << "tett" << 10
                                                                << QStringList { "Tetto@due", "tettoia → capanna@due" };
        QTest::newRow("another language's headword") << "case" << 10 << QStringList();
        QTest::newRow("wildcards match themselves") << "50%_[" << 10 << QStringList { "50%_[*]@voc" };
        QTest::newRow("a wildcard alone") << "*" << 10 << QStringList();
        QTest::newRow("blank") << "  " << 10 << QStringList();
    }

    void headwordsBeginningWithTheText()
    {
        QFETCH(QString, text);
        QFETCH(int, limit);
        QFETCH(QStringList, hits);
        QVector<QVector<PrefixSearch::Hit>> lists;
        for (const char* sku : { "voc", "nessuno", "due" })
            lists << PrefixSearch::inBook({ sku, "", "it" }, text, limit);
        QStringList found;
        for (const PrefixSearch::Hit& hit : PrefixSearch::merged(lists, limit)) {
            found << hit.label() + '@' + hit.sku;
            QCOMPARE(hit.exact, hit.key == text.simplified().toLower());
        }
        QCOMPARE(found, hits);
    }

    // Words of up to four letters allow one edit, longer ones two; a swap of neighbours is one.
    void suggest_data()
    {
        QTest::addColumn<QString>("sku");
        QTest::addColumn<QString>("word");
        QTest::addColumn<QString>("language");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("one letter wrong") << "sugg" << "caza" << "it" << QStringList { "casa" };
        QTest::newRow("two letters swapped") << "sugg" << "csaa" << "it" << QStringList { "casa" };
        QTest::newRow("two edits in a longer word") << "sugg" << "cassalle" << "it" << QStringList { "casale" };
        QTest::newRow("accents ignored") << "sugg" << "citta" << "it" << QStringList { "città" };
        QTest::newRow("case ignored") << "sugg" << "ROMMA" << "it" << QStringList { "Roma" };
        QTest::newRow("short words allow one edit") << "sugg" << "cza" << "it" << QStringList();
        QTest::newRow("other language") << "sugg" << "cas" << "en" << QStringList { "case" };
        QTest::newRow("nothing typed") << "sugg" << "  " << "it" << QStringList();
        QTest::newRow("not installed") << "nessuno" << "casa" << "it" << QStringList();
        QTest::newRow("outside the books") << "../voc" << "casa" << "it" << QStringList();
        // Every dictionary ("*": voc, sugg and list) and the spelling dictionary of their language.
        QTest::newRow("every dictionary, each word once") << "*" << "caza" << "it" << QStringList { "casa" };
        QTest::newRow("a spelling word a dictionary finds") << "*" << "vedo" << "it" << QStringList { "vado" };
        QTest::newRow("in the spelling dictionary's encoding") << "*" << "andro" << "it" << QStringList { "andrò", "andare" };
        QTest::newRow("another language's spelling") << "*" << "vado" << "en" << QStringList();
        QTest::newRow("a headword and a spelling word once") << "*" << "ROMMA" << "it" << QStringList { "Roma" };
        QTest::newRow("five at most, in order") << "*" << "parola" << "it"
                                                << QStringList { "Parola01", "Parola02", "Parola03", "Parola04", "Parola05" };
    }

    void suggest()
    {
        QFETCH(QString, sku);
        QFETCH(QString, word);
        QFETCH(QString, language);
        QFETCH(QStringList, expected);
        if (sku == "*") {
            QCOMPARE(SpellingSuggestions::closest({ { "voc", language }, { "sugg", language }, { "list", language } }, word),
                expected);
            return;
        }
        HeadwordSuggestions s;
        s.prepare(sku, language);
        QTRY_VERIFY_WITH_TIMEOUT(s.isReady(sku, language), 20000);
        QCOMPARE(s.suggest(sku, word, language), expected);
    }

    // Read on their own thread: the first question waits, a later dictionary replaces it.
    void headwordsReadOnTheirOwnThread()
    {
        HeadwordSuggestions s;
        QSignalSpy ready(&s, &HeadwordSuggestions::ready);
        bool waiting = false;
        QVERIFY(s.suggest("altro", "mara", "it", 5, &waiting).isEmpty());
        QVERIFY(waiting);
        s.prepare("sugg", "it");
        QTRY_COMPARE(ready.count(), 1);
        QCOMPARE(ready.at(0), QVariantList({ "sugg", "it" }));
        QVERIFY(!s.isReady("altro", "it"));
        QCOMPARE(s.suggest("sugg", "caza", "it", 5, &waiting), QStringList { "casa" });
        QVERIFY(!waiting);
        QScopedPointer<HeadwordSuggestions> going(new HeadwordSuggestions);
        going->prepare("altro", "it");
    }

    void everyStatementUsesAnIndex_data()
    {
        QTest::addColumn<QByteArray>("statement");
        const SyntheticDictionary dictionary(shape);
        for (const QString& w : { dictionary.headwordOf(12345), dictionary.headwordOf(12345).left(2),
                                  dictionary.entry(12345).keywords.first() }) {
            const SearchWordForms f = searchWordForms(w, "it");
            const QByteArray tag = w.toUtf8() + ": ";
            QTest::newRow(tag + "entry count") << SearchStatements::entryCount(f, "it");
            QTest::newRow(tag + "entry exact") << SearchStatements::entryExact(f, "it");
            QTest::newRow(tag + "entry related") << SearchStatements::entryRelated(f, "it", "0", "10");
            QTest::newRow(tag + "entry of a form") << SearchStatements::entryOfForm(f, "it", "10");
            QTest::newRow(tag + "word count") << SearchStatements::wordCount(f, "it");
            QTest::newRow(tag + "full text count") << SearchStatements::fullTextCount(f, "it", "");
            QTest::newRow(tag + "full text page") << SearchStatements::fullTextPage(f, "it", "", "10", "10");
            QTest::newRow(tag + "scoped count") << SearchStatements::fullTextCount(f, "it", "3");
            QTest::newRow(tag + "scoped page") << SearchStatements::fullTextPage(f, "it", "3", "0", "10");
            QTest::newRow(tag + "word list count") << SearchStatements::wordListCount(f, "it");
            QTest::newRow(tag + "word list count, one language") << SearchStatements::wordListCountOneLanguage(f);
            QTest::newRow(tag + "word list page") << SearchStatements::wordListPage(f, "it", "20", "10");
        }
        QTest::newRow("file lookup") << SearchStatements::fileName("17");
        QTest::newRow("scopes") << SearchStatements::scopes();
        QTest::newRow("languages") << SearchStatements::sourceLanguageRange();
    }

    void everyStatementUsesAnIndex()
    {
        QFETCH(QByteArray, statement);
        const QStringList lines = TestDictionary::rows(large.filePath("database.db"), "EXPLAIN QUERY PLAN " + statement);
        QVERIFY(!lines.isEmpty());
        // "SCAN (subquery-n)" walks an already reduced result; the scopes table is tiny and read
        // in order through its own index.
        static const QRegularExpression fullScan(
            "^SCAN (lemma|file|file_lemma|lemmatizzatore|keyword|keyword_lemma|lemma_ambito|l|f|fl|k|kl|la)\\b");
        for (const QString& line : lines) {
            QVERIFY2(!line.startsWith("ERROR"), qPrintable(line));
            QVERIFY2(!fullScan.match(line.section('|', 3)).hasMatch(), qPrintable(lines.join("\n")));
        }
        // A page of the word list is read in the list's order and ends there, whatever the matches.
        if (QByteArray(QTest::currentDataTag()).endsWith("word list page"))
            QVERIFY2(!lines.join("\n").contains("TEMP B-TREE"), qPrintable(lines.join("\n")));
    }

    // The values the statements are built from: the hash the dictionaries store for each inflected
    // form (of its decoded, lower-cased bytes); whole numbers from the page; a quoted value is one
    // literal with nothing after it, a zero character (in no dictionary) would end the statement.
    void values_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("expected");
        const auto row = [](const char* kind, const QByteArray& name, const QString& value, const QString& expected) {
            QTest::newRow(kind + (": " + name)) << kind << value << expected;
        };
        row("hash", "abc", "abc", "891568578");
        row("hash", "lower-cased, then percent-decoded", "%61BC", "891568578");
        row("hash", "utf-8 bytes", "à", QString::number(0x77d8359a));
        row("hash", "encoded utf-8", "%C3%A0", QString::number(0x77d8359a));
        for (const char* text : { "0", "00", "10" })
            row("whole", text, text, "whole");
        // Blanks, signs, expressions, fractions, other scripts' digits, too many digits.
        for (const char* text : { "", "-1", " 1", "1 union select 1", "1.5", "\u0661", "1234567890123456789" })
            row("whole", QByteArray("'") + text + "'", QString::fromUtf8(text), "");
        row("quoted", "apostrophes", "l'a''", "l'a''");
        row("quoted", "statement", "'; DROP TABLE lemma; --", "'; DROP TABLE lemma; --");
        row("quoted", "zero character", QStringLiteral("ca") + QChar(0) + QStringLiteral("sa"), "casa");
        row("quoted", "zero then apostrophe", QString(QChar(0)) + QStringLiteral("'x"), "'x");
    }

    void values()
    {
        QFETCH(QString, kind);
        QFETCH(QString, value);
        QFETCH(QString, expected);
        if (kind == "hash")
            QCOMPARE(QString::number(inflectionHash(value)), expected);
        else if (kind == "whole")
            QCOMPARE(SqlText::isWholeNumber(value), !expected.isEmpty());
        else
            QCOMPARE(TestDictionary::rows(":memory:", "SELECT " + SqlText::quoted(value.toUtf8())), QStringList { expected });
    }
};

VOCALUME_TEST_MAIN(TestSearch)
#include "tst_search.moc"
