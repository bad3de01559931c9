// What the page receives of a dictionary's texts, the inflection hash and the values a search
// statement may embed. (The literals' shapes are checked where the searches run.)
#include "search/resultliteral.h"
#include "search/searchstatements.h"
#include "search/sqltext.h"
#include "tests/support/testsupport.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QWebFrame>
#include <QWebPage>
#include <sqlite3.h>

class TestSearchLiterals : public QObject {
    Q_OBJECT
private slots:
    // Whatever a dictionary holds, the page receives exactly that text (the headword with its
    // apostrophes as "&apos;") and nothing in it can end the strings it travels in.
    void hostileTextsReachThePageIntact_data()
    {
        QTest::addColumn<QString>("text");
        QTest::newRow("apostrophe") << "dell'anno";
        QTest::newRow("backslash") << "a\\b\\";
        QTest::newRow("backslash before quote") << "x\\'); alert(1); ('";
        QTest::newRow("double quote") << "\"); alert(1); (\"";
        QTest::newRow("line breaks") << "a\nb\rc" + QString(QChar(0x2028)) + "d" + QChar(0x2029);
        QTest::newRow("end of script") << "</script><script>alert(1)</script>";
        QTest::newRow("accents and tab") << "perché\tpiù";
    }

    void hostileTextsReachThePageIntact()
    {
        QFETCH(QString, text);
        QWebPage page;
        // The page reads a literal as the engine's SignalQt does, from inside a quoted string.
        const auto read = [&page](const QString& quote, const QString& literal) {
            const QString script = "JSON.stringify(eval('(' + " + quote + literal + quote + " + ')'))";
            return QJsonDocument::fromJson(page.mainFrame()->evaluateJavaScript(script).toString().toUtf8()).object();
        };
        const QList<SearchResult> results { { text, text, text, text, text, "sku" } };
        const QJsonArray items { QJsonObject { { "idzenta", text }, { "word", QString(text).replace('\'', "&apos;") },
                                               { "file", text }, { "omo", text }, { "hw", text } } };
        QCOMPARE(read("'", ResultLiteral::search(results, 1, "fullText")),
                 QJsonObject({ { "tot", 1 }, { "result", items }, { "isLemmatizzata", false } }));
        QCOMPARE(read("'", ResultLiteral::wordList(results, 3)), QJsonObject({ { "tot", 3 }, { "result", items } }));
        const QJsonArray scopes { QJsonObject { { "id", 4 }, { "nome", text } }, QJsonObject { { "id", text }, { "nome", "x" } } };
        QCOMPARE(read("\"", ResultLiteral::scopes({ { "4", text }, { text, "x" } })),
                 QJsonObject({ { "tot", 2 }, { "result", scopes } }));
    }

    // The hash the dictionaries store for each inflected form, of its decoded, lower-cased bytes.
    void inflectionHash_data()
    {
        QTest::addColumn<QString>("word");
        QTest::addColumn<quint32>("hash");
        QTest::newRow("abc") << "abc" << quint32(891568578);
        QTest::newRow("lower-cased first") << "ABC" << quint32(891568578);
        QTest::newRow("percent-decoded") << "%61bc" << quint32(891568578);
        QTest::newRow("utf-8 bytes") << "à" << quint32(0x77d8359a);
        QTest::newRow("encoded utf-8") << "%C3%A0" << quint32(0x77d8359a);
    }

    void inflectionHash()
    {
        QFETCH(QString, word);
        QFETCH(quint32, hash);
        QCOMPARE(::inflectionHash(word), hash);
    }

    void wholeNumbers_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("whole");
        QTest::newRow("0") << "0" << true;
        QTest::newRow("00") << "00" << true;
        QTest::newRow("empty") << "" << false;
        QTest::newRow("negative") << "-1" << false;
        QTest::newRow("blank") << " 1" << false;
        QTest::newRow("expression") << "1 union select 1" << false;
        QTest::newRow("fraction") << "1.5" << false;
        QTest::newRow("arabic digits") << QString(QChar(0x0661)) << false;
        QTest::newRow("too long") << "1234567890123456789" << false;
    }

    void wholeNumbers()
    {
        QFETCH(QString, text);
        QFETCH(bool, whole);
        QCOMPARE(SqlText::isWholeNumber(text), whole);
    }

    // A quoted value is one literal, with nothing after it. A zero character would end the
    // statement there; no dictionary text holds one, so it is dropped.
    void quotedValuesAreOneLiteral_data()
    {
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("literal");
        QTest::newRow("apostrophes") << "l'a''" << "l'a''";
        QTest::newRow("statement") << "'; DROP TABLE lemma; --" << "'; DROP TABLE lemma; --";
        QTest::newRow("zero character") << QStringLiteral("ca") + QChar(0) + QStringLiteral("sa") << "casa";
        QTest::newRow("zero then apostrophe") << QString(QChar(0)) + QStringLiteral("'x") << "'x";
    }

    void quotedValuesAreOneLiteral()
    {
        QFETCH(QString, value);
        QFETCH(QString, literal);
        sqlite3* db = nullptr;
        QCOMPARE(sqlite3_open(":memory:", &db), SQLITE_OK);
        QString selected; // every row of every statement run
        const auto collect = [](void* out, int, char** columns, char**) {
            *static_cast<QString*>(out) += QString::fromUtf8(columns[0]);
            return 0;
        };
        const QByteArray sql = "SELECT " + SqlText::quoted(value.toUtf8());
        const int rc = sqlite3_exec(db, sql.constData(), collect, &selected, nullptr);
        sqlite3_close(db);
        QCOMPARE(rc, SQLITE_OK);
        QCOMPARE(selected, literal);
    }
};

VOCALUME_TEST_MAIN(TestSearchLiterals)
#include "tst_searchliterals.moc"
