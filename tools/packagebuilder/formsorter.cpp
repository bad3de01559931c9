#include "tools/packagebuilder/formsorter.h"

namespace {
QStringList words(const char* text) { return QString::fromUtf8(text).split(QLatin1Char(' ')); }

bool endsWithAny(const QString& text, const QStringList& endings)
{
    for (const QString& ending : endings)
        if (text.endsWith(ending))
            return true;
    return false;
}
}

FormSorter::FormSorter(const QString& code)
    : language(code)
{
}

// English inflects with a few endings only; whatever else a rule adds makes another word
// ("happiness", "walker"). "-er" is the comparative where the word also has the superlative.
// Italian derives adverbs, superlatives, ordinals and, from nouns and adjectives, diminutives,
// augmentatives and compound numerals; everything else its rules add is an inflection.
bool FormSorter::isInflectionalSuffix(const AffixExpander::Form& form, const QSet<QString>& texts) const
{
    if (language == QLatin1String("en")) {
        static const QStringList inflections = words("s es ies d ed ied ing st est iest");
        static const QStringList comparatives = words("r er ier");
        return inflections.contains(form.suffix)
            || (comparatives.contains(form.suffix) && texts.contains(form.text.chopped(1) + QStringLiteral("st")));
    }
    if (language == QLatin1String("it")) {
        static const QStringList derived = words("mente errimo errima errimi errime esimo esima esimi esime enne enni");
        static const QStringList nominal = words("issimo issima issimi issime ina ine etta ette ona one "
                                                 "uno due tre tré quattro cinque sei sette otto nove dieci "
                                                 "undici dodici tredici quattordici quindici sedici venti "
                                                 "trenta quaranta cinquanta sessanta settanta ottanta novanta "
                                                 "cento mila");
        return !endsWithAny(form.suffix, derived) && !(form.stripped <= 1 && endsWithAny(form.suffix, nominal));
    }
    return true;
}

// An Italian form with pronouns attached: a form of the word ("parlando", "parla", "fatto"),
// or the infinitive without its last letters ("parlar-", "trar-"), then one pronoun or two
// ("-mi", "-melo", "-gliene"), whose consonant doubles after a monosyllable ("fammi").
// "parlavi" is the imperfect and "parlati" the participle, not "parla" with a pronoun.
bool FormSorter::isEnclitic(const QString& headword, const QString& form, const QSet<QString>& texts) const
{
    if (language != QLatin1String("it") || headword.size() < 4)
        return false;
    static const QStringList last = words("mi ti ci vi si lo la li le ne gli");
    static const QStringList before = words("me te ce ve se glie mi ti ci vi si lo la li le ne gli");
    const bool verb = headword.endsWith(QLatin1String("re")) || headword.endsWith(QLatin1String("rsi"));
    const auto isBase = [&](const QString& base) {
        return base.size() >= 2
            && (texts.contains(base) || base == headword
                || (verb && (base == headword.chopped(1) || base == headword.chopped(2))));
    };
    // What may stand before `pronoun` at the end of `text`: the rest of it, and a monosyllable
    // when the pronoun's consonant is doubled.
    const auto basesBefore = [](const QString& text, const QString& pronoun) {
        QStringList bases;
        for (const QString& written : { pronoun, pronoun.at(0) + pronoun })
            if (text.size() > written.size() && text.endsWith(written)
                && (written == pronoun || text.size() - written.size() <= 3))
                bases << text.chopped(written.size());
        return bases;
    };
    const bool regularImperfect = verb && QStringLiteral("aei").contains(headword.at(headword.size() - 3));
    for (const QString& pronoun : last) {
        const QString masculine = form.chopped(1) + QLatin1Char('o');
        if (pronoun == QLatin1String("ti") && (texts.contains(masculine) || masculine == headword))
            continue;
        for (const QString& base : basesBefore(form, pronoun)) {
            if (pronoun == QLatin1String("vi") && regularImperfect && base == headword.chopped(2))
                continue;
            if (isBase(base))
                return true;
            for (const QString& first : before)
                for (const QString& firstBase : basesBefore(base, first))
                    if (isBase(firstBase))
                        return true;
        }
    }
    return false;
}

FormSorter::Sorted FormSorter::sort(
    const QString& headword, const QVector<AffixExpander::Form>& forms, const QStringList& knownForms) const
{
    QSet<QString> texts(knownForms.cbegin(), knownForms.cend());
    for (const AffixExpander::Form& form : forms)
        texts.insert(form.text);
    Sorted sorted;
    for (const AffixExpander::Form& form : forms) {
        const bool inflectional = form.suffix.isEmpty() || isInflectionalSuffix(form, texts);
        if (isEnclitic(headword, form.text, texts))
            sorted.enclitic << form.text;
        else if (!form.prefixed)
            (inflectional ? sorted.inflections : sorted.derived) << form.text;
        else if (form.suffix.isEmpty())
            sorted.derived << form.text;
    }
    return sorted;
}
