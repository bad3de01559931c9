// The dictionary package builder: its source format, the package layout the program installs
// and reads, and the database it writes.
#include "search/searchstatements.h"
#include "tests/support/dictdfiles.h"
#include "tests/support/searchrunner.h"
#include "tests/support/testdictionary.h"
#include "tools/packagebuilder/dictdimporter.h"
#include "tools/packagebuilder/dictionarysource.h"
#include "pages/pageloader.h"

#include <quazip/quazip.h>

using TestDictionary::rows;

namespace {
QStringList zipMembers(const QString& path)
{
    QuaZip zip(path);
    if (!zip.open(QuaZip::mdUnzip))
        return { "<unreadable>" };
    QStringList names = zip.getFileNameList();
    names.sort();
    return names;
}
}

class TestPackageBuilder : public QObject {
    Q_OBJECT
private slots:
    void init() { TestSupport::resetHome(); }

    void sourceLines_data()
    {
        QTest::addColumn<QString>("line");
        QTest::addColumn<QString>("parsed"); // empty: refused
        QTest::newRow("all fields") << "casa\t1\ts.f.\tAbitazione.\tcase\tdimora, tetto\tArchitettura"
                                    << "casa/1/s.f./Abitazione./case/dimora,tetto/Architettura";
        QTest::newRow("headword only") << "casa" << "casa//////";
        QTest::newRow("empty list items") << "casa\t\t\t\t, ,case," << "casa////case//";
        QTest::newRow("no headword") << "\ts.f." << "";
        QTest::newRow("too many fields") << "a\tb\tc\td\te\tf\tg\th" << "";
    }

    void sourceLines()
    {
        QFETCH(QString, line);
        QFETCH(QString, parsed);
        DictionaryEntry e;
        QCOMPARE(DictionarySource::parseLine(line, "it", e), !parsed.isEmpty());
        if (parsed.isEmpty())
            return;
        QCOMPARE(QStringList({ e.headword, e.omo, e.pos, e.definition, e.forms.join(','), e.keywords.join(','),
                               e.scopes.join(',') })
                     .join('/'),
                 parsed);
        QCOMPARE(e.source, QStringLiteral("it"));
    }

    void malformedSourceNamesTheLine()
    {
        QTemporaryDir dir;
        const QString file = dir.filePath("bad.tsv");
        QVERIFY(TestSupport::writeFile(file,
                                          "# commento\n\n@source en\nhouse\t\tn.\tcasa.\ncasa\t\t\t\t\t\t\t\tx\n"));
        DictionarySource source;
        QStringList read;
        QVERIFY(!source.read(file, "it", [&read](const DictionaryEntry& e) {
            read << e.headword + '@' + e.source;
            return true;
        }));
        QVERIFY(source.errorString().endsWith("bad.tsv:5: malformed entry"));
        QCOMPARE(read, QStringList { "house@en" });
    }

    // What the store serves and the program installs: the database and one archive per content
    // file, whose only member carries the file's name and holds one div per entry.
    void demoPackages_data()
    {
        QTest::addColumn<QString>("source");
        const QDir demo(qEnvironmentVariable("VOCALUME_SOURCE_DIR") + "/tools/packagebuilder/demo");
        const QStringList names = demo.entryList({ "*.tsv" });
        QVERIFY(names.size() >= 2);
        for (const QString& name : names)
            QTest::newRow(qPrintable(name)) << demo.absoluteFilePath(name);
    }

    void demoPackages()
    {
        QFETCH(QString, source);
        QTemporaryDir dir;
        const QString book = dir.filePath("book");
        DictionaryBuilder builder;
        DictionaryBuilder::Options options;
        options.entriesPerFile = 40;
        QVERIFY(builder.open(book, options));
        DictionarySource reader;
        QVERIFY2(reader.read(source, "it", [&builder](const DictionaryEntry& e) { return builder.add(e); }),
                 qPrintable(reader.errorString()));
        QVERIFY(builder.finish());
        QVERIFY(builder.entryCount() >= 100);
        const QString package = dir.filePath("out/package.zip");
        QVERIFY(DictionaryBuilder::writePackage(book, package));

        const QString database = book + "/database.db";
        const QStringList files = rows(database, "select file from file order by id");
        QStringList expectedMembers { "database.db" };
        for (const QString& file : files)
            expectedMembers << file + ".zip";
        expectedMembers.sort();
        QCOMPARE(zipMembers(package), expectedMembers);

        // Every entry is found as its own div in the file the database names for it.
        QHash<QString, QString> texts;
        for (const QString& file : files) {
            const QString archive = book + '/' + file + ".zip";
            QCOMPARE(zipMembers(archive), QStringList { file });
            QByteArray bytes;
            QVERIFY(PageLoader::readArchive(archive, file, &bytes));
            texts.insert(file, QString::fromUtf8(bytes));
        }
        const QStringList entries = rows(database, "select l.id_zenta, l.nome, f.file from lemma l, file_lemma fl, "
                                                   "file f where l.id = fl.id_lemma and f.id = fl.id_file");
        QCOMPARE(entries.size(), builder.entryCount());
        for (const QString& row : entries) {
            const QStringList parts = row.split('|');
            const QString div = PageLoader::extractDivById(parts.at(0), texts.value(parts.at(2)));
            QVERIFY2(div.startsWith(QStringLiteral("<div id=\"%1\"").arg(parts.at(0))), qPrintable(row));
            QVERIFY2(div.contains(parts.at(1).toHtmlEscaped()), qPrintable(row));
        }
    }

