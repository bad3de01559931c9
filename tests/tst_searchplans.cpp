// Every statement of the searches must reach its rows through an index on a dictionary of
// realistic shape: a full scan of a large table costs milliseconds per search.
#include "search/searchstatements.h"
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
        const SyntheticDictionary dictionary(shape);
        DictionaryBuilder builder;
        DictionaryBuilder::Options options;
        options.writeContent = false;
        QVERIFY(builder.open(dir.path(), options));
        for (int i = 0; i < shape.entries; ++i)
            QVERIFY(builder.add(dictionary.entry(i)));
        QVERIFY(builder.finish());
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
        QTest::newRow("file lookup") << QByteArray("select file from file where id = '17'");
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
};

VOCALUME_TEST_MAIN(TestSearchPlans)
#include "tst_searchplans.moc"
