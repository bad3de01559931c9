#include "app/appsettings.h"
#include "search/booksearch.h"
#include "search/scopelist.h"
#include "search/searchstate.h"
#include "tests/support/searchrunner.h"
#include "tests/support/testdictionary.h"
#include "tests/support/testsupport.h"

#include <QApplication>
#include <QSqlDatabase>

using TestDictionary::entry;

class TestSearchFullText : public QObject {
    Q_OBJECT
private:
    static Search::Request fullText(const QString& word, const QString& scope,
        const QString& start = QStringLiteral("0"), const QString& offset = QStringLiteral("10"))
    {
        return SearchRunner::entry(QStringLiteral("ft"), word, start, offset, QStringLiteral("2"), scope);
    }

private slots:
    void initTestCase()
    {
        TestSupport::resetHome();
        AppSettings settings;
        settings.setStartCharset(QStringLiteral("à|è|ì|ò|ù"), QStringLiteral("it"));
        settings.setEndCharset(QStringLiteral("a|e|i|o|u"), QStringLiteral("it"));
        const QString astronomy = QStringLiteral("Astronomia");
        const QString botany = QStringLiteral("Botanica");
        const QString shade = QStringLiteral("Arte dell'ombra");
        QVERIFY(TestDictionary::install(QStringLiteral("ft"),
            { entry(QStringLiteral("solare"), QStringLiteral("agg."), {}, { QStringLiteral("sole") }, { astronomy }),
                entry(QStringLiteral("sole"), QStringLiteral("s.m."), {}, {}, { astronomy }),
                entry(QStringLiteral("girasole"), QStringLiteral("s.m."), {}, { QStringLiteral("sole") }, { botany }),
                entry(
                    QStringLiteral("Meridiana"), QStringLiteral("s.f."), {}, { QStringLiteral("sole") }, { astronomy }),
                entry(QStringLiteral("ombra"), QStringLiteral("s.f."), {}, { QStringLiteral("sole") }, { shade }),
                entry(QStringLiteral("perché"), QStringLiteral("cong."), {}, { QStringLiteral("più") }),
                entry(QStringLiteral("città"), QStringLiteral("s.f."), {}, { QStringLiteral("sole") }),
                entry(QStringLiteral("sole"), QStringLiteral("s.m."), {}, {}, {}, QStringLiteral("en")) }));
        QVERIFY(TestDictionary::install(QStringLiteral("noscopes"), { entry(QStringLiteral("casa")) }));
        QList<DictionaryEntry> many;
        for (int i = 45; i >= 1; --i)
            many << entry(QStringLiteral("Parola%1").arg(i, 2, 10, QLatin1Char('0')));
        many << entry(QStringLiteral("pane")) << entry(QStringLiteral("l'altro"));
        QVERIFY(TestDictionary::install(QStringLiteral("list"), many, 7));
    }

    void init() { TestSupport::recorded() = TestSupport::Recorded(); }

