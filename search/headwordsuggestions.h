// The headwords closest in spelling to a word that matched nothing ("Forse cercavi"): accents
// and case are ignored through the headwords' normalised forms, and the distance is the number
// of letters added, removed, changed or swapped. The headwords of one dictionary and language are
// read once and kept, so each later suggestion only walks them in memory.
#pragma once

#include <QString>
#include <QStringList>
#include <QVector>

class HeadwordSuggestions {
public:
    // Up to `limit` headwords of dictionary `sku` in `sourceLanguage` closest to `word`, closest
    // first, then in alphabetical order; none when the dictionary cannot be read.
    QStringList suggest(const QString& sku, const QString& word, const QString& sourceLanguage, int limit = 5);

    // Edit distance of two texts, counting a swap of neighbouring letters as one edit; any value
    // above `bound` is returned as bound + 1.
    static int distance(const QString& a, const QString& b, int bound);

private:
    struct Headword {
        QString word;
        QString key; // normalised, lower case
    };
    bool load(const QString& sku, const QString& sourceLanguage);

    QString loadedSku;
    QString loadedLanguage;
    QVector<Headword> headwords;
};
