#include "tools/packagebuilder/dictdimporter.h"

#include "tools/packagebuilder/affixexpander.h"
#include "tools/packagebuilder/dictdformatter.h"
#include "tools/packagebuilder/dictdsource.h"
#include "tools/packagebuilder/dictionarybuilder.h"
#include "tools/packagebuilder/formsorter.h"
#include "tools/packagebuilder/irregularverbs.h"
#include "tools/packagebuilder/wordexceptions.h"

#include <QHash>
#include <QRegularExpression>
#include <QSet>

namespace {
// Keeps the words of `candidates` not yet in `seen` (searches ignore case) and adds them to it.
// Words with an elided article or a possessive ("l'amico", "dog's") are left out unless the
// headword has an apostrophe itself, and so are the headwords of other articles: those answer
// for themselves ("casa" is no form of "caso").
QStringList newWords(
    const QString& headword, const QStringList& candidates, const QSet<QString>& otherHeadwords, QSet<QString>& seen)
{
    const bool apostrophes = headword.contains(QLatin1Char('\''));
    QStringList kept;
    for (const QString& word : candidates) {
        const QString key = word.toLower();
        if (seen.contains(key) || otherHeadwords.contains(key)
            || (!apostrophes && (word.contains(QLatin1Char('\'')) || word.contains(QChar(0x2019)))))
            continue;
        seen.insert(key);
        kept << word;
    }
    return kept;
}

// The plural of an Italian feminine in -a: "case", "amiche".
QString femininePlural(const QString& feminine)
{
    const bool hard = feminine.endsWith(QLatin1String("ca")) || feminine.endsWith(QLatin1String("ga"));
    return feminine.chopped(1) + (hard ? QStringLiteral("he") : QStringLiteral("e"));
}

// The spelling dictionary makes the feminine of a word in -o ("casa" of "caso") even where the
// feminine is a noun of its own: when the dictionary has an article for it, its plural goes to
// that article, which the spelling dictionary gives no forms of its own.
void sortFeminines(
    const QString& headword, const AffixExpander& affixes, const QSet<QString>& headwords, QStringList& inflections)
{
    for (const QString& form : QStringList(inflections))
        if (form.endsWith(QLatin1Char('a')) && headwords.contains(form.toLower()))
            inflections.removeAll(femininePlural(form));
    if (inflections.isEmpty() && headword.endsWith(QLatin1Char('a')) && headword.size() > 2) {
        const QStringList masculine = affixes.forms(headword.chopped(1) + QLatin1Char('o'));
        if (masculine.contains(headword) && masculine.contains(femininePlural(headword)))
            inflections << femininePlural(headword);
    }
}

bool isItalianInfinitive(const QString& word)
{
    static const QRegularExpression infinitive(QStringLiteral("^\\p{Ll}+(are|ere|ire|rre)$"));
    return infinitive.match(word).hasMatch();
}

// The spelling dictionary lists the past participles of regular verbs as adjectives of their own
// ("parlato", "temuto", "finito", "conosciuto"); the compound tenses need them as forms of the verb,
// with their feminine and plurals.
QStringList regularParticiples(const QString& infinitive, const AffixExpander& affixes)
{
    const QString ending = infinitive.right(3);
    const QString stem = infinitive.chopped(3);
    const QString participle = ending == QLatin1String("are") ? stem + QStringLiteral("ato")
        : ending == QLatin1String("ire")                      ? stem + QStringLiteral("ito")
        : stem.endsWith(QLatin1String("sc"))                  ? stem + QStringLiteral("iuto")
                                                              : stem + QStringLiteral("uto");
    if (ending == QLatin1String("rre") || !affixes.contains(participle))
        return QStringList();
    const QString base = participle.chopped(1);
    return { participle, base + QLatin1Char('a'), base + QLatin1Char('i'), base + QLatin1Char('e') };
}

// An index name as a headword: without the sense number a name may carry ("aeroplane[2]", or
// "aeroplane2" when that is a headword with a digit added) and without brackets around words the
// name may leave out ("Bishop in partibus [infidelium]"); empty for a suffix ("-men").
QString aliasName(QString name, const QSet<QString>& headwords)
{
    static const QRegularExpression senseNumber(QStringLiteral("\\s*\\[\\d+\\]"));
    static const QRegularExpression optionalWords(QStringLiteral("\\[([\\p{Ll} ]+)\\]"));
    static const QRegularExpression trailingNumber(QStringLiteral("^(.*\\p{Ll})\\d{1,2}$"));
    name.remove(senseNumber).replace(optionalWords, QStringLiteral("\\1"));
    const QRegularExpressionMatch numbered = trailingNumber.match(name);
    if (numbered.hasMatch() && headwords.contains(numbered.captured(1).toLower()))
        name = numbered.captured(1);
    name = name.simplified();
    return name.startsWith(QLatin1Char('-')) ? QString() : name;
}
}