    void keywordSearch_data()
    {
        QTest::addColumn<Search::Request>("request");
        QTest::addColumn<int>("total");
        QTest::addColumn<QStringList>("words");
        QTest::newRow("headword first, then keyword entries by name")
            << fullText(QStringLiteral("sole"), QString()) << 6
            << QStringList { QStringLiteral("sole"), QStringLiteral("città"), QStringLiteral("girasole"),
                   QStringLiteral("Meridiana"), QStringLiteral("ombra"), QStringLiteral("solare") };
        QTest::newRow("typed in capitals")
            << fullText(QStringLiteral("SOLE"), QString()) << 6
            << QStringList { QStringLiteral("sole"), QStringLiteral("città"), QStringLiteral("girasole"),
                   QStringLiteral("Meridiana"), QStringLiteral("ombra"), QStringLiteral("solare") };
        QTest::newRow("scope") << fullText(QStringLiteral("sole"), QStringLiteral("1")) << 3
                               << QStringList { QStringLiteral("sole"), QStringLiteral("Meridiana"),
                                      QStringLiteral("solare") };
        QTest::newRow("scope without the headword")
            << fullText(QStringLiteral("sole"), QStringLiteral("2")) << 1 << QStringList { QStringLiteral("girasole") };
        QTest::newRow("scope 0 restricts to a scope that does not exist")
            << fullText(QStringLiteral("sole"), QStringLiteral("0")) << 0 << QStringList();
        QTest::newRow("second page") << fullText(QStringLiteral("sole"), QString(), QStringLiteral("2"),
            QStringLiteral("2")) << 6 << QStringList { QStringLiteral("girasole"), QStringLiteral("Meridiana") };
        QTest::newRow("start 00") << fullText(
            QStringLiteral("sole"), QStringLiteral("1"), QStringLiteral("00"), QStringLiteral("1"))
                                  << 3 << QStringList { QStringLiteral("sole") };
        QTest::newRow("normalised keyword")
            << fullText(QStringLiteral("più"), QString()) << 1 << QStringList { QStringLiteral("perché") };
        QTest::newRow("no match") << fullText(QStringLiteral("luna"), QString()) << 0 << QStringList();
        QTest::newRow("apostrophe in the word")
            << fullText(QStringLiteral("dell'ombra"), QString()) << 0 << QStringList();
        QTest::newRow("malformed scope") << fullText(QStringLiteral("sole"), QStringLiteral("1 or 1=1")) << -1
                                         << QStringList();
        QTest::newRow("malformed offset") << fullText(QStringLiteral("sole"), QString(), QStringLiteral("0"),
            QStringLiteral("1)")) << -1 << QStringList();
        QTest::newRow("empty type is full text") << SearchRunner::entry(
            QStringLiteral("ft"), QStringLiteral("sole"), QStringLiteral("0"), QStringLiteral("1"), QString())
                                                 << 6 << QStringList { QStringLiteral("sole") };
    }

    void keywordSearch()
    {
        QFETCH(Search::Request, request);
        QFETCH(int, total);
        QFETCH(QStringList, words);
        const SearchRunner::Outcome outcome = SearchRunner::search(request);
        QVERIFY2(
            outcome.literal.startsWith(QStringLiteral("{tot:%1,result: [").arg(total)), qPrintable(outcome.literal));
        QVERIFY(outcome.literal.endsWith(QStringLiteral("], isLemmatizzata:false}")));
        QCOMPARE(outcome.words, words);
    }

    void fullTextDiagnostics()
    {
        SearchState state;
        searchOnBookFullText(&state, QStringLiteral("ft"), QStringLiteral("sole"), QString(), QStringLiteral("0"),
            QStringLiteral("10"), QStringLiteral("it"));
        const QStringList& lines = TestSupport::recorded().diagnostics;
        QCOMPARE(lines.first(), QStringLiteral("Ricerca full text (keyword)\n"));
        QVERIFY(lines.contains(QStringLiteral("Result: 6\n")));
        QVERIFY(TestSupport::diagnosticsContain(QStringLiteral("Query: SELECT COUNT(*) FROM (SELECT id_zenta")));
        searchOnBookFullText(&state, QStringLiteral("ft"), QStringLiteral("luna"), QString(), QStringLiteral("0"),
            QStringLiteral("10"), QStringLiteral("it"));
        QCOMPARE(lines.last(), QStringLiteral("searchOnBookFullText: Nessun risultato\n"));
    }

    void wordList_data()
    {
        QTest::addColumn<QString>("word");
        QTest::addColumn<QString>("from");
        QTest::addColumn<QString>("to");
        QTest::addColumn<int>("total");
        QTest::addColumn<QStringList>("words");
        QStringList rows21to30;
        for (int i = 21; i <= 30; ++i)
            rows21to30 << QStringLiteral("Parola%1").arg(i);
        QTest::newRow("from 20, 10 rows")
            << QStringLiteral("parola") << QStringLiteral("20") << QStringLiteral("10") << 45 << rows21to30;
        QTest::newRow("any case") << QStringLiteral("PAROLA") << QStringLiteral("20") << QStringLiteral("10") << 45
                                  << rows21to30;
        QTest::newRow("shorter prefix") << QStringLiteral("pa") << QStringLiteral("0") << QStringLiteral("2") << 46
                                        << QStringList { QStringLiteral("pane"), QStringLiteral("Parola01") };
        QTest::newRow("past the end") << QStringLiteral("parola") << QStringLiteral("45") << QStringLiteral("10") << 45
                                      << QStringList();
        QTest::newRow("no match") << QStringLiteral("zz") << QStringLiteral("0") << QStringLiteral("10") << 0
                                  << QStringList();
        QTest::newRow("apostrophe") << QStringLiteral("l'a") << QStringLiteral("0") << QStringLiteral("10") << 1
                                    << QStringList { QStringLiteral("l'altro") };
        QTest::newRow("malformed from") << QStringLiteral("parola") << QStringLiteral("0 --") << QStringLiteral("10")
                                        << -1 << QStringList();
    }

