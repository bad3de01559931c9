// Synthetic dictionaries for tests and benchmarks: deterministic Italian-looking headwords,
// inflected forms, keyword links and scopes, in any number.
#pragma once

#include "tools/packagebuilder/dictionaryentry.h"

#include <QString>
#include <QStringList>

class SyntheticDictionary {
public:
    struct Shape {
        int entries = 1000;
        int formsPerEntry = 10; // inflected forms per entry
        int keywordsPerEntry = 5; // keyword links per entry
        int scopes = 24;
        QString source = QStringLiteral("it");
        quint32 seed = 1;
    };

    explicit SyntheticDictionary(const Shape& shape);

    // The entry with index `index` (0 <= index < shape.entries); the same shape always gives the
    // same entries.
    DictionaryEntry entry(int index) const;
    // A word that begins some headwords of this dictionary (for searches).
    QString headwordOf(int index) const;
    const Shape& shape() const { return dictionaryShape; }

private:
    QString word(quint64 key, int syllables) const;

    Shape dictionaryShape;
    QStringList scopeNames;
};
