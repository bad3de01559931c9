// Keyword (full text) searches, word lists and scope lists on small installed dictionaries.
#include "base/appsettings.h"
#include "search/scopelist.h"
#include "tests/support/searchrunner.h"
#include "tests/support/testdictionary.h"

#include <QSqlDatabase>

using TestDictionary::entry;
Q_DECLARE_METATYPE(DatabaseAccess)

namespace {
Search::Request fullText(const QString& word, const QString& scope, const QString& start = "0",
                         const QString& offset = "10")
{
    return SearchRunner::entry("ft", word, start, offset, "2", scope);
}
}

class TestSearchFullText : public QObject {
    Q_OBJECT
private slots:
    void initTestCase()
    {
        TestDictionary::resetHome("à|è|ì|ò|ù", "a|e|i|o|u");
        QVERIFY(TestDictionary::install(
            "ft", { entry("solare", "agg.", {}, { "sole" }, { "Astronomia" }),
                    entry("sole", "s.m.", {}, {}, { "Astronomia" }),
                    entry("girasole", "s.m.", {}, { "sole" }, { "Botanica" }),
                    entry("Meridiana", "s.f.", {}, { "sole" }, { "Astronomia" }),
                    entry("ombra", "s.f.", {}, { "sole" }, { "Arte dell'ombra" }),
                    entry("perché", "cong.", {}, { "più" }), entry("città", "s.f.", {}, { "sole" }),
                    entry("sole", "s.m.", {}, {}, {}, "en") }));
        QVERIFY(TestDictionary::install("noscopes", { entry("casa") }));
        QList<DictionaryEntry> many;
        for (int i = 45; i >= 1; --i)
            many << entry(QStringLiteral("Parola%1").arg(i, 2, 10, QLatin1Char('0')));
        many << entry("pane") << entry("l'altro");
        QVERIFY(TestDictionary::install("list", many, 7));
        QVERIFY(QDir().mkpath(TestDictionary::bookDirectory("rotto") + "/database.db"));
    }

    void keywordSearch_data()
    {
        QTest::addColumn<Search::Request>("request");
        QTest::addColumn<int>("total");
        QTest::addColumn<QStringList>("words");
        const QStringList all { "sole", "città", "girasole", "Meridiana", "ombra", "solare" };
        QTest::newRow("headword first, then keyword entries by name") << fullText("sole", "") << 6 << all;
        QTest::newRow("scope") << fullText("sole", "1") << 3 << QStringList { "sole", "Meridiana", "solare" };
        QTest::newRow("scope without the headword") << fullText("sole", "2") << 1 << QStringList { "girasole" };
        QTest::newRow("scope 0 is a scope that does not exist") << fullText("sole", "0") << 0 << QStringList();
        QTest::newRow("second page") << fullText("sole", "", "2", "2") << 6 << QStringList { "girasole", "Meridiana" };
        QTest::newRow("normalised keyword") << fullText("più", "") << 1 << QStringList { "perché" };
        QTest::newRow("no match") << fullText("luna", "") << 0 << QStringList();
        QTest::newRow("apostrophe in the word") << fullText("dell'ombra", "") << 0 << QStringList();
        QTest::newRow("malformed scope") << fullText("sole", "1 or 1=1") << -1 << QStringList();
        QTest::newRow("malformed offset") << fullText("sole", "", "0", "1)") << -1 << QStringList();
        QTest::newRow("empty type is full text") << SearchRunner::entry("ft", "sole", "0", "1", "") << 6
                                                 << QStringList { "sole" };
    }

    void keywordSearch()
    {
        QFETCH(Search::Request, request);
        QFETCH(int, total);
        QFETCH(QStringList, words);
        const SearchRunner::Outcome outcome = SearchRunner::search(request);
        QVERIFY2(outcome.literal.startsWith(QString("{tot:%1,result: [").arg(total)), qPrintable(outcome.literal));
        QVERIFY(outcome.literal.endsWith("], isLemmatizzata:false}"));
        QCOMPARE(outcome.words, words);
    }

    void wordList_data()
    {
        QTest::addColumn<QString>("sku");
        QTest::addColumn<QString>("word");
        QTest::addColumn<QString>("from");
        QTest::addColumn<QString>("to");
        QTest::addColumn<int>("total");
        QTest::addColumn<QStringList>("words");
        QStringList rows21to30;
        for (int i = 21; i <= 30; ++i)
            rows21to30 << QStringLiteral("Parola%1").arg(i);
        QTest::newRow("from 20, 10 rows") << "list" << "parola" << "20" << "10" << 45 << rows21to30;
        QTest::newRow("any case") << "list" << "PAROLA" << "20" << "10" << 45 << rows21to30;
        QTest::newRow("shorter prefix") << "list" << "pa" << "0" << "2" << 46 << QStringList { "pane", "Parola01" };
        QTest::newRow("past the end") << "list" << "parola" << "45" << "10" << 45 << QStringList();
        QTest::newRow("no match") << "list" << "zz" << "0" << "10" << 0 << QStringList();
        QTest::newRow("apostrophe") << "list" << "l'a" << "0" << "10" << 1 << QStringList { "l'altro" };
        QTest::newRow("malformed from") << "list" << "parola" << "0 --" << "10" << -1 << QStringList();
        QTest::newRow("missing dictionary") << "none" << "a" << "0" << "10" << 0 << QStringList();
    }

    void wordList()
    {
        QFETCH(QString, sku);
        QFETCH(QString, word);
        QFETCH(QString, from);
        QFETCH(QString, to);
        QFETCH(int, total);
        QFETCH(QStringList, words);
        const auto outcome = SearchRunner::wordList(Analitic::Request { word, from, to, sku, "cb", "it" });
        QVERIFY2(outcome.literal.startsWith(QString("{tot:%1,result: [").arg(total)), qPrintable(outcome.literal));
        QVERIFY(outcome.literal.endsWith("]}")); // no isLemmatizzata field
        QCOMPARE(outcome.words, words);
    }

    void scopes_data()
    {
        QTest::addColumn<QString>("sku");
        QTest::addColumn<DatabaseAccess>("access");
        QTest::addColumn<QString>("literal");
        QTest::newRow("by name") << "ft" << DatabaseAccess::Opened
                                 << "{tot:3, result:[{id:3, nome:'Arte dell\\\\u0027ombra'}, "
                                    "{id:1, nome:'Astronomia'}, {id:2, nome:'Botanica'}]}";
        QTest::newRow("no scopes") << "noscopes" << DatabaseAccess::Opened << "{tot:0, result:[]}";
        QTest::newRow("not installed") << "none" << DatabaseAccess::Missing << "{tot:0, result:[]}";
        QTest::newRow("unopenable") << "rotto" << DatabaseAccess::OpenFailed << "{tot:0, result:[]}";
    }

    void scopes()
    {
        QFETCH(QString, sku);
        QFETCH(DatabaseAccess, access);
        QFETCH(QString, literal);
        {
            QSqlDatabase connection = QSqlDatabase::addDatabase("QSQLITE", "shared");
            connection.setConnectOptions("QSQLITE_BUSY_TIMEOUT=10");
            QList<Scope> list;
            QCOMPARE(readScopes(connection, sku, list), access);
            QCOMPARE(ResultLiteral::scopes(list), literal);
            QVERIFY(!connection.isOpen());
            QCOMPARE(connection.connectOptions(), QStringLiteral("QSQLITE_BUSY_TIMEOUT=10"));
        }
        QSqlDatabase::removeDatabase("shared");
    }
};

VOCALUME_TEST_MAIN(TestSearchFullText)
#include "tst_searchfulltext.moc"