    void wordList()
    {
        QFETCH(QString, word);
        QFETCH(QString, from);
        QFETCH(QString, to);
        QFETCH(int, total);
        QFETCH(QStringList, words);
        const SearchRunner::Outcome outcome = SearchRunner::wordList(
            Analitic::Request { word, from, to, QStringLiteral("list"), QStringLiteral("cb"), QStringLiteral("it") });
        QVERIFY2(
            outcome.literal.startsWith(QStringLiteral("{tot:%1,result: [").arg(total)), qPrintable(outcome.literal));
        QVERIFY(outcome.literal.endsWith(QStringLiteral("]}")));
        QVERIFY(!outcome.literal.contains(QStringLiteral("isLemmatizzata")));
        QCOMPARE(outcome.words, words);
    }

    void wordListOfAMissingDictionary()
    {
        const SearchRunner::Outcome outcome
            = SearchRunner::wordList(Analitic::Request { QStringLiteral("a"), QStringLiteral("0"), QStringLiteral("10"),
                QStringLiteral("none"), QStringLiteral("cb"), QStringLiteral("it") });
        QCOMPARE(outcome.literal, QStringLiteral("{tot:0,result: []}"));
    }

    void scopes_data()
    {
        QTest::addColumn<QString>("sku");
        QTest::addColumn<int>("access");
        QTest::addColumn<QString>("literal");
        QTest::newRow("by name") << QStringLiteral("ft") << int(DatabaseAccess::Opened)
                                 << QStringLiteral("{tot:3, result:[{id:3, nome:'Arte dell\\\\u0027ombra'}, "
                                                   "{id:1, nome:'Astronomia'}, {id:2, nome:'Botanica'}]}");
        QTest::newRow("no scopes") << QStringLiteral("noscopes") << int(DatabaseAccess::Opened)
                                   << QStringLiteral("{tot:0, result:[]}");
        QTest::newRow("not installed") << QStringLiteral("none") << int(DatabaseAccess::Missing)
                                       << QStringLiteral("{tot:0, result:[]}");
    }

    void scopes()
    {
        QFETCH(QString, sku);
        QFETCH(int, access);
        QFETCH(QString, literal);
        QSqlDatabase connection = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("shared"));
        connection.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=10"));
        QList<Scope> list;
        QCOMPARE(int(readScopes(connection, sku, list)), access);
        QCOMPARE(ResultLiteral::scopes(list), literal);
        QVERIFY(!connection.isOpen());
        QCOMPARE(connection.connectOptions(), QStringLiteral("QSQLITE_BUSY_TIMEOUT=10"));
        connection = QSqlDatabase();
        QSqlDatabase::removeDatabase(QStringLiteral("shared"));
    }

    void scopesOfAnUnopenableDatabase()
    {
        QVERIFY(QDir().mkpath(TestDictionary::bookDirectory(QStringLiteral("rotto")) + QStringLiteral("/database.db")));
        {
            QSqlDatabase connection = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("shared"));
            QList<Scope> list;
            QCOMPARE(readScopes(connection, QStringLiteral("rotto"), list), DatabaseAccess::OpenFailed);
            QVERIFY(list.isEmpty());
        }
        QSqlDatabase::removeDatabase(QStringLiteral("shared"));
    }
};

VOCALUME_TEST_MAIN(TestSearchFullText)
#include "tst_searchfulltext.moc"
