// The object published beside the bridge: closest headwords as JSON, and where a word stands in
// the whole alphabetical word list.
#include "app/appsettings.h"
#include "tests/support/searchrunner.h"
#include "tests/support/testdictionary.h"
#include "web/pageservices.h"

#include <QJsonArray>
#include <QJsonDocument>

using TestDictionary::entry;

class TestPageServices : public QObject {
    Q_OBJECT
private slots:
    void init()
    {
        TestSupport::resetHome();
        AppSettings settings;
        settings.setStartCharset("à|è|ì|ò|ù", "it");
        settings.setEndCharset("a|e|i|o|u", "it");
        QVERIFY(TestDictionary::install("voc",
            { entry("casa"), entry("Roma"), entry("andare"), entry("città"), entry("casale"), entry("po'"),
                entry("zucca"), entry("case", "n.", {}, {}, {}, "en") }));
    }

    void suggestionsAsJson()
    {
        PageServices services;
        QCOMPARE(services.suggest("voc", "caza", "it"), QStringLiteral("[\"casa\"]"));
        QCOMPARE(services.suggest("nessuno", "caza", "it"), QStringLiteral("[]"));
    }

    // The position is the number of rows of the whole word list before the word: the word list
    // read from there starts at the word, or at the first word after it.
    void indexPositionMatchesTheWordList_data()
    {
        QTest::addColumn<QString>("word");
        QTest::addColumn<QString>("first");
        QTest::newRow("a headword") << "casa" << "casa";
        QTest::newRow("between headwords") << "casb" << "città";
        QTest::newRow("capitals") << "roma" << "Roma";
        QTest::newRow("apostrophe") << "po'" << "po'";
        QTest::newRow("before everything") << "a" << "andare";
    }

    void indexPositionMatchesTheWordList()
    {
        QFETCH(QString, word);
        QFETCH(QString, first);
        PageServices services;
        const int position = services.indexPosition("voc", word, "it");
        QVERIFY(position >= 0);
        const auto listed = SearchRunner::wordList(Analitic::Request { "", QString::number(position), "1", "voc", "cb", "it" });
        QCOMPARE(listed.words, QStringList { first });
    }

    void pastTheEndAndMissing()
    {
        PageServices services;
        QCOMPARE(services.indexPosition("voc", "zz", "it"), 7);
        QCOMPARE(services.indexPosition("nessuno", "casa", "it"), -1);
    }
};

VOCALUME_TEST_MAIN(TestPageServices)
#include "tst_pageservices.moc"