    // An irregular verb's forms find its infinitive through the program's own search.
    void irregularVerbsFindTheirInfinitive()
    {
        TestDictionary::resetHome("à|è|é|ì|ò|ù", "a|e|e|i|o|u");
        QTemporaryDir dir;
        QList<QPair<QStringList, QString>> articles;
        for (const QString verb : { "andare", "venire", "essere", "stare", "dire", "ottenere", "rifare" })
            articles.append({ { verb }, verb + "\nto translate\n" });
        DictionaryBuilder builder;
        QVERIFY(builder.open(TestDictionary::bookDirectory("voc")));
        DictdImporter importer;
        QVERIFY(importer.import(DictdFiles::writeDictd(dir.path(), articles), "it", nullptr, builder));
        QVERIFY(builder.finish());
        for (const auto& [word, infinitive] : QList<QPair<QString, QString>> { { "vado", "andare" },
                 { "andrò", "andare" }, { "vengo", "venire" }, { "fui", "essere" }, { "stetti", "stare" },
                 { "dissi", "dire" }, { "ottengo", "ottenere" }, { "rifeci", "rifare" } })
            QVERIFY2(SearchRunner::search(SearchRunner::entry("voc", word)).words == QStringList { infinitive },
                qPrintable(word));
    }

    void storedForms()
    {
        QTemporaryDir dir;
        DictionaryBuilder builder;
        QVERIFY(builder.open(dir.path()));
        DictionaryEntry e = TestDictionary::entry("Perché", "", { "Andrò", "andrò", "vado" }, { "Caffè" },
                                                  { "Arte dell'esempio" });
        e.definition = "Parola dell'esempio, con più città.";
        QVERIFY(builder.add(e));
        QVERIFY(builder.finish());
        const QString database = dir.filePath("database.db");
        QCOMPARE(rows(database, "select id, id_zenta, nome, nome_n, omo, hwgram, source from lemma"),
                 QStringList { "1|1|Perché|perche|||it" });
        // The same hash the search computes from what the user types; duplicates stored once.
        QCOMPARE(rows(database, "select flessi from lemmatizzatore order by rowid"),
                 QStringList({ QString::number(inflectionHash("andrò")), QString::number(inflectionHash("vado")) }));
        QCOMPARE(rows(database, "select keyword from keyword order by id"),
                 QStringList({ "parola", "esempio", "piu", "citta", "caffe" }));
        QCOMPARE(rows(database, "select count(*) from keyword_lemma"), QStringList { "5" });
        QCOMPARE(rows(database, "select a.nome_n from ambiti a, lemma_ambito la where a.id = la.id_ambito"),
                 QStringList { "Arte dell'esempio" });
    }

    // A repeated word (in any case) counts once towards the cap on a definition's keywords.
    void definitionKeywordsCap()
    {
        for (const auto& [maximum, keywords] : QList<QPair<int, QStringList>> {
                 { 0, { "casa", "grande", "piccola", "bella", "tetto" } }, { 2, { "casa", "grande", "tetto" } } }) {
            QTemporaryDir dir;
            DictionaryBuilder builder;
            DictionaryBuilder::Options options;
            options.maximumDefinitionKeywords = maximum;
            QVERIFY(builder.open(dir.path(), options));
            DictionaryEntry e = TestDictionary::entry("dimora", "", {}, { "tetto" });
            e.definition = "Casa casa CASA grande, casa piccola e bella.";
            QVERIFY(builder.add(e) && builder.finish());
            QCOMPARE(rows(dir.filePath("database.db"), "select keyword from keyword order by id"), keywords);
        }
    }
};

VOCALUME_TEST_MAIN(TestPackageBuilder)
#include "tst_packagebuilder.moc"
