// What the page receives of a dictionary's texts, the inflection hash and the numbers a search
// statement may embed. (The literals' shapes are checked where the searches run.)
#include "search/resultliteral.h"
#include "search/searchstatements.h"
#include "search/sqltext.h"
#include "tests/support/testsupport.h"

#include <QWebFrame>
#include <QWebPage>
#include <sqlite3.h>

namespace {
SearchResult row(const QString& id, const QString& word, const QString& file, const QString& omo, const QString& hw)
{
    return SearchResult { file, id, word, omo, hw, "sku" };
}
}

class TestSearchLiterals : public QObject {
    Q_OBJECT
private slots:
    void init() { TestSupport::resetHome(); }

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
        // A page whose SignalQt reads the literal the way the engine's script does.
        QWebPage page;
        page.mainFrame()->setHtml("<html><body><script>var got = null;"
                                  "function SignalQt(cb, literal) { got = eval('(' + literal + ')'); }"
                                  "</script></body></html>");
        const auto deliver = [&page](const QString& statement, const QString& expression) {
            page.mainFrame()->evaluateJavaScript("got = null;" + statement);
            return page.mainFrame()->evaluateJavaScript(expression);
        };
        QString word = text;
        word.replace('\'', "&apos;");

        const QList<SearchResult> results { row(text, text, text, text, text) };
        const QString search = "SignalQt('cb', '" + ResultLiteral::search(results, 1, "fullText") + "')";
        QCOMPARE(deliver(search, "got.result[0].word").toString(), word);
        for (const char* key : { "idzenta", "file", "omo", "hw" })
            QCOMPARE(deliver(search, QStringLiteral("got.result[0].") + key).toString(), text);
        QCOMPARE(deliver(search, "got.isLemmatizzata").toBool(), false);

        const QString words = "SignalQt('cb', '" + ResultLiteral::wordList(results, 3) + "')";
        QCOMPARE(deliver(words, "got.tot").toInt(), 3);
        QCOMPARE(deliver(words, "got.result[0].word").toString(), word);

        const QString scopes = "SignalQt('cb', \"" + ResultLiteral::scopes({ { "4", text }, { text, "x" } }) + "\")";
        QCOMPARE(deliver(scopes, "got.result[0].nome").toString(), text);
        QCOMPARE(deliver(scopes, "got.result[0].id").toInt(), 4);
        QCOMPARE(deliver(scopes, "got.result[1].id").toString(), text);
    }

    void inflectionHash_data()
    {
        QTest::addColumn<QString>("word");
        QTest::addColumn<quint32>("hash");
        QTest::newRow("abc") << "abc" << quint32(891568578);
        QTest::newRow("lower-cased first") << "ABC" << quint32(891568578);
        QTest::newRow("percent-decoded") << "%61bc" << quint32(891568578);
        QTest::newRow("empty") << "" << quint32(0);
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

    // A quoted value is one SQL literal holding the value: nothing after it is left unparsed.
    // A zero character cannot be part of a literal (the statement would end there); no
    // dictionary text holds one, so it is dropped.
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
        const QByteArray sql = "SELECT " + SqlText::quoted(value.toUtf8());
        sqlite3_stmt* statement = nullptr;
        const char* tail = nullptr;
        const int rc = sqlite3_prepare_v2(db, sql.constData(), sql.size(), &statement, &tail);
        QString selected;
        if (rc == SQLITE_OK && sqlite3_step(statement) == SQLITE_ROW)
            selected = QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(statement, 0)));
        const bool whole = tail == sql.constData() + sql.size();
        sqlite3_finalize(statement);
        sqlite3_close(db);
        QCOMPARE(rc, SQLITE_OK);
        QVERIFY(whole);
        QCOMPARE(selected, literal);
    }
};

VOCALUME_TEST_MAIN(TestSearchLiterals)
#include "tst_searchliterals.moc"
