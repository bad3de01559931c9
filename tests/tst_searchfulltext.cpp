// Keyword (full text) searches, word lists and scope lists on small installed dictionaries.
#include "base/appsettings.h"
#include "search/resultliteral.h"
#include "search/scopelist.h"
#include "tests/support/searchrunner.h"
#include "tests/support/testdictionary.h"

#include <QSqlDatabase>

using SearchRunner::listing;
using TestDictionary::entry;
Q_DECLARE_METATYPE(DatabaseAccess)

namespace {
Search::Request keyword(const QString& word, const QString& scope, const QString& start = "0",
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
                    entry("perché", "cong.", {}, { "più" }),
                    entry("città", "s.f.", {}, { "sole" }), entry("sole", "s.m.", {}, {}, {}, "en") }));
        QList<DictionaryEntry> many;
        for (int i = 45; i >= 1; --i)
            many << entry(QStringLiteral("Parola%1").arg(i, 2, 10, QLatin1Char('0')));
        QVERIFY(TestDictionary::install("list", many << entry("pane") << entry("l'altro"), 7));
        QVERIFY(QDir().mkpath(TestDictionary::bookDirectory("rotto") + "/database.db"));
    }

    void answers_data()
    {
        QTest::addColumn<Search::Request>("request");
        QTest::addColumn<int>("total");
        QTest::addColumn<QStringList>("found");
        QTest::newRow("headword first, then keyword entries by name")
            << keyword("sole", "") << 6 << QStringList { "sole", "città", "girasole", "Meridiana", "ombra", "solare" };
        QTest::newRow("scope") << keyword("sole", "1") << 3 << QStringList { "sole", "Meridiana", "solare" };
        QTest::newRow("scope without the headword") << keyword("sole", "2") << 1 << QStringList { "girasole" };
        QTest::newRow("scope 0 does not exist") << keyword("sole", "0") << 0 << QStringList();
        QTest::newRow("second page") << keyword("sole", "", "2", "2") << 6 << QStringList { "girasole", "Meridiana" };
        QTest::newRow("normalised keyword") << keyword("più", "") << 1 << QStringList { "perché" };
        QTest::newRow("apostrophe in the keyword") << keyword("dell'ombra", "") << 0 << QStringList();
        QTest::newRow("malformed scope") << keyword("sole", "1 or 1=1") << -1 << QStringList();
        QTest::newRow("malformed offset") << keyword("sole", "", "0", "1)") << -1 << QStringList();
        QTest::newRow("empty type is full text") << SearchRunner::entry("ft", "sole", "0", "1", "") << 6
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
        QTest::newRow("list, malformed from") << listing("list", "parola", "0 --") << -1 << QStringList();
    }

    void answers()
    {
        QFETCH(Search::Request, request);
        QFETCH(int, total);
        QFETCH(QStringList, found);
        const SearchRunner::Outcome outcome = SearchRunner::answer(request);
        QVERIFY2(SearchRunner::hasTotal(outcome, request, total), qPrintable(outcome.literal));
        QCOMPARE(outcome.words, found);
    }

    // Read through a shared connection, which is left closed with its own options.
    void scopes_data()
    {
        QTest::addColumn<QString>("sku");
        QTest::addColumn<DatabaseAccess>("access");
        QTest::addColumn<QString>("literal");
        QTest::newRow("by name") << "ft" << DatabaseAccess::Opened
                                 << "{tot:3, result:[{id:3, nome:'Arte dell\\\\u0027ombra'}, "
                                    "{id:1, nome:'Astronomia'}, {id:2, nome:'Botanica'}]}";
        QTest::newRow("no scopes") << "list" << DatabaseAccess::Opened << "{tot:0, result:[]}";
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
