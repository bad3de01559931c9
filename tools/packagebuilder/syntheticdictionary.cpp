#include "tools/packagebuilder/syntheticdictionary.h"

namespace {
const char* const syllables[] = { "ba", "be", "bi", "bo", "ca", "ce", "chi", "co", "cu", "da", "de", "di", "do", "fa",
    "fe", "fi", "fo", "ga", "ge", "gi", "go", "la", "le", "li", "lo", "lu", "ma", "me", "mi", "mo", "na", "ne", "ni",
    "no", "pa", "pe", "pi", "po", "ra", "re", "ri", "ro", "sa", "se", "si", "so", "ta", "te", "ti", "to", "tu", "va",
    "ve", "vi", "vo", "za", "ze", "zi", "zo", "stra", "pre", "tro" };
const int syllableCount = int(sizeof(syllables) / sizeof(syllables[0]));
const char* const endings[] = { "a", "e", "i", "o", "are", "ato", "ata", "ati", "ate", "ando", "ava", "erò", "ono",
    "iamo", "ete", "ità", "mente", "ore", "rice", "ino" };
const int endingCount = int(sizeof(endings) / sizeof(endings[0]));
const char* const categories[] = { "s.m.", "s.f.", "agg.", "v.tr.", "v.intr.", "avv." };
const char* const scopeRoots[] = { "Agricoltura", "Anatomia", "Architettura", "Astronomia", "Biologia", "Botanica",
    "Chimica", "Cinema", "Diritto", "Economia", "Filosofia", "Fisica", "Geografia", "Informatica", "Letteratura",
    "Linguistica", "Marina", "Matematica", "Medicina", "Musica", "Politica", "Sport", "Teatro", "Zoologia" };
const int scopeRootCount = int(sizeof(scopeRoots) / sizeof(scopeRoots[0]));

// SplitMix64: a cheap, well-mixed sequence from any key.
quint64 mix(quint64 x)
{
    x += 0x9e3779b97f4a7c15ULL;
    x = (x ^ (x >> 30)) * 0xbf58476d1ce4e5b9ULL;
    x = (x ^ (x >> 27)) * 0x94d049bb133111ebULL;
    return x ^ (x >> 31);
}
}

SyntheticDictionary::SyntheticDictionary(const Shape& shape)
    : dictionaryShape(shape)
{
    for (int i = 0; i < shape.scopes; ++i)
        scopeNames << (i < scopeRootCount ? QString::fromLatin1(scopeRoots[i])
                                          : QStringLiteral("%1 %2")
                                                .arg(QString::fromLatin1(scopeRoots[i % scopeRootCount]))
                                                .arg(i / scopeRootCount + 1));
}

QString SyntheticDictionary::word(quint64 key, int count) const
{
    QString out;
    quint64 bits = mix(key ^ (quint64(dictionaryShape.seed) << 32));
    for (int i = 0; i < count; ++i) {
        out += QLatin1String(syllables[bits % syllableCount]);
        bits /= syllableCount;
        if (bits < quint64(syllableCount))
            bits = mix(bits + key + quint64(i));
    }
    return out;
}

QString SyntheticDictionary::headwordOf(int index) const
{
    // Three or four syllables: about 62^3 distinct stems, so most headwords are unique and
    // prefixes of one or two syllables have many entries.
    return word(quint64(index), 3 + int(mix(quint64(index) + 7) % 2));
}

DictionaryEntry SyntheticDictionary::entry(int index) const
{
    const quint64 key = quint64(index);
    const quint64 bits = mix(key + 0x51ed);
    DictionaryEntry e;
    e.headword = headwordOf(index);
    e.pos = QLatin1String(categories[bits % 6]);
    e.source = dictionaryShape.source;
    const QString stem = e.headword.left(e.headword.size() - 1);
    for (int i = 0; i < dictionaryShape.formsPerEntry; ++i)
        e.forms << stem + QString::fromUtf8(endings[(bits + quint64(i)) % endingCount])
                + (i >= endingCount ? QString::number(i) : QString());
    // Keywords come from a vocabulary of other headwords, so a keyword search finds both an entry
    // with that headword and the entries that mention it.
    const int vocabulary = qMax(1, qMin(dictionaryShape.entries, 20000));
    for (int i = 0; i < dictionaryShape.keywordsPerEntry; ++i)
        e.keywords << headwordOf(int(mix(key * 31 + quint64(i)) % quint64(vocabulary)));
    if (!scopeNames.isEmpty())
        e.scopes << scopeNames.at(int(bits % quint64(scopeNames.size())));
    // The definition holds only the keywords, so it adds no links of its own.
    e.definition = e.keywords.join(QStringLiteral(", ")) + QLatin1Char('.');
    return e;
}
