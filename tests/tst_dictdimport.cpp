// Importing a dictd dictionary into a package: the index and its gzip text, inflected forms from
// affix rules, cross-references, scopes and keywords, and the entry pages the program shows.
// Every dictionary here is made by the test.
#include "tests/support/dictdfiles.h"
#include "tests/support/testdictionary.h"
#include "tools/packagebuilder/affixexpander.h"
#include "tools/packagebuilder/dictdimporter.h"
#include "tools/packagebuilder/dictdsource.h"
#include "tools/packagebuilder/dictionarybuilder.h"
#include "pages/pageloader.h"

#include <QXmlStreamReader>

using DictdFiles::gzip;
using TestDictionary::rows;
using Articles = QList<QPair<QStringList, QString>>;

namespace {
const char* const affixes = "SET UTF-8\nSFX S Y 4\nSFX S 0 s [^sy]\nSFX S y ies [^aeiou]y\nSFX S 0 s [aeiou]y\n"
                            "SFX S 0 es s\nPFX U Y 1\nPFX U 0 un .\nSFX D N 1\nSFX D 0 ed/X .\n";
const char* const words = "5\ndog/SD\npony/SU\nbus/S\nbay/S\nkey\n";

// Rules of the kinds the Italian and English spelling dictionaries have: conjugations, pronouns
// attached to verbs, genders, derivations.
const char* const italianAffixes = "SET UTF-8\nSFX A Y 6\nSFX A re 0 are\nSFX A are o are\nSFX A re vi are\n"
                                   "SFX A re to are\nSFX A re ti are\nSFX A re ndo are\nSFX I Y 2\n"
                                   "SFX I e melo [aei]re\nSFX I e mi [aei]re\nSFX L Y 1\nSFX L re mi are\n"
                                   "PFX J Y 1\nPFX J 0 ri .\nSFX o N 3\nSFX o o i o\nSFX o o a o\nSFX o o e o\n"
                                   "SFX Y N 2\nSFX Y e emente e\nSFX Y e issimo e\n";
const char* const englishAffixes = "SET UTF-8\nPFX U Y 1\nPFX U 0 un .\nSFX R Y 1\nSFX R 0 er .\nSFX T Y 1\n"
                                   "SFX T 0 est .\nSFX D Y 1\nSFX D 0 ed .\nSFX P Y 1\nSFX P 0 ness .\n";

struct Source {
    Articles articles;
    const char* language;
    const char* affixText = nullptr;
    const char* wordText = nullptr;
};

// Builds <dir>/book from the dictd dictionaries of `sources`, each written in a folder of its own.
bool build(const QString& dir, const QList<Source>& sources)
{
    DictionaryBuilder builder;
    if (!builder.open(dir + "/book"))
        return false;
    for (const Source& s : sources) {
        AffixExpander expander;
        DictdImporter importer;
        const QString folder = dir + '/' + s.language;
        if (!QDir().mkpath(folder) || (s.affixText && !expander.loadText(s.affixText, s.wordText))
            || !importer.import(DictdFiles::writeDictd(folder, s.articles), s.language,
                s.affixText ? &expander : nullptr, builder))
            return false;
    }
    return builder.finish();
}

QStringList byForm(const QString& db, const QString& form)
{
    return rows(db, "select l.nome from lemma l, lemmatizzatore f where f.id_lemma = l.id and f.flessi = '"
            + DictionaryBuilder::formHash(form) + "'");
}

QStringList byKeyword(const QString& db, const QString& keyword)
{
    return rows(db, "select l.nome from lemma l, keyword k, keyword_lemma kl where kl.id_lemma = l.id and "
                    "k.id = kl.id_keyword and k.keyword = '" + keyword.toUtf8() + "' order by l.nome");
}

// The file and id of the entry `name` opens, "file|id".
QString locationOf(const QString& db, const QString& name)
{
    return rows(db, "select f.file, l.id_zenta from lemma l, file_lemma fl, file f where l.id = fl.id_lemma and "
                    "f.id = fl.id_file and l.nome = '" + name.toUtf8() + "'").value(0);
}

// The entry page of the entry with the headword `name` in the content files of a small book.
QString pageOf(const QString& book, const QString& name)
{
    const QStringList parts = locationOf(book + "/database.db", name).split('|');
    QByteArray document;
    if (parts.size() != 2 || !PageLoader::readArchive(book + '/' + parts.at(0) + ".zip", parts.at(0), &document))
        return QString();
    return PageLoader::extractDivById(parts.at(1), QString::fromUtf8(document));
}
}

