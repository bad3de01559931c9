// The dictionary package builder: its dictd and text sources, the forms it makes from affix rules, the
// pages and database it writes and the package the store serves; most cases read one book built once.
#include "pages/pageloader.h"
#include "search/searchstatements.h"
#include "tests/support/dictdfiles.h"
#include "tests/support/testdictionary.h"
#include "tools/packagebuilder/affixexpander.h"
#include "tools/packagebuilder/dictdimporter.h"
#include "tools/packagebuilder/dictdsource.h"
#include "tools/packagebuilder/dictionarysource.h"
#include "tools/packagebuilder/wordexceptions.h"

#include <QXmlStreamReader>
#include <quazip/quazip.h>

using TestDictionary::rows;
using Articles = QList<QPair<QStringList, QString>>;

namespace {
// Rules of the kinds the Italian and English spelling dictionaries have: conjugations, pronouns
// attached to verbs, genders, derivations; plurals with conditions, a cross product, a chained flag.
const char* const italianAffixes = "SET UTF-8\nSFX A Y 6\nSFX A re 0 are\nSFX A are o are\nSFX A re vi are\n"
                                   "SFX A re to are\nSFX A re ti are\nSFX A re ndo are\nSFX I Y 2\n"
                                   "SFX I e melo [aei]re\nSFX I e mi [aei]re\nSFX L Y 1\nSFX L re mi are\n"
                                   "PFX J Y 1\nPFX J 0 ri .\nSFX o N 3\nSFX o o i o\nSFX o o a o\nSFX o o e o\n"
                                   "SFX Y N 2\nSFX Y e emente e\nSFX Y e issimo e\n";
const char* const englishAffixes = "SET UTF-8\nSFX S Y 4\nSFX S 0 s [^sy]\nSFX S y ies [^aeiou]y\nSFX S 0 s [aeiou]y\n"
                                   "SFX S 0 es s\nPFX U Y 1\nPFX U 0 un .\nSFX D N 1\nSFX D 0 ed/X .\nSFX R Y 1\n"
                                   "SFX R 0 er .\nSFX T Y 1\nSFX T 0 est .\nSFX P Y 1\nSFX P 0 ness .\n";
const char* const englishWords = "8\ndog/SD\npony/SU\nbus/S\nbay/S\nkey\ngreat/URTP\nwalk/DR\nwater/D\n";
// Lines of the lexical database's exception lists, by part of speech: a form of several words, a
// phrase, a form that is its own word.
const QList<QPair<const char*, const char*>> englishExceptions { { "verb", "gone go\nsaw see\nwent go wend\n" },
    { "noun", "mice mouse\nbrothers_in_law brother_in_law\nis is\n" }, { "adj", "better good well\n" } };

QString locationOf(const QString& db, const QString& name) // "file|id"
{
    return rows(db, "select f.file, l.id_zenta from lemma l, file_lemma fl, file f where l.id = fl.id_lemma and "
                    "f.id = fl.id_file and l.nome = '" + name.toUtf8() + "'").value(0);
}

QString pageOf(const QString& book, const QString& name)
{
    const QStringList parts = locationOf(book + "/database.db", name).split('|');
    QByteArray document;
    if (parts.size() != 2 || !PageLoader::readArchive(book + '/' + parts.at(0) + ".zip", parts.at(0), &document))
        return QString();
    return PageLoader::extractDivById(parts.at(1), QString::fromUtf8(document));
}

QStringList zipMembers(const QString& path)
{
    QuaZip zip(path);
    QStringList names = zip.open(QuaZip::mdUnzip) ? zip.getFileNameList() : QStringList { "<unreadable>" };
    names.sort();
    return names;
}
}

