// The words closest in spelling to a word that no installed dictionary finds, for the search of
// every dictionary ("Forse cercavi"): the headwords of each dictionary and the words of the
// system's spelling dictionaries for their languages (a form such as "went" is no headword, yet
// a dictionary finds it), a spelling word offered only when a dictionary of its language finds it.
// Reads everything anew at each call and keeps nothing: it runs on a worker thread, and only when
// a search found nothing anywhere.
#pragma once

#include <QString>
#include <QStringList>
#include <QVector>

namespace SpellingSuggestions {

struct Book {
    QString sku;
    QString sourceLanguage;
};

// Up to `limit` words closest to `word`, closest first, then in alphabetical order; each spelling
// once, whatever its case.
QStringList closest(const QVector<Book>& books, const QString& word, int limit = 5);

// The folder holding the spelling dictionaries (<language>_<COUNTRY>.dic with its .aff), by default
// the system's; tests name their own.
void setSpellingFolder(const QString& folder);
}
