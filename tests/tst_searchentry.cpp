#include "app/appsettings.h"
#include "search/booksearch.h"
#include "search/searchstate.h"
#include "tests/support/searchrunner.h"
#include "tests/support/testdictionary.h"
#include "tests/support/testsupport.h"

#include <QApplication>

using TestDictionary::entry;

class TestSearchEntry : public QObject {
    Q_OBJECT
private slots:
    void init()
    {
        TestSupport::resetHome();
        AppSettings settings;
        settings.setStartCharset(QStringLiteral("à|è|é|ì|ò|ù"), QStringLiteral("it"));
        settings.setEndCharset(QStringLiteral("a|e|e|i|o|u"), QStringLiteral("it"));
        DictionaryEntry secondCasa = entry(QStringLiteral("casa"), QStringLiteral("s.f."));
        secondCasa.omo = QStringLiteral("2");
        QVERIFY(TestDictionary::install(QStringLiteral("voc"),
            { entry(QStringLiteral("casato"), QStringLiteral("s.m.")),
                entry(QStringLiteral("casa"), QStringLiteral("s.f."), { QStringLiteral("case") }),
                entry(QStringLiteral("casale"), QStringLiteral("s.m."), { QStringLiteral("casali") }), secondCasa,
                entry(QStringLiteral("Roma"), QStringLiteral("s.f.")),
                entry(QStringLiteral("andare"), QStringLiteral("v.intr."),
                    { QStringLiteral("vado"), QStringLiteral("vanno"), QStringLiteral("andrò") }),
                entry(QStringLiteral("po'"), QStringLiteral("avv.")),
                entry(QStringLiteral("città"), QStringLiteral("s.f.")),
                entry(QStringLiteral("casamento"), QStringLiteral("s.m.")),
                entry(QStringLiteral("case"), QStringLiteral("n."), {}, {}, {}, QStringLiteral("en")) },
            3));
    }

    void findsHeadwordsAndInflectedForms_data()
    {
        QTest::addColumn<Search::Request>("request");
        QTest::addColumn<int>("total");
        QTest::addColumn<QStringList>("words");
        const QStringList casa { QStringLiteral("casa"), QStringLiteral("casa"), QStringLiteral("casale"),
            QStringLiteral("casamento"), QStringLiteral("casato") };
        const QString voc = QStringLiteral("voc");
        QTest::newRow("type 0, exact matches first") << SearchRunner::entry(voc, QStringLiteral("casa")) << 5 << casa;
        QTest::newRow("type 1 is the same search") << SearchRunner::entry(
            voc, QStringLiteral("casa"), QStringLiteral("0"), QStringLiteral("10"), QStringLiteral("1"))
                                                   << 5 << casa;
        QTest::newRow("typed in capitals") << SearchRunner::entry(voc, QStringLiteral("CASA")) << 5 << casa;
        QTest::newRow("start 00 lists no exact match")
            << SearchRunner::entry(voc, QStringLiteral("casa"), QStringLiteral("00")) << 5 << QStringList(casa.mid(2));
        QTest::newRow("start 10 is past the end")
            << SearchRunner::entry(voc, QStringLiteral("casa"), QStringLiteral("10")) << 5 << QStringList();
        QTest::newRow("page of two") << SearchRunner::entry(voc, QStringLiteral("casa"), QStringLiteral("1"),
            QStringLiteral("2")) << 5 << QStringList { QStringLiteral("casamento"), QStringLiteral("casato") };
        QTest::newRow("inflected form only")
            << SearchRunner::entry(voc, QStringLiteral("vanno")) << 1 << QStringList { QStringLiteral("andare") };
        QTest::newRow("inflected form with accent")
            << SearchRunner::entry(voc, QStringLiteral("andrò")) << 1 << QStringList { QStringLiteral("andare") };
        QTest::newRow("form of one language only")
            << SearchRunner::entry(voc, QStringLiteral("case")) << 1 << QStringList { QStringLiteral("casa") };
        QTest::newRow("other source language") << SearchRunner::entry(voc, QStringLiteral("case"), QStringLiteral("0"),
            QStringLiteral("10"), QStringLiteral("0"), QString(), QStringLiteral("en"))
                                               << 1 << QStringList { QStringLiteral("case") };
        QTest::newRow("capitalised headword: no exact match, found by prefix")
            << SearchRunner::entry(voc, QStringLiteral("roma")) << 1 << QStringList { QStringLiteral("Roma") };
        QTest::newRow("normalised input")
            << SearchRunner::entry(voc, QStringLiteral("citta")) << 1 << QStringList { QStringLiteral("città") };
        QTest::newRow("accented input") << SearchRunner::entry(voc, QStringLiteral("città")) << 1
                                        << QStringList { QStringLiteral("città") };
        QTest::newRow("empty word counts every entry")
            << SearchRunner::entry(voc, QString(), QStringLiteral("0"), QStringLiteral("3")) << 9
            << QStringList { QStringLiteral("andare"), QStringLiteral("casa"), QStringLiteral("casa") };
        QTest::newRow("scope does not restrict") << SearchRunner::entry(voc, QStringLiteral("vanno"),
            QStringLiteral("0"), QStringLiteral("10"), QStringLiteral("0"), QStringLiteral("99"))
                                                 << 1 << QStringList { QStringLiteral("andare") };
        QTest::newRow("no match") << SearchRunner::entry(voc, QStringLiteral("zzz")) << 0 << QStringList();
        QTest::newRow("source language with an apostrophe") << SearchRunner::entry(voc, QStringLiteral("casa"),
            QStringLiteral("0"), QStringLiteral("10"), QStringLiteral("0"), QString(), QStringLiteral("i't"))
                                                            << 0 << QStringList();
        QTest::newRow("wildcard typed by the user")
            << SearchRunner::entry(voc, QStringLiteral("cas?to")) << 1 << QStringList();
    }