class TestDictdImport : public QObject {
    Q_OBJECT
private:
    QTemporaryDir inflected; // the book of the inflection table, built once

private slots:
    void initTestCase()
    {
        QVERIFY(build(inflected.path(),
            { { { { { "parlare" }, "parlare\nto speak\n" }, { { "caso" }, "caso\nchance\n" },
                    { { "casa" }, "casa\nhouse\n" }, { { "veloce" }, "veloce\nfast\n" } },
                  "it", italianAffixes, "3\nparlare/AILJ\ncaso/o\nveloce/Y\n" },
                { { { { "great" }, "great\ngrande\n" }, { { "walk" }, "walk\ncamminare\n" },
                      { { "water", "The mouth waters" }, "water\nacqua\n" } },
                    "en", englishAffixes, "3\ngreat/URTP\nwalk/DR\nwater/D\n" } }));
        QCOMPARE(rows(inflected.filePath("book/database.db"), "select b.nome from lemma a, lemma b where "
                      "a.nome = 'The mouth waters' and b.id = a.id_zenta"), QStringList { "water" });
    }

    void init() { TestSupport::resetHome(); }

    // Offsets and lengths in the index's base-64 digits (the last two of which are "+" and "/").
    void indexNumbers_data()
    {
        QTest::addColumn<QString>("digits");
        QTest::addColumn<qint64>("value");
        QTest::newRow("last digit") << "/" << qint64(63);
        QTest::newRow("large") << "B0C4f" << qint64(((1 * 64 + 52) * 64 + 2) * 64 * 64 + 56 * 64 + 31);
        QTest::newRow("not a digit") << "A-B" << qint64(-1);
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
        QTest::newRow("suffix with condition") << "dog" << QStringList { "doged", "dogs" };
        QTest::newRow("strip and cross product") << "pony" << QStringList { "ponies", "unponies", "unpony" };
        QTest::newRow("second suffix rule") << "bus" << QStringList { "buses" };
        QTest::newRow("vowel before y") << "bay" << QStringList { "bays" };
        QTest::newRow("no flags") << "key" << QStringList();
        QTest::newRow("capitalised lookup") << "Dog" << QStringList { "doged", "dogs" };
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
        QTest::newRow("empty length") << QByteArray("dog\tA\t\n") << gzip("dog\n") << line;
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

    // What the spelling rules make of a headword: its inflections find it and are listed, verb
    // forms with pronouns find it unlisted, derived words find it in the full text only, a
    // headword of another article is that article's, and the index's phrases are headwords.
    void formsAreInflectionsOnly_data()
    {
        QTest::addColumn<QString>("word");
        QTest::addColumn<QString>("entry"); // the entry the word finds as a form
        QTest::addColumn<bool>("listed");
        QTest::addColumn<QString>("keywordOf"); // the entry the word finds in the full text
        QTest::newRow("imperfect, not a pronoun") << "parlavi" << "parlare" << true << "";
        QTest::newRow("participle, not a pronoun") << "parlati" << "parlare" << true << "";
        QTest::newRow("infinitive with pronouns") << "parlarmelo" << "parlare" << false << "";
        QTest::newRow("imperative with a pronoun") << "parlami" << "parlare" << false << "";
        QTest::newRow("prefixed verb") << "riparlare" << "" << false << "parlare";
        QTest::newRow("prefixed inflection") << "riparlo" << "" << false << "";
        QTest::newRow("feminine with an article of its own") << "casa" << "" << false << "";
        QTest::newRow("its plural") << "case" << "casa" << true << "";
        QTest::newRow("masculine plural") << "casi" << "caso" << true << "";
        QTest::newRow("adverb") << "velocemente" << "" << false << "veloce";
        QTest::newRow("superlative") << "velocissimo" << "" << false << "veloce";
        QTest::newRow("comparative") << "greater" << "great" << true << "";
        QTest::newRow("negation") << "ungreat" << "" << false << "great";
        QTest::newRow("noun of quality") << "greatness" << "" << false << "great";
        QTest::newRow("agent noun") << "walker" << "" << false << "walk";
        QTest::newRow("past") << "walked" << "walk" << true << "";
        QTest::newRow("phrase of the index") << "The mouth waters" << "" << false << "";
    }

    void formsAreInflectionsOnly()
    {
        QFETCH(QString, word);
        QFETCH(QString, entry);
        QFETCH(bool, listed);
        QFETCH(QString, keywordOf);
        const QString book = inflected.filePath("book");
        QCOMPARE(byForm(book + "/database.db", word), entry.isEmpty() ? QStringList() : QStringList { entry });
        const QString page = pageOf(book, entry);
        QCOMPARE(page.section("<p class=\"flessi\">", 1).section("</p>", 0, 0).split(", ").contains(word), listed);
        QCOMPARE(byKeyword(book + "/database.db", word), keywordOf.isEmpty() ? QStringList() : QStringList { keywordOf });
    }

    // The older sources' letter codes, quote-letter names and stress marks, and proper names an
    // index writes in lower case, as the list and the entry page show them.
    void olderSourcesDecoded_data()
    {
        QTest::addColumn<QString>("index");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("headword");
        QTest::addColumn<QString>("shown");
        QTest::newRow("quote-letter name") << "'Ecart'e" << "'Ecart'e \\['E]`car`t['e]\"\\, n. [F. ['e]carter.]\n  A game.\n"
                                           << "Écarté" << "[F. écarter.]";
        QTest::newRow("stress marks") << "Water" << "Water \\Wa\"ter\\ (w[add]\"t[~e]r), n.\n   The fluid.\n"
                                      << "Water" << "(wô´tẽr)";
        QTest::newRow("another form's pronunciation")
            << "Happy" << "Happy \\Hap\"py\\, a. [Compar. {Happier} (-p[i^]*[~e]r).]\n   Lucky.\n" << "Happy"
            << "(-pĭ-ẽr)";
        QTest::newRow("half-long and long vowels")
            << "Accolade" << "Accolade \\Ac`co*lade\"\\ ([a^]k`k[-o]*l[=a]d\" or [.a]k`k[=oo]l[aum]d\"), n.\n  A hug.\n"
            << "Accolade" << "(ăkˋkō̍-lād´ or ȧkˋko͞oläd´)";
        QTest::newRow("proper name") << "roma" << "Roma /rˈoma/\nRome\n" << "Roma" << "<h2 class=\"lemma\">Roma</h2>";
    }

    void olderSourcesDecoded()
    {
        QFETCH(QString, index);
        QFETCH(QString, text);
        QFETCH(QString, headword);
        QFETCH(QString, shown);
        QTemporaryDir dir;
        QVERIFY(build(dir.path(), { { { { { index }, text } }, "en" } }));
        QCOMPARE(rows(dir.filePath("book/database.db"), "select nome from lemma"), QStringList { headword });
        const QString page = pageOf(dir.filePath("book"), headword);
        QVERIFY2(page.contains(shown), qPrintable(page));
    }

    void importsArticlesFormsScopesKeywordsAndPages()
    {
        QTemporaryDir dir;
        QVERIFY(build(dir.path(), { { DictdFiles::sampleArticles(), "en", affixes, words } }));
        const QString book = dir.filePath("book");
        const QString db = book + "/database.db";
        // One entry per article, the database's own entry left out; headwords as the text has them.
        QCOMPARE(rows(db, "select count(distinct id_zenta) from lemma where source = 'en'"), QStringList { "4" });
        QCOMPARE(rows(db, "select nome from lemma where id = id_zenta order by nome"),
            QStringList({ "Canis", "Dog", "bark", "pony" }));
        // The index's other name for an article opens it under that name, as do its affix forms.
        QCOMPARE(rows(db, "select b.nome from lemma a, lemma b where a.nome = 'hound' and b.id = a.id_zenta"),
            QStringList { "Dog" });
        QCOMPARE(byForm(db, "dogs"), QStringList { "Dog" });
        QCOMPARE(rows(db, "select hwgram from lemma where nome in ('bark', 'Dog') order by nome"),
            QStringList({ "n.", "n., v." }));
        // Field labels become scopes; sense words become keywords, quotations do not.
        QCOMPARE(rows(db, "select a.nome_n, l.nome from ambiti a, lemma_ambito la, lemma l where a.id = la.id_ambito "
                          "and l.id = la.id_lemma order by l.nome"),
            QStringList({ "Zoologia|Canis", "Zoologia|Dog" }));
        QCOMPARE(byKeyword(db, "quadruped"), QStringList { "Dog" });
        QCOMPARE(byKeyword(db, "servant"), QStringList());
        QCOMPARE(byKeyword(db, "barking"), QStringList { "bark" });

        // Each content file is well-formed XHTML.
        const QStringList files = rows(db, "select file from file");
        QCOMPARE(files.size(), 1);
        QByteArray document;
        QVERIFY(PageLoader::readArchive(book + '/' + files.first() + ".zip", files.first(), &document));
        QXmlStreamReader xml(document);
        while (!xml.atEnd())
            xml.readNext();
        QVERIFY2(!xml.hasError(), qPrintable(xml.errorString()));

        // Cross-references open the entry they name, unknown ones stay plain; numbered senses with
        // their field label, the quotation apart, letter codes decoded; examples of the lexical
        // databases in italics, parts of speech as headings.
        const QList<QPair<QString, QStringList>> shown {
            { "Dog", { "<a href=\"" + locationOf(db, "bark").replace('|', '#') + "\">bark</a>", ">Canis</a>",
                         "<p class=\"def\"><b>1.</b> <span class=\"ambito\">Zool.</span> A quadruped",
                         "<p class=\"def\"><b>2.</b> A mean", "<blockquote class=\"esempio\">What is thy servant",
                         "(dŏg)" } },
            { "bark", { "<i>yelp</i>", "<i class=\"esempio\">“the bark woke us”</i>",
                          "<p class=\"gram\">v.</p><p class=\"def\"><b>1:</b> make a barking sound" } },
            { "pony", { "<p class=\"def\">cavallino</p>" } },
        };
        for (const auto& [headword, parts] : shown)
            for (const QString& part : parts)
                QVERIFY2(pageOf(book, headword).contains(part), qPrintable(headword + ": " + part));
        // Source markers are dropped.
        QVERIFY2(!pageOf(book, "Dog").contains("1913 Webster"), qPrintable(pageOf(book, "Dog")));
    }
};

VOCALUME_TEST_MAIN(TestDictdImport)
#include "tst_dictdimport.moc"