class TestPackageBuilder : public QObject {
    Q_OBJECT
    QTemporaryDir dir;
    const QString book = dir.filePath("book");
    const QString db = book + "/database.db";

private slots:
    // Italian and English dictd sources with their affix rules, older-style articles among them,
    // then a text source with a comment, a blank line, its language and empty list items.
    void initTestCase()
    {
        Articles italian, english = DictdFiles::sampleArticles();
        for (const QString word : { "parlare", "caso", "casa", "veloce", "andare", "venire", "essere", "stare", "dire",
                 "ottenere", "rifare", "stato", "finire", "finita" })
            italian.append({ { word }, word + "\ntraduzione\n" });
        english += Articles { { { "great" }, "great\ngrande\n" }, { { "walk" }, "walk\ncamminare\n" },
            { { "Water", "The mouth waters" }, "Water \\Wa\"ter\\ (w[add]\"t[~e]r), n.\n   The fluid.\n" },
            { { "'Ecart'e" }, "'Ecart'e \\['E]`car`t['e]\"\\, n. [F. ['e]carter.]\n  A game.\n" },
            { { "Happy" }, "Happy \\Hap\"py\\, a. [Compar. {Happier} (-p[i^]*[~e]r).]\n   Lucky.\n" },
            { { "Accolade" },
                "Accolade \\Ac`co*lade\"\\ ([a^]k`k[-o]*l[=a]d\" or [.a]k`k[=oo]l[aum]d\"), n.\n  A hug.\n" },
            { { "roma" }, "Roma /rˈoma/\nRome\n" }, { { "mouse" }, "mouse\ntopo\n" },
            { { "whine" }, "whine\n    n 1: a complaining sound\n" },
            // The older sources' index: an inflected form, a name the article calls it by, a sense
            // number and a letter code in a name, a suffix of a plural note.
            { { "Go", "Went", "Gone" }, "Go \\Go\\, v. i. [imp. {Went}; p. p. {Gone}]\n   To move.\n" },
            { { "Go" }, "Go \\Go\\, n.\n   A board game.\n" },
            { { "Went" }, "Went \\Went\\, n.\n   A way. [Obs.]\n" },
            { { "Good" }, "Good \\Good\\, a. [Compar. {Better}.]\n   Fit.\n" }, { { "better" }, "better\nmeglio\n" },
            { { "See" }, "See \\See\\, n.\n   The seat of a bishop.\n" },
            { { "See" }, "See \\See\\, v. t. [imp. {Saw}]\n   To perceive.\n" },
            { { "Sundog", "dog" }, "Sundog \\Sun\"dog`\\, n.\n   A small rainbow; -- called also {dog}.\n" },
            { { "aeroplane" }, "aeroplane \\aer\"*o*plane`\\, n.\n   1. A plane.\n   2. A flying machine.\n" },
            { { "airplane", "aeroplane2" }, "airplane \\air\"plane\\ n.\n   an aircraft. Same as {{aeroplane[2]}}.\n" },
            { { "Mira", "omicron Ceti" }, "Mira \\Mi\"ra\\, n.\n   A star ({[omicron] Ceti}).\n" },
            { { "Chairman", "-men" }, "Chairman \\Chair\"man\\, n.; pl. {-men}.\n   One who presides.\n" } };
        DictionaryBuilder builder;
        QVERIFY(builder.open(book));
        WordExceptions exceptions;
        for (const auto& [partOfSpeech, text] : englishExceptions)
            exceptions.loadText(partOfSpeech, text);
        for (const auto& [language, articles, affixText, wordText] :
            { std::make_tuple("it", italian, italianAffixes, "5\nparlare/AILJ\ncaso/o\nveloce/Y\nfinire\nfinito/o\n"),
                std::make_tuple("en", english, englishAffixes, englishWords) }) {
            AffixExpander expander;
            DictdImporter importer;
            QVERIFY(QDir().mkpath(dir.filePath(language)) && expander.loadText(affixText, wordText));
            QVERIFY2(importer.import(DictdFiles::writeDictd(dir.filePath(language), articles), language, &expander,
                         builder, &exceptions), qPrintable(importer.errorString()));
        }
        QVERIFY(TestSupport::writeFile(dir.filePath("source.tsv"), "# commento\n\n@source it\nPerché\t2\ts.f.\t"
            "Parola dell'esempio, con più città.\tBorghi, ,borghi,borgate,\tCaffè \tArte dell'esempio\n"));
        DictionarySource reader;
        QVERIFY(reader.read(dir.filePath("source.tsv"), "en", [&](auto& e) { return builder.add(e); }));
        QVERIFY(builder.finish());
    }

    // Base-64 numbers of several digits, the last two of which are "+" and "/".
    void indexNumbers() { QCOMPARE(DictdSource::decodeNumber("B+/"), qint64((1 * 64 + 62) * 64 + 63)); }

    // Conditions, a strip with a cross product, a second rule, a vowel before "y", no flags, a capital.
    void affixRules()
    {
        AffixExpander expander;
        QVERIFY2(expander.loadText(englishAffixes, englishWords), qPrintable(expander.errorString()));
        for (const auto& [word, forms] : QList<QPair<QString, QStringList>> { { "dog", { "doged", "dogs" } },
                 { "pony", { "ponies", "unponies", "unpony" } }, { "bus", { "buses" } }, { "bay", { "bays" } },
                 { "key", {} }, { "Dog", { "doged", "dogs" } } }) {
            QStringList made = expander.forms(word);
            made.sort();
            QVERIFY2(made == forms, qPrintable(word + ": " + made.join(", ")));
        }
    }