    void findsHeadwordsAndInflectedForms()
    {
        QFETCH(Search::Request, request);
        QFETCH(int, total);
        QFETCH(QStringList, words);
        const SearchRunner::Outcome outcome = SearchRunner::search(request);
        QVERIFY2(
            outcome.literal.startsWith(QStringLiteral("{tot:%1,result: [").arg(total)), qPrintable(outcome.literal));
        QVERIFY(outcome.literal.endsWith(QStringLiteral("], isLemmatizzata:true}")));
        QCOMPARE(outcome.words, words);
        QVERIFY(!outcome.openFailed);
    }

    void exactMatchLiteral()
    {
        const SearchRunner::Outcome outcome
            = SearchRunner::search(SearchRunner::entry(QStringLiteral("voc"), QStringLiteral("casale")));
        // casale is the third entry: content file voci0001.xhtml holds entries 1 to 3.
        QCOMPARE(outcome.literal,
            QStringLiteral("{tot:1,result: [{idzenta: \\'3\\', word: \\'casale\\', file: "
                           "\\'voci0001.xhtml\\', omo: \\'\\', hw: \\'s.m.\\'}], isLemmatizzata:true}"));
    }

    void relatedEntriesCarryTheirFileNames()
    {
        SearchState state;
        searchOnBookEntry(&state, QStringLiteral("voc"), QStringLiteral("casa"), QString(), QStringLiteral("0"),
            QStringLiteral("it"), QStringLiteral("10"));
        QStringList files;
        for (const SearchResult& r : qAsConst(state.searchResults))
            files << r.id + QLatin1Char('@') + r.file + QLatin1Char('/') + r.sku;
        QCOMPARE(files,
            (QStringList { QStringLiteral("2@voci0001.xhtml/voc"), QStringLiteral("4@voci0002.xhtml/voc"),
                QStringLiteral("3@voci0001.xhtml/voc"), QStringLiteral("9@voci0003.xhtml/voc"),
                QStringLiteral("1@voci0001.xhtml/voc") }));
    }

    void headwordWithAnApostrophe()
    {
        const SearchRunner::Outcome outcome
            = SearchRunner::search(SearchRunner::entry(QStringLiteral("voc"), QStringLiteral("po'")));
        QCOMPARE(outcome.literal,
            QStringLiteral("{tot:1,result: [{idzenta: \\'7\\', word: \\'po&apos;\\', file: "
                           "\\'voci0003.xhtml\\', omo: \\'\\', hw: \\'avv.\\'}], isLemmatizzata:true}"));
    }

    void malformedNumbersRunNoStatement_data()
    {
        QTest::addColumn<QString>("start");
        QTest::addColumn<QString>("offset");
        QTest::newRow("negative offset") << QStringLiteral("0") << QStringLiteral("-1");
        QTest::newRow("empty start") << QString() << QStringLiteral("10");
        QTest::newRow("injected start") << QStringLiteral("0, 10 union select 1,2,3,4,5 --") << QStringLiteral("10");
        QTest::newRow("text offset") << QStringLiteral("0") << QStringLiteral("dieci");
    }

