// Importing a dictd dictionary into a package: the index and its gzip text, inflected forms from
// affix rules, cross-references, scopes and keywords, and the entry pages the program shows.
// Every dictionary here is made by the test.
#include "tests/support/dictdfiles.h"
#include "tests/support/testdictionary.h"
#include "tools/packagebuilder/affixexpander.h"
#include "tools/packagebuilder/dictdimporter.h"
#include "tools/packagebuilder/dictdsource.h"
#include "tools/packagebuilder/dictionarybuilder.h"
#include "web/pageloader.h"

#include <QXmlStreamReader>

using DictdFiles::gzip;
using DictdFiles::writeDictd;
using TestDictionary::rows;

namespace {
const char* const affixes = "SET UTF-8\n"
                            "# plural and prefix, with conditions\n"
                            "SFX S Y 4\n"
                            "SFX S 0 s [^sy]\n"
                            "SFX S y ies [^aeiou]y\n"
                            "SFX S 0 s [aeiou]y\n"
                            "SFX S 0 es s\n"
                            "PFX U Y 1\n"
                            "PFX U 0 un .\n"
                            "SFX D N 1\n"
                            "SFX D 0 ed/X .\n";
const char* const words = "5\ndog/SD\npony/SU\nbus/S\nbay/S\nkey\n";

}

class TestDictdImport : public QObject {
    Q_OBJECT
private slots:
    void init() { TestSupport::resetHome(); }

    void indexNumbers_data()
    {
        QTest::addColumn<QString>("digits");
        QTest::addColumn<qint64>("value");
        QTest::newRow("one digit") << "/" << qint64(63);
        QTest::newRow("two digits") << "BA" << qint64(64);
        QTest::newRow("large") << "B0C4f" << qint64(((1 * 64 + 52) * 64 + 2) * 64 * 64 + 56 * 64 + 31);
        QTest::newRow("not a digit") << "A-B" << qint64(-1);
        QTest::newRow("empty") << "" << qint64(-1);
    }

    void indexNumbers()
    {
        QFETCH(QString, digits);
        QFETCH(qint64, value);
        QCOMPARE(DictdSource::decodeNumber(digits), value);
    }

    void affixRules_data()
    {
        QTest::addColumn<QString>("word");
        QTest::addColumn<QStringList>("forms");
        QTest::newRow("suffix with condition") << "dog" << QStringList { "dogs", "doged" };
        QTest::newRow("strip and cross product") << "pony" << QStringList { "ponies", "unponies", "unpony" };
        QTest::newRow("second suffix rule") << "bus" << QStringList { "buses" };
        QTest::newRow("vowel before y") << "bay" << QStringList { "bays" };
        QTest::newRow("no flags") << "key" << QStringList();
        QTest::newRow("capitalised lookup") << "Dog" << QStringList { "dogs", "doged" };
        QTest::newRow("unknown word") << "cat" << QStringList();
    }

    void affixRules()
    {
        QFETCH(QString, word);
        QFETCH(QStringList, forms);
        AffixExpander expander;
        QVERIFY2(expander.loadText(affixes, words), qPrintable(expander.errorString()));
        QCOMPARE(expander.wordCount(), 5);
        QStringList made = expander.forms(word);
        made.sort();
        forms.sort();
        QCOMPARE(made, forms);
    }

    void brokenSourcesAreRefused_data()
    {
        QTest::addColumn<QByteArray>("index");
        QTest::addColumn<QByteArray>("data");
        QTest::addColumn<QString>("error"); // how the reason ends
        const QString line = QStringLiteral("bad.index:1: malformed line");
        const QString gz = QStringLiteral("bad.dict.dz is not a readable gzip file");
        QTest::newRow("offset past the end") << QByteArray("dog\tZ\tB\n") << gzip("dog\n") << line;
        QTest::newRow("not base-64") << QByteArray("dog\tA\t*\n") << gzip("dog\n") << line;
        QTest::newRow("missing field") << QByteArray("dog\tA\n") << gzip("dog\n") << line;
        QTest::newRow("not gzip") << QByteArray("dog\tA\tB\n") << QByteArray("dog\n") << gz;
        QTest::newRow("cut gzip") << QByteArray("dog\tA\tB\n") << gzip(QByteArray(5000, 'x')).left(20) << gz;
    }

    void brokenSourcesAreRefused()
    {
        QFETCH(QByteArray, index);
        QFETCH(QByteArray, data);
        QFETCH(QString, error);
        QTemporaryDir dir;
        QVERIFY(TestSupport::writeFile(dir.filePath("bad.index"), index));
        QVERIFY(TestSupport::writeFile(dir.filePath("bad.dict.dz"), data));
        DictdSource source;
        QVERIFY(!source.read(dir.filePath("bad")));
        QVERIFY2(source.errorString().endsWith(error), qPrintable(source.errorString()));
    }

