// Text normalisation with the per-language tables the store delivers.
#include "base/appsettings.h"
#include "base/charnormalizer.h"
#include "tests/support/testsupport.h"

#include <QSettings>
#include <thread>

class TestCharNormalizer : public QObject {
    Q_OBJECT
private slots:
    void init() { TestSupport::resetHome(); }

    void appliesTheLanguageTable_data()
    {
        QTest::addColumn<QString>("start");
        QTest::addColumn<QString>("end");
        QTest::addColumn<QString>("input");
        QTest::addColumn<QString>("expected");
        QTest::newRow("accents") << "à|è|ì|ò|ù" << "a|e|i|o|u" << "perché più" << "perché piu";
        QTest::newRow("first pair first") << "ae|a" << "x|y" << "aea" << "xy";
        QTest::newRow("later pairs see earlier output") << "a|b" << "b|c" << "ab" << "cc";
        QTest::newRow("case-sensitive") << "à" << "a" << "Àà" << "Àa";
        QTest::newRow("empty start inserts everywhere") << "" << "-" << "ab" << "-a-b-";
        QTest::newRow("lists of different length are ignored") << "à|è" << "a" << "là è" << "là è";
    }

    // A table stored after a first call takes effect at the next one, on every worker at once.
    void appliesTheLanguageTable()
    {
        QFETCH(QString, start);
        QFETCH(QString, end);
        QFETCH(QString, input);
        QFETCH(QString, expected);
        QCOMPARE(normalizeText("7", input), input);
        QVERIFY(TestSupport::recorded().diagnostics.isEmpty());
        AppSettings settings;
        settings.setStartCharset(start, "7");
        settings.setEndCharset(end, "7");
        QVector<QString> results(4);
        std::vector<std::thread> threads;
        for (QString& result : results)
            threads.emplace_back([&result, &input] { result = normalizeText("7", input); });
        for (std::thread& thread : threads)
            thread.join();
        QCOMPARE(results, QVector<QString>(4, expected));
        const QString mismatch = "Errore, i due charset hanno un diverso numero di elementi\n";
        QCOMPARE(TestSupport::recorded().diagnostics.contains(mismatch), start.count('|') != end.count('|'));
    }

    // The tables are kept between calls, but a settings file written by another program counts.
    void aTableWrittenElsewhereCounts()
    {
        QCOMPARE(normalizeText("8", "là"), QStringLiteral("là"));
        QSettings elsewhere(AppSettings().fileName(), QSettings::NativeFormat);
        elsewhere.setValue("startCharset/8", "à");
        elsewhere.setValue("endCharset/8", "a");
        elsewhere.sync();
        QCOMPARE(normalizeText("8", "là"), QStringLiteral("la"));
    }
};

VOCALUME_TEST_MAIN(TestCharNormalizer)
#include "tst_charnormalizer.moc"