    void malformedNumbersRunNoStatement()
    {
        QFETCH(QString, start);
        QFETCH(QString, offset);
        const SearchRunner::Outcome outcome
            = SearchRunner::search(SearchRunner::entry(QStringLiteral("voc"), QStringLiteral("casa"), start, offset));
        QCOMPARE(outcome.literal, QStringLiteral("{tot:-1,result: [], isLemmatizzata:true}"));
        QVERIFY(!TestSupport::diagnosticsContain(QStringLiteral("select")));
    }

    void missingDatabaseAnswersEmpty_data()
    {
        QTest::addColumn<QString>("sku");
        QTest::newRow("not installed") << QStringLiteral("nessuno");
        QTest::newRow("empty sku") << QString();
        QTest::newRow("path outside the books") << QStringLiteral("../books/voc");
    }

    void missingDatabaseAnswersEmpty()
    {
        QFETCH(QString, sku);
        const SearchRunner::Outcome entries = SearchRunner::search(SearchRunner::entry(sku, QStringLiteral("casa")));
        QCOMPARE(entries.literal, QStringLiteral("{tot:0,result: [], isLemmatizzata:true}"));
        QVERIFY(!entries.openFailed);
        const SearchRunner::Outcome fullText = SearchRunner::search(SearchRunner::entry(
            sku, QStringLiteral("casa"), QStringLiteral("0"), QStringLiteral("10"), QStringLiteral("2")));
        QCOMPARE(fullText.literal, QStringLiteral("{tot:0,result: [], isLemmatizzata:false}"));
        QVERIFY(TestSupport::diagnosticsContain(QStringLiteral("NON esistente")));
    }

    void databasePathIsReportedWhenItExists()
    {
        const QString path = getBookDatabasePath(QStringLiteral("voc"));
        QCOMPARE(path, TestDictionary::bookDirectory(QStringLiteral("voc")) + QStringLiteral("/database.db"));
        QVERIFY(TestSupport::recorded().diagnostics.contains(
            QStringLiteral("Database libro voc: %1 esistente\n").arg(path)));
    }

    void unopenableDatabaseIsRecordedForTheGuiThread()
    {
        QVERIFY(QDir().mkpath(TestDictionary::bookDirectory(QStringLiteral("rotto")) + QStringLiteral("/database.db")));
        for (const QString& type : { QStringLiteral("0"), QStringLiteral("2") }) {
            const SearchRunner::Outcome outcome = SearchRunner::search(SearchRunner::entry(
                QStringLiteral("rotto"), QStringLiteral("casa"), QStringLiteral("0"), QStringLiteral("10"), type));
            QVERIFY(outcome.openFailed);
            QVERIFY(outcome.literal.startsWith(QStringLiteral("{tot:0,result: []")));
        }
        // The worker shows nothing itself.
        QVERIFY(TestSupport::recorded().dialogs.isEmpty());
    }

    void failedStatementsReportMinusOne()
    {
        // A database without the search tables: every statement fails to prepare.
        const QString dir = TestDictionary::bookDirectory(QStringLiteral("vuoto"));
        QVERIFY(QDir().mkpath(dir));
        QFile empty(dir + QStringLiteral("/database.db"));
        QVERIFY(empty.open(QIODevice::WriteOnly));
        empty.close();
        const SearchRunner::Outcome outcome
            = SearchRunner::search(SearchRunner::entry(QStringLiteral("vuoto"), QStringLiteral("casa")));
        QCOMPARE(outcome.literal, QStringLiteral("{tot:-1,result: [], isLemmatizzata:true}"));
        QVERIFY(TestSupport::diagnosticsContain(QStringLiteral("Errori nella query select count(*)")));
        QVERIFY(TestSupport::diagnosticsContain(QStringLiteral("no such table: lemma")));
    }

    void theDictionaryIsNeverWritten()
    {
        const QString path = getBookDatabasePath(QStringLiteral("voc"));
        const QDateTime before = QFileInfo(path).lastModified();
        QFile::setPermissions(path, QFile::ReadOwner);
        const SearchRunner::Outcome outcome
            = SearchRunner::search(SearchRunner::entry(QStringLiteral("voc"), QStringLiteral("vanno")));
        QCOMPARE(outcome.words, QStringList { QStringLiteral("andare") });
        QCOMPARE(QFileInfo(path).lastModified(), before);
        QVERIFY(!QFileInfo::exists(path + QStringLiteral("-journal")));
    }
};

VOCALUME_TEST_MAIN(TestSearchEntry)
#include "tst_searchentry.moc"
