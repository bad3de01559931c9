// The dictionary package builder: its source format, the package layout the program installs
// and reads, and the database it writes.
#include "search/searchstatements.h"
#include "tests/support/testsupport.h"
#include "tools/packagebuilder/dictionarybuilder.h"
#include "tools/packagebuilder/dictionarysource.h"
#include "tools/packagebuilder/syntheticdictionary.h"
#include "web/pageloader.h"

#include <QApplication>
#include <QDirIterator>
#include <QTemporaryDir>
#include <quazip/quazip.h>
#include <sqlite3.h>

namespace {
// Rows of a query as "a|b|c" lines.
QStringList rows(const QString& database, const char* sql)
{
    QStringList out;
    sqlite3* db = nullptr;
    sqlite3_stmt* statement = nullptr;
    if (sqlite3_open_v2(database.toUtf8().constData(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK
        && sqlite3_prepare_v2(db, sql, -1, &statement, nullptr) == SQLITE_OK) {
        while (sqlite3_step(statement) == SQLITE_ROW) {
            QStringList columns;
            for (int i = 0; i < sqlite3_column_count(statement); ++i)
                columns << QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(statement, i)));
            out << columns.join(QLatin1Char('|'));
        }
    }
    sqlite3_finalize(statement);
    sqlite3_close(db);
    return out;
}

QStringList zipMembers(const QString& path)
{
    QuaZip zip(path);
    if (!zip.open(QuaZip::mdUnzip))
        return { QStringLiteral("<unreadable>") };
    return zip.getFileNameList();
}
}

class TestPackageBuilder : public QObject {
    Q_OBJECT
private slots:
    void init() { TestSupport::resetHome(); }

    void sourceLines_data()
    {
        QTest::addColumn<QString>("line");
        QTest::addColumn<bool>("valid");
        QTest::addColumn<QString>("parsed");
        QTest::newRow("all fields") << QStringLiteral("casa\t1\ts.f.\tAbitazione.\tcase\tdimora, tetto\tArchitettura")
                                    << true << QStringLiteral("casa/1/s.f./Abitazione./case/dimora,tetto/Architettura");
        QTest::newRow("headword only") << QStringLiteral("casa") << true << QStringLiteral("casa//////");
        QTest::newRow("empty list items")
            << QStringLiteral("casa\t\t\t\t, ,case,") << true << QStringLiteral("casa////case//");
        QTest::newRow("no headword") << QStringLiteral("\ts.f.") << false << QString();
        QTest::newRow("too many fields") << QStringLiteral("a\tb\tc\td\te\tf\tg\th") << false << QString();
    }

    void sourceLines()
    {
        QFETCH(QString, line);
        QFETCH(bool, valid);
        QFETCH(QString, parsed);
        DictionaryEntry e;
        QCOMPARE(DictionarySource::parseLine(line, QStringLiteral("it"), e), valid);
        if (!valid)
            return;
        const QString text = QStringList { e.headword, e.omo, e.pos, e.definition, e.forms.join(QLatin1Char(',')),
            e.keywords.join(QLatin1Char(',')), e.scopes.join(QLatin1Char(',')) }
                                 .join(QLatin1Char('/'));
        QCOMPARE(text, parsed);
        QCOMPARE(e.source, QStringLiteral("it"));
    }

    void malformedSourceNamesTheLine()
    {
        QTemporaryDir dir;
        QFile file(dir.filePath(QStringLiteral("bad.tsv")));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("# commento\n\n@source en\nhouse\t\tn.\tcasa.\ncasa\t\t\t\t\t\t\t\tx\n");
        file.close();
        DictionarySource source;
        QStringList sources;
        QVERIFY(!source.read(file.fileName(), QStringLiteral("it"), [&sources](const DictionaryEntry& e) {
            sources << e.headword + QLatin1Char('@') + e.source;
            return true;
        }));
        QVERIFY(source.errorString().endsWith(QStringLiteral("bad.tsv:5: malformed entry")));
        QCOMPARE(sources, QStringList { QStringLiteral("house@en") });
    }

    // What the store serves and the program installs: the database and one archive per content
    // file, whose only member carries the file's name and holds one div per entry.
    void demoPackages_data()
    {
        QTest::addColumn<QString>("source");
        const QDir demo(qEnvironmentVariable("VOCALUME_SOURCE_DIR") + QStringLiteral("/tools/packagebuilder/demo"));
        const QStringList names = demo.entryList({ QStringLiteral("*.tsv") });
        QVERIFY(names.size() >= 2);
        for (const QString& name : names)
            QTest::newRow(qPrintable(name)) << demo.absoluteFilePath(name);
    }

