#include "app/appsettings.h"
#include "tests/support/testsupport.h"
#include "web/charnormalizer.h"

#include <QApplication>
#include <QThread>

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
        QTest::newRow("accents") << QStringLiteral("à|è|ì|ò|ù") << QStringLiteral("a|e|i|o|u")
                                 << QStringLiteral("perché più") << QStringLiteral("perché piu");
        QTest::newRow("first pair first")
            << QStringLiteral("ae|a") << QStringLiteral("x|y") << QStringLiteral("aea") << QStringLiteral("xy");
        QTest::newRow("later pairs see earlier output")
            << QStringLiteral("a|b") << QStringLiteral("b|c") << QStringLiteral("ab") << QStringLiteral("cc");
        QTest::newRow("case-sensitive") << QStringLiteral("à") << QStringLiteral("a") << QStringLiteral("Àà")
                                        << QStringLiteral("Àa");
        QTest::newRow("longer sequences") << QStringLiteral("ß|æ") << QStringLiteral("ss|ae")
                                          << QStringLiteral("straße æon") << QStringLiteral("strasse aeon");
        QTest::newRow("empty pair changes nothing")
            << QString() << QString() << QStringLiteral("casa") << QStringLiteral("casa");
        QTest::newRow("empty start inserts everywhere")
            << QString() << QStringLiteral("-") << QStringLiteral("ab") << QStringLiteral("-a-b-");
    }

    void appliesTheLanguageTable()
    {
        QFETCH(QString, start);
        QFETCH(QString, end);
        QFETCH(QString, input);
        QFETCH(QString, expected);
        AppSettings settings;
        settings.setStartCharset(start, QStringLiteral("7"));
        settings.setEndCharset(end, QStringLiteral("7"));
        QCOMPARE(normalizeText(QStringLiteral("7"), input), expected);
        QVERIFY(!TestSupport::diagnosticsContain(QStringLiteral("diverso numero")));
    }

    void noTableLeavesTheTextAlone()
    {
        QCOMPARE(normalizeText(QStringLiteral("unknown"), QStringLiteral("città")), QStringLiteral("città"));
        QVERIFY(TestSupport::recorded().diagnostics.isEmpty());
    }

    void listsOfDifferentLengthAreReportedAndIgnored()
    {
        AppSettings settings;
        settings.setStartCharset(QStringLiteral("à|è"), QStringLiteral("1"));
        settings.setEndCharset(QStringLiteral("a"), QStringLiteral("1"));
        QCOMPARE(normalizeText(QStringLiteral("1"), QStringLiteral("là è")), QStringLiteral("là è"));
        QVERIFY(TestSupport::recorded().diagnostics.contains(
            QStringLiteral("Errore, i due charset hanno un diverso numero di elementi\n")));
    }

    void aTableStoredLaterTakesEffectAtTheNextCall()
    {
        QCOMPARE(normalizeText(QStringLiteral("2"), QStringLiteral("è")), QStringLiteral("è"));
        AppSettings settings;
        settings.setStartCharset(QStringLiteral("è"), QStringLiteral("2"));
        settings.setEndCharset(QStringLiteral("e"), QStringLiteral("2"));
        QCOMPARE(normalizeText(QStringLiteral("2"), QStringLiteral("è")), QStringLiteral("e"));
    }

    void runsOnWorkerThreads()
    {
        AppSettings settings;
        settings.setStartCharset(QStringLiteral("à|ù"), QStringLiteral("1"));
        settings.setEndCharset(QStringLiteral("a|u"), QStringLiteral("1"));
        QVector<QString> results(4);
        QList<QThread*> threads;
        for (int i = 0; i < results.size(); ++i)
            threads << QThread::create([&results, i] {
                QString out;
                for (int n = 0; n < 50; ++n)
                    out = normalizeText(QStringLiteral("1"), QStringLiteral("virtù e bontà"));
                results[i] = out;
            });
        for (QThread* thread : threads)
            thread->start();
        for (QThread* thread : threads) {
            QVERIFY(thread->wait(20000));
            delete thread;
        }
        for (const QString& result : results)
            QCOMPARE(result, QStringLiteral("virtu e bonta"));
    }
};

VOCALUME_TEST_MAIN(TestCharNormalizer)
#include "tst_charnormalizer.moc"