    void refusedSources_data()
    {
        QTest::addColumn<QByteArray>("text"); // a dictd index, or a text source when there is no data
        QTest::addColumn<QByteArray>("data");
        QTest::addColumn<QString>("error"); // how the reason ends
        const QString line = QStringLiteral("bad.index:1: malformed line");
        const QString gz = QStringLiteral("bad.dict.dz is not a readable gzip file");
        const QByteArray dog = DictdFiles::gzip("dog\n"), index("dog\tA\tB\n");
        QTest::newRow("offset past the end") << QByteArray("dog\tZ\tB\n") << dog << line;
        QTest::newRow("not base-64") << QByteArray("dog\tA\t*\n") << dog << line;
        QTest::newRow("missing field") << QByteArray("dog\tA\n") << dog << line;
        QTest::newRow("empty length") << QByteArray("dog\tA\t\n") << dog << line;
        QTest::newRow("not gzip") << index << QByteArray("dog\n") << gz;
        QTest::newRow("cut gzip") << index << DictdFiles::gzip(QByteArray(5000, 'x')).left(20) << gz;
        QTest::newRow("no headword") << QByteArray("house\n\ts.f.\n") << QByteArray() << "bad.tsv:2: malformed entry";
        QTest::newRow("too many fields") << QByteArray("a\tb\tc\td\te\tf\tg\th") << QByteArray()
                                         << "bad.tsv:1: malformed entry";
    }

    void refusedSources()
    {
        QFETCH(QByteArray, text);
        QFETCH(QByteArray, data);
        QFETCH(QString, error);
        QTemporaryDir bad;
        const bool tsv = data.isEmpty();
        QVERIFY(TestSupport::writeFile(bad.filePath(tsv ? "bad.tsv" : "bad.index"), text)
            && TestSupport::writeFile(bad.filePath("bad.dict.dz"), data));
        DictdSource dictd;
        DictionarySource source;
        QVERIFY(!(tsv ? source.read(bad.filePath("bad.tsv"), "it", [](auto&) { return true; })
                      : dictd.read(bad.filePath("bad"))));
        const QString reason = tsv ? source.errorString() : dictd.errorString();
        QVERIFY2(reason.endsWith(error), qPrintable(reason));
    }

