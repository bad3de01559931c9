// The search statements: each reaches its rows through an index (a full scan of a large table
// costs milliseconds per search); the values they embed; the hash of the forms they look for.
#include "search/searchstatements.h"
#include "search/sqltext.h"
#include "tests/support/testdictionary.h"
#include "tools/packagebuilder/syntheticdictionary.h"

#include <QRegularExpression>

class TestSearchPlans : public QObject {
    Q_OBJECT
private:
    QTemporaryDir dir;
    SyntheticDictionary::Shape shape;

private slots:
    void initTestCase()
    {
        shape.entries = 30000;
        DictionaryBuilder builder;
        DictionaryBuilder::Options options;
        options.writeContent = false;
        QVERIFY(builder.open(dir.path(), options) && builder.addAll(SyntheticDictionary(shape)) && builder.finish());
    }

    void everyStatementUsesAnIndex_data()
    {
        QTest::addColumn<QByteArray>("statement");
        const SyntheticDictionary dictionary(shape);
        for (const QString& w : { dictionary.headwordOf(12345), dictionary.headwordOf(12345).left(2),
                                  dictionary.entry(12345).keywords.first() }) {
            const SearchWordForms f = searchWordForms(w, "it");
            const QByteArray tag = w.toUtf8() + ": ";
            QTest::newRow(tag + "entry count") << SearchStatements::entryCount(f, "it");
            QTest::newRow(tag + "entry exact") << SearchStatements::entryExact(f, "it");
            QTest::newRow(tag + "entry related") << SearchStatements::entryRelated(f, "it", "0", "10");
            QTest::newRow(tag + "full text count") << SearchStatements::fullTextCount(f, "it", "");
            QTest::newRow(tag + "full text page") << SearchStatements::fullTextPage(f, "it", "", "10", "10");
            QTest::newRow(tag + "scoped count") << SearchStatements::fullTextCount(f, "it", "3");
            QTest::newRow(tag + "scoped page") << SearchStatements::fullTextPage(f, "it", "3", "0", "10");
            QTest::newRow(tag + "word list count") << SearchStatements::wordListCount(f, "it");
            QTest::newRow(tag + "word list page") << SearchStatements::wordListPage(f, "it", "20", "10");
        }
        QTest::newRow("file lookup") << SearchStatements::fileName("17");
        QTest::newRow("scopes") << SearchStatements::scopes();
    }

    void everyStatementUsesAnIndex()
    {
        QFETCH(QByteArray, statement);
        const QStringList lines = TestDictionary::rows(dir.filePath("database.db"), "EXPLAIN QUERY PLAN " + statement);
        QVERIFY(!lines.isEmpty());
        // "SCAN (subquery-n)" walks an already reduced result; the scopes table is tiny and read
        // in order through its own index.
        static const QRegularExpression fullScan(
            "^SCAN (lemma|file|file_lemma|lemmatizzatore|keyword|keyword_lemma|lemma_ambito|l|f|fl|k|kl|la)\\b");
        for (const QString& line : lines) {
            QVERIFY2(!line.startsWith("ERROR"), qPrintable(line));
            QVERIFY2(!fullScan.match(line.section('|', 3)).hasMatch(), qPrintable(lines.join("\n")));
        }
    }

    // The hash the dictionaries store for each inflected form, of its decoded, lower-cased bytes.
    void inflectionHash_data()
    {
        QTest::addColumn<QString>("word");
        QTest::addColumn<quint32>("hash");
        QTest::newRow("abc") << "abc" << quint32(891568578);
        QTest::newRow("lower-cased, then percent-decoded") << "%61BC" << quint32(891568578);
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
        for (const char* whole : { "0", "00", "10" })
            QTest::newRow(whole) << whole << true;
        // Blanks, signs, expressions, fractions, other scripts' digits, too many digits.
        for (const char* text : { "", "-1", " 1", "1 union select 1", "1.5", "\u0661", "1234567890123456789" })
            QTest::addRow("'%s'", text) << QString::fromUtf8(text) << false;
    }

    void wholeNumbers()
    {
        QFETCH(QString, text);
        QFETCH(bool, whole);
        QCOMPARE(SqlText::isWholeNumber(text), whole);
    }

    // One literal, nothing after it; a zero character (in no dictionary) would end the statement.
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
        const QByteArray select = "SELECT " + SqlText::quoted(value.toUtf8());
        QCOMPARE(TestDictionary::rows(":memory:", select), QStringList { literal });
    }
};

VOCALUME_TEST_MAIN(TestSearchPlans)
#include "tst_searchplans.moc"