bool DictdImporter::import(const QString& basePath, const QString& language, const AffixExpander* affixes,
    DictionaryBuilder& builder, const WordExceptions* exceptions)
{
    DictdSource source;
    if (!source.read(basePath)) {
        error = source.errorString();
        return false;
    }
    const QVector<DictdArticle>& articles = source.articles();

    // A cross-reference leads to the first article of that headword, else to the first one the
    // index names it for.
    QHash<QString, int> byHeadword;
    for (int i = 0; i < articles.size(); ++i)
        if (!byHeadword.contains(articles.at(i).headword.toLower()))
            byHeadword.insert(articles.at(i).headword.toLower(), i);
    QSet<QString> headwords;
    for (auto it = byHeadword.constBegin(); it != byHeadword.constEnd(); ++it)
        headwords.insert(it.key());
    for (int i = 0; i < articles.size(); ++i)
        for (const QString& other : articles.at(i).otherHeadwords)
            if (!byHeadword.contains(other.toLower()))
                byHeadword.insert(other.toLower(), i);
    const int first = builder.entryCount() + 1;
    int current = 0;
    // A reference to the entry itself (a name its index also lists) is no link.
    const DictdFormatter formatter([&](const QString& headword) {
        const auto found = byHeadword.constFind(DictdFormatter::decodeLetters(headword).toLower());
        return found == byHeadword.constEnd() || found.value() == current
            ? QString()
            : builder.plannedLocation(first + found.value());
    });
    const FormSorter sorter(language);
    const bool italian = language == QLatin1String("it");
    const QSet<QString> none;

    for (; current < articles.size(); ++current) {
        const DictdArticle& article = articles.at(current);
        DictionaryEntry entry = formatter.entry(article);
        entry.source = language;
        const bool verb = italian && isItalianInfinitive(entry.headword);
        const QStringList conjugation = italian ? IrregularVerbs::forms(entry.headword) : QStringList();
        FormSorter::Sorted made;
        if (affixes)
            made = sorter.sort(entry.headword, affixes->derivations(entry.headword), conjugation);
        // The spelling dictionary's regular rules make nonsense of an irregular verb.
        if (!conjugation.isEmpty())
            made.inflections = conjugation;
        else if (verb && affixes)
            made.inflections += regularParticiples(entry.headword, *affixes);
        if (exceptions && language == QLatin1String("en"))
            made.inflections += exceptions->forms(entry.headword, entry.pos);
        if (italian && affixes && !verb)
            sortFeminines(entry.headword, *affixes, headwords, made.inflections);
        QSet<QString> seen { entry.headword.toLower(), article.headword.toLower() };
        // A verb form, or an English inflection, is a form of its word also where it is the
        // headword of another article ("stato" of essere and stare, "porta" of portare, "better" of
        // good, "netting" of net): the search shows both. The feminine of an Italian noun is not.
        entry.forms = newWords(entry.headword, made.inflections, verb || !italian ? none : headwords, seen);
        entry.unlistedForms = newWords(entry.headword, made.enclitic, headwords, seen);
        // Derived words stay findable in the full text.
        entry.keywords += newWords(entry.headword, made.derived, headwords, seen);
        // The index's other names for the article that are no inflection of its headword (another
        // spelling, a synonym, a phrase the article explains) lead to it under their own name.
        const QString text = DictdFormatter::decodeLetters(article.text);
        for (const QString& other : article.otherHeadwords) {
            const QString name = aliasName(DictdFormatter::nameInText(other, text), headwords);
            if (!name.isEmpty() && !seen.contains(name.toLower()))
                entry.aliases << name;
            seen.insert(name.toLower());
        }
        if (!builder.add(entry)) {
            error = builder.errorString();
            return false;
        }
    }
    return true;
}