    void demoPackages()
    {
        QFETCH(QString, source);
        QTemporaryDir dir;
        const QString book = dir.filePath(QStringLiteral("book"));
        DictionaryBuilder builder;
        DictionaryBuilder::Options options;
        options.entriesPerFile = 40;
        QVERIFY(builder.open(book, options));
        DictionarySource reader;
        QVERIFY2(
            reader.read(source, QStringLiteral("it"), [&builder](const DictionaryEntry& e) { return builder.add(e); }),
            qPrintable(reader.errorString()));
        QVERIFY(builder.finish());
        QVERIFY(builder.entryCount() >= 100);
        const QString package = dir.filePath(QStringLiteral("out/package.zip"));
        QVERIFY(DictionaryBuilder::writePackage(book, package));

        const QString database = book + QStringLiteral("/database.db");
        const QStringList files = rows(database, "select file from file order by id");
        QStringList expectedMembers { QStringLiteral("database.db") };
        for (const QString& file : files)
            expectedMembers << file + QStringLiteral(".zip");
        QStringList members = zipMembers(package);
        members.sort();
        expectedMembers.sort();
        QCOMPARE(members, expectedMembers);

        // Every entry is found as its own div in the file the database names for it.
        const QStringList entries = rows(database,
            "select l.id_zenta, l.nome, f.file from lemma l, file_lemma fl, file f "
            "where l.id = fl.id_lemma and f.id = fl.id_file");
        QCOMPARE(entries.size(), builder.entryCount());
        QHash<QString, QString> texts;
        for (const QString& file : files) {
            QCOMPARE(zipMembers(book + QLatin1Char('/') + file + QStringLiteral(".zip")), QStringList { file });
            QByteArray bytes;
            QCOMPARE(PageLoader::readArchive(book + QLatin1Char('/') + file + QStringLiteral(".zip"), file, &bytes), 0);
            texts.insert(file, QString::fromUtf8(bytes));
        }
        for (const QString& row : entries) {
            const QStringList parts = row.split(QLatin1Char('|'));
            const QString div = PageLoader::extractDivById(parts.at(0), texts.value(parts.at(2)));
            QVERIFY2(div.startsWith(QStringLiteral("<div id=\"%1\"").arg(parts.at(0))), qPrintable(row));
            QVERIFY2(div.contains(parts.at(1).toHtmlEscaped()), qPrintable(row));
        }
    }

    void storedForms()
    {
        QTemporaryDir dir;
        DictionaryBuilder builder;
        QVERIFY(builder.open(dir.path()));
        DictionaryEntry e;
        e.headword = QStringLiteral("Perché");
        e.source = QStringLiteral("it");
        e.forms = QStringList { QStringLiteral("Andrò"), QStringLiteral("andrò"), QStringLiteral("vado") };
        e.definition = QStringLiteral("Parola dell'esempio, con più città.");
        e.keywords = QStringList { QStringLiteral("Caffè") };
        e.scopes = QStringList { QStringLiteral("Arte dell'esempio") };
        QVERIFY(builder.add(e));
        QVERIFY(builder.finish());
        const QString database = dir.filePath(QStringLiteral("database.db"));
        QCOMPARE(rows(database, "select id, id_zenta, nome, nome_n, omo, hwgram, source from lemma"),
            QStringList { QStringLiteral("1|1|Perché|perche|||it") });
        // The same hash the search computes from what the user types; duplicates stored once.
        QCOMPARE(rows(database, "select flessi from lemmatizzatore order by rowid"),
            (QStringList { QString::number(inflectionHash(QStringLiteral("andrò"))),
                QString::number(inflectionHash(QStringLiteral("vado"))) }));
        QCOMPARE(rows(database, "select keyword from keyword order by id"),
            (QStringList { QStringLiteral("parola"), QStringLiteral("esempio"), QStringLiteral("piu"),
                QStringLiteral("citta"), QStringLiteral("caffe") }));
        QCOMPARE(rows(database, "select count(*) from keyword_lemma"), QStringList { QStringLiteral("5") });
        QCOMPARE(rows(database,
                     "select a.nome_n from ambiti a, lemma_ambito la where a.id = la.id_ambito and la.id_lemma = 1"),
            QStringList { QStringLiteral("Arte dell'esempio") });
    }

    void syntheticDictionaryShape()
    {
        SyntheticDictionary::Shape shape;
        shape.entries = 2000;
        shape.formsPerEntry = 10;
        shape.keywordsPerEntry = 5;
        const SyntheticDictionary dictionary(shape);
        QCOMPARE(dictionary.entry(7).headword, SyntheticDictionary(shape).entry(7).headword);
        QTemporaryDir dir;
        DictionaryBuilder builder;
        DictionaryBuilder::Options options;
        options.writeContent = false;
        QVERIFY(builder.open(dir.path(), options));
        for (int i = 0; i < shape.entries; ++i)
            QVERIFY(builder.add(dictionary.entry(i)));
        QVERIFY(builder.finish());
        const QString database = dir.filePath(QStringLiteral("database.db"));
        QCOMPARE(rows(database, "select count(*) from lemma"), QStringList { QStringLiteral("2000") });
        QCOMPARE(rows(database, "select count(*) from lemmatizzatore"), QStringList { QStringLiteral("20000") });
        const int links = rows(database, "select count(*) from keyword_lemma").value(0).toInt();
        QVERIFY2(links > 9500 && links <= 10000, qPrintable(QString::number(links)));
        QCOMPARE(rows(database, "select count(*) from ambiti"), QStringList { QStringLiteral("24") });
        QVERIFY(!rows(database, "select * from sqlite_stat1").isEmpty());
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList { QStringLiteral("database.db") });
    }
};

VOCALUME_TEST_MAIN(TestPackageBuilder)
#include "tst_packagebuilder.moc"