    void importsArticlesFormsScopesKeywordsAndPages()
    {
        QTemporaryDir dir;
        const QString base = writeDictd(dir.path(), DictdFiles::sampleArticles());
        AffixExpander expander;
        QVERIFY(expander.loadText(affixes, words));
        DictionaryBuilder builder;
        QVERIFY(builder.open(dir.filePath("book")));
        DictdImporter importer;
        QVERIFY2(importer.import(base, "en", &expander, builder), qPrintable(importer.errorString()));
        QVERIFY2(builder.finish(), qPrintable(builder.errorString()));

        const QString db = dir.filePath("book/database.db");
        // One entry per article, the database's own entry left out; headwords as the text has them.
        QCOMPARE(rows(db, "select count(*) from lemma where source = 'en'"), QStringList { "4" });
        QStringList names = rows(db, "select nome from lemma order by nome");
        QCOMPARE(names, QStringList({ "Canis", "Dog", "bark", "pony" }));
        QCOMPARE(rows(db, "select hwgram from lemma where nome = 'bark'"), QStringList { "n., v." });
        QCOMPARE(rows(db, "select hwgram from lemma where nome = 'Dog'"), QStringList { "n." });

        // The second index headword and the affix forms find the entry.
        const auto entryOfForm = [&db](const QString& form) {
            return rows(db,
                "select l.nome from lemma l, lemmatizzatore f where f.id_lemma = l.id and f.flessi = '"
                    + DictionaryBuilder::formHash(form) + "'");
        };
        QCOMPARE(entryOfForm("hound"), QStringList { "Dog" });
        QCOMPARE(entryOfForm("dogs"), QStringList { "Dog" });
        QCOMPARE(entryOfForm("unponies"), QStringList { "pony" });

        // Field labels become scopes; sense words become keywords, quotations do not.
        QCOMPARE(rows(db,
                     "select a.nome_n, l.nome from ambiti a, lemma_ambito la, lemma l where a.id = la.id_ambito "
                     "and l.id = la.id_lemma order by l.nome"),
            QStringList({ "Zoologia|Canis", "Zoologia|Dog" }));
        const auto withKeyword = [&db](const QString& keyword) {
            return rows(db,
                "select l.nome from lemma l, keyword k, keyword_lemma kl where kl.id_lemma = l.id and "
                "k.id = kl.id_keyword and k.keyword = '"
                    + keyword.toUtf8() + "' order by l.nome");
        };
        QCOMPARE(withKeyword("quadruped"), QStringList { "Dog" });
        QCOMPARE(withKeyword("servant"), QStringList());
        QCOMPARE(withKeyword("barking"), QStringList { "bark" });

        // Each content file is well-formed XHTML.
        const QStringList files = rows(db, "select file from file");
        QCOMPARE(files.size(), 1);
        QByteArray document;
        QCOMPARE(PageLoader::readArchive(dir.filePath("book/" + files.first() + ".zip"), files.first(), &document), 0);
        QXmlStreamReader xml(document);
        while (!xml.atEnd())
            xml.readNext();
        QVERIFY2(!xml.hasError(), qPrintable(xml.errorString()));

        const auto page = [&](const QString& headword) {
            const QString id = rows(db, "select id_zenta from lemma where nome = '" + headword.toUtf8() + "'").value(0);
            return PageLoader::extractDivById(id, QString::fromUtf8(document));
        };
        const QString location = [&](const QString& headword) {
            const QStringList r = rows(db,
                "select f.file, l.id_zenta from lemma l, file_lemma fl, file f where "
                "l.id = fl.id_lemma and f.id = fl.id_file and l.nome = '"
                    + headword.toUtf8() + "'");
            return r.value(0).replace('|', '#');
        }("bark");
        // Cross-references open the entry they name, unknown ones stay plain; numbered senses with
        // their field label, the quotation apart, letter codes decoded; examples of the lexical
        // databases in italics, parts of speech as headings.
        const QList<QPair<QString, QStringList>> shown {
            { "Dog", { "<a href=\"" + location + "\">bark</a>", ">Canis</a>",
                         "<p class=\"def\"><b>1.</b> <span class=\"ambito\">Zool.</span> A quadruped",
                         "<p class=\"def\"><b>2.</b> A mean", "<blockquote class=\"esempio\">What is thy servant",
                         "(dŏg)" } },
            { "bark", { "<i>yelp</i>", "<i class=\"esempio\">“the bark woke us”</i>",
                          "<p class=\"gram\">v.</p><p class=\"def\"><b>1:</b> make a barking sound" } },
            { "pony", { "<p class=\"def\">cavallino</p>" } },
        };
        for (const auto& [headword, parts] : shown)
            for (const QString& part : parts)
                QVERIFY2(page(headword).contains(part), qPrintable(headword + ": " + part));
        // Source markers are dropped.
        QVERIFY2(!page("Dog").contains("1913 Webster"), qPrintable(page("Dog")));
    }
};

VOCALUME_TEST_MAIN(TestDictdImport)
#include "tst_dictdimport.moc"
