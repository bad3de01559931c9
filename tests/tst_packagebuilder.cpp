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

    void sourceFiles_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<QStringList>("read"); // headword/omo/pos/definition/forms/keywords/scopes@source
        QTest::addColumn<int>("malformed"); // the line refused; 0: none
        QTest::newRow("all fields") << QByteArray("casa\t1\ts.f.\tAbitazione.\tcase\tdimora, tetto\tArchitettura")
                                    << QStringList { "casa/1/s.f./Abitazione./case/dimora,tetto/Architettura@it" } << 0;
        QTest::newRow("headword only") << QByteArray("casa") << QStringList { "casa//////@it" } << 0;
        QTest::newRow("empty list items") << QByteArray("casa\t\t\t\t, ,case,") << QStringList { "casa////case//@it" } << 0;
        QTest::newRow("no headword, after a comment, a blank line and a language")
            << QByteArray("# commento\n\n@source en\nhouse\t\tn.\tcasa.\n\ts.f.\n")
            << QStringList { "house//n./casa.///@en" } << 5;
        QTest::newRow("too many fields") << QByteArray("a\tb\tc\td\te\tf\tg\th") << QStringList() << 1;
    }

    // Each entry read with its fields in place, and a malformed line named.
    void sourceFiles()
    {
        QFETCH(QByteArray, text);
        QFETCH(QStringList, read);
        QFETCH(int, malformed);
        QTemporaryDir dir;
        QVERIFY(TestSupport::writeFile(dir.filePath("bad.tsv"), text));
        DictionarySource source;
        QStringList entries;
        QCOMPARE(source.read(dir.filePath("bad.tsv"), "it", [&entries](const DictionaryEntry& e) {
            entries << QStringList({ e.headword, e.omo, e.pos, e.definition, e.forms.join(','), e.keywords.join(','),
                                      e.scopes.join(',') }).join('/') + '@' + e.source;
            return true;
        }), malformed == 0);
        QCOMPARE(entries, read);
        QVERIFY2(!malformed || source.errorString().endsWith(QString("bad.tsv:%1: malformed entry").arg(malformed)),
            qPrintable(source.errorString()));
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
