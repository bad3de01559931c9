// The generated dictionary the search benchmarks run on, and what a user would type in it.
#pragma once

#include <QString>
#include <QVector>

// What a user types, taken from one entry: the first letters of its headword, one of its
// keywords, a three-letter prefix; and the scope a scoped full-text search looks in (none here).
struct SearchQuery {
    QString typed;
    QString keyword;
    QString prefix;
    QString scope;
};

namespace SyntheticBook {
// Builds `entries` entries (ten inflected forms and five keywords each, no content files) into the
// book folder `book` and prints its size and build time; `queries` gets `count` queries taken from
// entries spread over it. False, with the reason printed, when the build fails.
bool build(const QString& book, int entries, int count, QVector<SearchQuery>* queries);
// Marks the user signed in and dictionary `sku` installed and listed in the page's database, as
// the library does, with the title and source language its page shows. False when the database did not open.
bool install(const QString& sku, const QString& title, const QString& sourceLanguage);
}
