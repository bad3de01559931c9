// "Forse cercavi": the headwords closest in spelling to a word that matched nothing.
#include "search/headwordsuggestions.h"
#include "tests/support/testdictionary.h"

using TestDictionary::entry;

class TestHeadwordSuggestions : public QObject {
    Q_OBJECT
private slots:
    void initTestCase()
    {
        TestDictionary::resetHome("à|è|é|ì|ò|ù", "a|e|e|i|o|u");
        QVERIFY(TestDictionary::install("voc", { entry("casa"), entry("cassa"), entry("cosa"), entry("città"),
                                                 entry("casale"), entry("Roma"), entry("andare"),
                                                 entry("case", "n.", {}, {}, {}, "en") }));
        QVERIFY(TestDictionary::install("altro", { entry("mare") }));
    }

    // Words of up to four letters allow one edit, longer ones two; a swap of neighbours is one.
    void suggest_data()
    {
        QTest::addColumn<QString>("sku");
        QTest::addColumn<QString>("word");
        QTest::addColumn<QString>("language");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("one letter wrong") << "voc" << "caza" << "it" << QStringList { "casa" };
        QTest::newRow("two letters swapped") << "voc" << "csaa" << "it" << QStringList { "casa" };
        QTest::newRow("two edits in a longer word") << "voc" << "cassalle" << "it" << QStringList { "casale" };
        QTest::newRow("accents ignored") << "voc" << "citta" << "it" << QStringList { "città" };
        QTest::newRow("case ignored") << "voc" << "ROMMA" << "it" << QStringList { "Roma" };
        QTest::newRow("short words allow one edit") << "voc" << "cza" << "it" << QStringList();
        QTest::newRow("other language") << "voc" << "cas" << "en" << QStringList { "case" };
        QTest::newRow("nothing typed") << "voc" << "  " << "it" << QStringList();
        QTest::newRow("not installed") << "nessuno" << "casa" << "it" << QStringList();
        QTest::newRow("outside the books") << "../voc" << "casa" << "it" << QStringList();
    }

    void suggest()
    {
        QFETCH(QString, sku);
        QFETCH(QString, word);
        QFETCH(QString, language);
        QFETCH(QStringList, expected);
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
        s.prepare("voc", "it");
        QTRY_COMPARE(ready.count(), 1);
        QCOMPARE(ready.at(0), QVariantList({ "voc", "it" }));
        QVERIFY(!s.isReady("altro", "it"));
        QCOMPARE(s.suggest("voc", "caza", "it", 5, &waiting), QStringList { "casa" });
        QVERIFY(!waiting);
        QScopedPointer<HeadwordSuggestions> going(new HeadwordSuggestions);
        going->prepare("altro", "it");
    }
};

VOCALUME_TEST_MAIN(TestHeadwordSuggestions)
#include "tst_headwordsuggestions.moc"
