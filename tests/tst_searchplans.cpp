// Every statement of the searches must reach its rows through an index on a dictionary of
// realistic shape: a full scan of a large table costs milliseconds per search.
#include "search/searchstatements.h"
#include "tests/support/testsupport.h"
#include "tools/packagebuilder/dictionarybuilder.h"
#include "tools/packagebuilder/syntheticdictionary.h"

#include <QApplication>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <sqlite3.h>

class TestSearchPlans : public QObject {
    Q_OBJECT
private:
    QTemporaryDir dir;
    sqlite3* db = nullptr;
    QString word;
    QString keyword;

    QStringList plan(const QByteArray& statement)
    {
        QStringList lines;
        sqlite3_stmt* explain = nullptr;
        const QByteArray sql = "EXPLAIN QUERY PLAN " + statement;
        if (sqlite3_prepare_v2(db, sql.constData(), sql.size(), &explain, nullptr) != SQLITE_OK)
            return { QStringLiteral("ERROR ") + QString::fromUtf8(sqlite3_errmsg(db)) };
        while (sqlite3_step(explain) == SQLITE_ROW)
            lines << QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(explain, 3)));
        sqlite3_finalize(explain);
        return lines;
    }

private slots:
    void initTestCase()
    {
        TestSupport::resetHome();
        SyntheticDictionary::Shape shape;
        shape.entries = 30000;
        const SyntheticDictionary dictionary(shape);
        DictionaryBuilder builder;
        DictionaryBuilder::Options options;
        options.writeContent = false;
        QVERIFY(builder.open(dir.path(), options));
        for (int i = 0; i < shape.entries; ++i)
            QVERIFY(builder.add(dictionary.entry(i)));
        QVERIFY(builder.finish());
        QCOMPARE(sqlite3_open_v2(dir.filePath(QStringLiteral("database.db")).toUtf8().constData(), &db,
                     SQLITE_OPEN_READONLY, nullptr),
            SQLITE_OK);
        word = dictionary.headwordOf(12345);
        keyword = dictionary.entry(12345).keywords.first();
    }

    void cleanupTestCase() { sqlite3_close(db); }

    void everyStatementUsesAnIndex_data()
    {
        QTest::addColumn<QByteArray>("statement");
        const QString it = QStringLiteral("it");
        for (const QString& w : { word, word.left(2), keyword }) {
            const SearchWordForms f = searchWordForms(w, it);
            const QByteArray tag = w.toUtf8() + ": ";
            QTest::newRow(tag + "entry count") << SearchStatements::entryCount(f, it);
            QTest::newRow(tag + "entry exact") << SearchStatements::entryExact(f, it);
            QTest::newRow(tag + "entry related")
                << SearchStatements::entryRelated(f, it, QStringLiteral("0"), QStringLiteral("10"));
            QTest::newRow(tag + "full text count") << SearchStatements::fullTextCount(f, it, QString());
            QTest::newRow(tag + "full text page")
                << SearchStatements::fullTextPage(f, it, QString(), QStringLiteral("10"), QStringLiteral("10"));
            QTest::newRow(tag + "scoped count") << SearchStatements::fullTextCount(f, it, QStringLiteral("3"));
            QTest::newRow(tag + "scoped page") << SearchStatements::fullTextPage(
                f, it, QStringLiteral("3"), QStringLiteral("0"), QStringLiteral("10"));
            QTest::newRow(tag + "word list count") << SearchStatements::wordListCount(f, it);
            QTest::newRow(tag + "word list page")
                << SearchStatements::wordListPage(f, it, QStringLiteral("20"), QStringLiteral("10"));
        }
        QTest::newRow("file lookup") << QByteArray("select file from file where id = '17'");
        QTest::newRow("scopes") << SearchStatements::scopes();
    }

    void everyStatementUsesAnIndex()
    {
        QFETCH(QByteArray, statement);
        const QStringList lines = plan(statement);
        QVERIFY(!lines.isEmpty());
        // "SCAN (subquery-n)" walks an already reduced result; the scopes table is tiny and read
        // in order through its own index.
        static const QRegularExpression fullScan(QStringLiteral(
            "^SCAN (lemma|file|file_lemma|lemmatizzatore|keyword|keyword_lemma|lemma_ambito|l|f|fl|k|kl|la)\\b"));
        for (const QString& line : lines) {
            QVERIFY2(!line.startsWith(QLatin1String("ERROR")), qPrintable(line));
            QVERIFY2(!fullScan.match(line).hasMatch(), qPrintable(lines.join(QStringLiteral("\n"))));
        }
    }
};

VOCALUME_TEST_MAIN(TestSearchPlans)
#include "tst_searchplans.moc"
