// "Forse cercavi": the headwords closest in spelling to a word that matched nothing.
#include "app/appsettings.h"
#include "search/headwordsuggestions.h"
#include "tests/support/testdictionary.h"
#include "tools/packagebuilder/syntheticdictionary.h"

#include <QElapsedTimer>

using TestDictionary::entry;

class TestHeadwordSuggestions : public QObject {
    Q_OBJECT
private slots:
    void init()
    {
        TestSupport::resetHome();
        AppSettings settings;
        settings.setStartCharset("à|è|é|ì|ò|ù", "it");
        settings.setEndCharset("a|e|e|i|o|u", "it");
        QVERIFY(TestDictionary::install("voc",
            { entry("casa"), entry("cassa"), entry("cosa"), entry("città"), entry("casale"), entry("Roma"),
                entry("andare"), entry("case", "n.", {}, {}, {}, "en") }));
    }

    void distance_data()
    {
        QTest::addColumn<QString>("a");
        QTest::addColumn<QString>("b");
        QTest::addColumn<int>("expected");
        QTest::newRow("same") << "casa" << "casa" << 0;
        QTest::newRow("changed") << "caza" << "casa" << 1;
        QTest::newRow("added") << "casa" << "cassa" << 1;
        QTest::newRow("swapped") << "csaa" << "casa" << 1;
        QTest::newRow("two edits") << "cazza" << "casa" << 2;
        QTest::newRow("beyond the bound") << "andare" << "casa" << 3;
        QTest::newRow("empty") << "" << "ab" << 2;
    }

    void distance()
    {
        QFETCH(QString, a);
        QFETCH(QString, b);
        QFETCH(int, expected);
        QCOMPARE(HeadwordSuggestions::distance(a, b, 2), expected);
        QCOMPARE(HeadwordSuggestions::distance(b, a, 2), expected);
    }

    void suggest_data()
    {
        QTest::addColumn<QString>("word");
        QTest::addColumn<QString>("language");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("one letter wrong") << "caza" << "it" << QStringList { "casa" };
        QTest::newRow("two letters in a longer word") << "casalle" << "it" << QStringList { "casale" };
        QTest::newRow("accents ignored") << "citta" << "it" << QStringList { "città" };
        QTest::newRow("case ignored") << "ROMMA" << "it" << QStringList { "Roma" };
        QTest::newRow("short words allow one edit") << "cza" << "it" << QStringList();
        QTest::newRow("other language") << "cas" << "en" << QStringList { "case" };
        QTest::newRow("nothing typed") << "  " << "it" << QStringList();
    }

    void suggest()
    {
        QFETCH(QString, word);
        QFETCH(QString, language);
        QFETCH(QStringList, expected);
        HeadwordSuggestions s;
        QCOMPARE(s.suggest("voc", word, language), expected);
    }

    void notInstalledSuggestsNothing()
    {
        HeadwordSuggestions s;
        QCOMPARE(s.suggest("nessuno", "casa", "it"), QStringList());
        QCOMPARE(s.suggest("../voc", "casa", "it"), QStringList());
    }

    // Once the headwords are read, a suggestion walks 200 000 of them well within a keystroke.
    void quickOnALargeDictionary()
    {
        SyntheticDictionary::Shape shape;
        shape.entries = 200000;
        shape.formsPerEntry = 0;
        shape.keywordsPerEntry = 0;
        const SyntheticDictionary dictionary(shape);
        DictionaryBuilder builder;
        DictionaryBuilder::Options options;
        options.writeContent = false;
        QVERIFY(builder.open(TestDictionary::bookDirectory("grande"), options));
        for (int i = 0; i < shape.entries; ++i)
            QVERIFY(builder.add(dictionary.entry(i)));
        QVERIFY(builder.finish());
        HeadwordSuggestions s;
        QElapsedTimer first;
        first.start();
        const QString target = dictionary.headwordOf(123456);
        QString typo = target;
        typo[typo.size() / 2] = QLatin1Char(typo.at(typo.size() / 2) == QLatin1Char('z') ? 'y' : 'z');
        QVERIFY(s.suggest("grande", typo, "it").contains(target));
        const qint64 firstMs = first.elapsed();
        QElapsedTimer later;
        later.start();
        QVERIFY(s.suggest("grande", typo, "it").contains(target));
        const qint64 laterMs = later.elapsed();
        qInfo("first suggestion %lld ms (headwords read), later ones %lld ms", firstMs, laterMs);
        QVERIFY2(laterMs < 100, qPrintable(QString::number(laterMs)));
    }
};

VOCALUME_TEST_MAIN(TestHeadwordSuggestions)
#include "tst_headwordsuggestions.moc"