    // What a word finds: inflections find their entry and are listed on its page, verb forms with pronouns
    // find it unlisted, derived and definition words the full text only; another article's headword is its
    // own, and also a form of a verb or of an English word ("stato", "better").
    void forms_data()
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
        QTest::newRow("agent noun") << "walker" << "" << false << "walk";
        QTest::newRow("past") << "walked" << "walk" << true << "";
        QTest::newRow("form of a capitalised headword") << "doged" << "Dog" << true << "";
        QTest::newRow("phrase of the index") << "The mouth waters" << "" << false << "";
        QTest::newRow("sense word") << "quadruped" << "" << false << "Dog";
        QTest::newRow("quotation word") << "servant" << "" << false << "";
        QTest::newRow("second sense word") << "barking" << "" << false << "bark";
        QTest::newRow("form of a text source, case variants") << "borghi" << "Perché" << true << "";
        QTest::newRow("participle listed as a word of its own") << "finito" << "finire" << true << "";
        QTest::newRow("participle of an irregular verb, and an article") << "stato" << "essere,stare" << true << "";
        QTest::newRow("feminine of a verb form, and an article") << "finita" << "finire" << true << "";
        QTest::newRow("irregular English past") << "went" << "Go" << true << "";
        QTest::newRow("irregular English participle") << "gone" << "Go" << true << "";
        QTest::newRow("irregular plural, category unknown") << "mice" << "mouse" << true << "";
        QTest::newRow("irregular comparative, and an article") << "better" << "Good" << true << "";
        QTest::newRow("irregular past of the verb only") << "saw" << "See" << true << "";
        QTest::newRow("phrase of an exception list") << "brothers in law" << "" << false << "";
        for (const auto& [word, infinitive] : QList<QPair<QString, QString>> { { "vado", "andare" },
                 { "andrò", "andare" }, { "vengo", "venire" }, { "fui", "essere" }, { "stetti", "stare" },
                 { "dissi", "dire" }, { "ottengo", "ottenere" }, { "rifeci", "rifare" } })
            QTest::newRow(qPrintable("irregular " + word)) << word << infinitive << true << "";
    }

    // Forms are looked up by the hash the search computes from what the user types.
    void forms()
    {
        QFETCH(QString, word);
        QFETCH(QString, entry);
        QFETCH(bool, listed);
        QFETCH(QString, keywordOf);
        QCOMPARE(rows(db, "select l.nome from lemma l, lemmatizzatore f where f.id_lemma = l.id and f.flessi = "
                     + QByteArray::number(inflectionHash(word))), entry.split(',', Qt::SkipEmptyParts));
        const QString listedForms = pageOf(book, entry.section(',', 0, 0)).section("<p class=\"flessi\">", 1).section("</p>", 0, 0);
        QCOMPARE(listedForms.split(", ").contains(word), listed);
        QCOMPARE(rows(db, "select l.nome from lemma l, keyword k, keyword_lemma kl where kl.id_lemma = l.id and "
                          "k.id = kl.id_keyword and k.keyword = '" + word.toUtf8() + "'"),
            keywordOf.split(',', Qt::SkipEmptyParts));
    }

    void stored()
    {
        const QList<QPair<QByteArray, QStringList>> table {
            // The index's other names lead to their article and name it: without sense numbers or letter
            // codes, none for a suffix or for what is a form of the headword ("Went" of Go); a name differing
            // only in case or letter codes, and the database's own article, make no row.
            { "select a.nome || '>' || a.hwgram || '>' || b.nome from lemma a, lemma b where a.id <> a.id_zenta "
              "and b.id = a.id_zenta order by a.nome",
                { "The mouth waters>→ Water>Water", "aeroplane>→ airplane>airplane", "dog>→ Sundog>Sundog",
                    "hound>→ Dog>Dog", "omicron Ceti>→ Mira>Mira" } },
            { "select nome from lemma where nome like '00%'", {} },
            { "select hwgram from lemma where nome in ('bark', 'Dog') order by nome", { "n.", "n., v." } },
            { "select hwgram from lemma where nome in ('Went', 'See') order by hwgram", { "n.", "n.", "v. t." } },
            { "select a.nome_n, l.nome from ambiti a, lemma_ambito la, lemma l where a.id = la.id_ambito and "
              "l.id = la.id_lemma order by l.nome",
                { "Zoologia|Canis", "Zoologia|Dog", "Arte dell'esempio|Perché" } },
            { "select nome_n, omo, hwgram, source from lemma where nome = 'Perché'", { "perche|2|s.f.|it" } },
            // Case variants of a form are stored once; keywords normalised, each once, function words left out.
            { "select count(*) from lemmatizzatore f, lemma l where f.id_lemma = l.id and l.nome = 'Perché'",
                { "2" } },
            { "select k.keyword from keyword k, keyword_lemma kl, lemma l where k.id = kl.id_keyword and "
              "l.id = kl.id_lemma and l.nome = 'Perché' order by k.keyword",
                { "caffe", "citta", "esempio", "parola", "piu" } },
        };
        for (const auto& [sql, found] : table)
            QVERIFY2(rows(db, sql) == found, qPrintable(sql + ": " + rows(db, sql).join(", ")));
    }

    // Cross-references open their entry, unknown ones stay plain; senses numbered with their field label,
    // quotations apart; the older sources' letter codes and stress marks decoded; names as the text writes them.
    void pages()
    {
        const QList<QPair<QString, QString>> shown { { "Dog", ">Canis</a>" }, { "Dog", "(dŏg)" },
            { "Dog", "<a href=\"" + locationOf(db, "bark").replace('|', '#') + "\">bark</a>" },
            { "Dog", "<p class=\"def\"><b>1.</b> <span class=\"ambito\">Zool.</span> A quadruped" },
            { "Dog", "<p class=\"def\"><b>2.</b> A mean" }, { "Dog", "<blockquote class=\"esempio\">What is thy" },
            { "bark", "<i>yelp</i>" }, { "bark", "<i class=\"esempio\">“the bark woke us”</i>" },
            { "bark", "<p class=\"gram\">v.</p><p class=\"def\"><b>1:</b> make a barking sound" },
            { "pony", "<p class=\"def\">cavallino</p>" }, { "Écarté", "[F. écarter.]" }, { "Water", "(wô´tẽr)" },
            { "Happy", "(-pĭ-ẽr)" }, { "Accolade", "(ăkˋkō̍-lād´ or ȧkˋko͞oläd´)" },
            { "Roma", "<h2 class=\"lemma\">Roma</h2>" }, { "mouse", "<p class=\"flessi\">mice</p>" } };
        for (const auto& [headword, part] : shown)
            QVERIFY2(pageOf(book, headword).contains(part), qPrintable(headword + ": " + part));
        QVERIFY(!pageOf(book, "Dog").contains("1913 Webster"));
        // One part of speech is named beside the headword only; two head their senses.
        QCOMPARE(pageOf(book, "whine").count("<p class=\"gram\">"), 0);
        QCOMPARE(pageOf(book, "bark").count("<p class=\"gram\">"), 2);
    }

    // What the store serves and the program installs, from the demo sources and the imported book: the
    // database and one archive per content file, holding a member of that name in well-formed XHTML.
    void packages_data()
    {
        QTest::addColumn<QString>("source"); // empty: the imported book
        const QDir demo(qEnvironmentVariable("VOCALUME_SOURCE_DIR") + "/tools/packagebuilder/demo");
        QVERIFY(demo.entryList({ "*.tsv" }).size() >= 2);
        for (const QString& name : demo.entryList({ "*.tsv" }))
            QTest::newRow(qPrintable(name)) << demo.absoluteFilePath(name);
        QTest::newRow("imported") << QString();
    }

    void packages()
    {
        QFETCH(QString, source);
        QTemporaryDir out;
        const QString built = source.isEmpty() ? book : out.filePath("book");
        if (!source.isEmpty()) {
            DictionaryBuilder builder;
            DictionaryBuilder::Options options;
            options.entriesPerFile = 40;
            DictionarySource reader;
            QVERIFY(builder.open(built, options) && reader.read(source, "it", [&](auto& e) { return builder.add(e); }));
            QVERIFY(builder.finish() && builder.entryCount() >= 100);
        }
        QVERIFY(DictionaryBuilder::writePackage(built, out.filePath("package.zip")));
        const QString database = built + "/database.db";
        QStringList members { "database.db" };
        QHash<QString, QString> texts;
        for (const QString& file : rows(database, "select file from file")) {
            members << file + ".zip";
            QByteArray bytes;
            QVERIFY(PageLoader::readArchive(built + '/' + file + ".zip", file, &bytes));
            QXmlStreamReader xml(bytes);
            while (!xml.atEnd())
                xml.readNext();
            QVERIFY2(!xml.hasError(), qPrintable(file + ": " + xml.errorString()));
            texts.insert(file, QString::fromUtf8(bytes));
        }
        members.sort();
        QCOMPARE(zipMembers(out.filePath("package.zip")), members);
        // Every row, an entry's other names too, opens a div of its entry in the file it names.
        const QStringList entries = rows(database, "select l.id_zenta, f.file, l.nome, l.id = l.id_zenta from lemma l, "
            "file_lemma fl, file f where l.id = fl.id_lemma and f.id = fl.id_file");
        QCOMPARE(QString::number(entries.size()), rows(database, "select count(*) from lemma").value(0));
        for (const QString& row : entries) {
            const QStringList parts = row.split('|');
            const QString div = PageLoader::extractDivById(parts.at(0), texts.value(parts.at(1)));
            QVERIFY2(div.startsWith(QStringLiteral("<div id=\"%1\"").arg(parts.at(0))), qPrintable(row));
            QVERIFY2(parts.at(3) == "0" || div.contains(parts.at(2).toHtmlEscaped()), qPrintable(row));
        }
    }

    void definitionKeywordsCap() // a repeated word, in any case, counts once; given keywords are not capped
    {
        QTemporaryDir capped;
        DictionaryBuilder builder;
        DictionaryBuilder::Options options;
        options.maximumDefinitionKeywords = 2;
        DictionaryEntry e = TestDictionary::entry("dimora", "", {}, { "tetto" });
        e.definition = "Casa casa CASA grande, casa piccola e bella.";
        QVERIFY(builder.open(capped.path(), options) && builder.add(e) && builder.finish());
        QCOMPARE(rows(capped.filePath("database.db"), "select keyword from keyword order by id"),
            QStringList({ "casa", "grande", "tetto" }));
    }
};

VOCALUME_TEST_MAIN(TestPackageBuilder)
#include "tst_packagebuilder.moc"
