// The dictionary searches. Each runs on the calling thread with a connection of its own and
// writes only its own half of a SearchState; none of them touches a widget.
#pragma once

#include <QString>

class SearchState;

// How a search got on with the dictionary's database.
enum class DatabaseAccess {
    Opened, // the statements ran (or were refused for a malformed number)
    Missing, // no database.db for the dictionary
    OpenFailed, // the file exists but SQLite could not open it: the GUI thread warns the user
};

// ~/.vocalumezenta/engine/books/<sku>/database.db when that file exists, else the empty text.
// An sku that is not a plain directory name never names a book.
QString getBookDatabasePath(const QString& sku);

// Headword and inflected-form search: searchKind "lemmatizzatore".
DatabaseAccess searchOnBookEntry(SearchState* state, const QString& sku, const QString& word, const QString& scope,
    const QString& start, const QString& sourceLanguage, const QString& offset);
// Keyword search, restricted to one scope unless `scope` is empty: searchKind "fullText".
DatabaseAccess searchOnBookFullText(SearchState* state, const QString& sku, const QString& word, const QString& scope,
    const QString& start, const QString& offset, const QString& sourceLanguage);
// Alphabetical word list by headword prefix: wordListResults and wordListTotal.
DatabaseAccess searchWordList(SearchState* state, const QString& sku, const QString& word, const QString& from,
    const QString& to, const QString& sourceLanguage);

// Whether dictionary `sku` has `word` as a headword, another name of an entry or an inflected form
// (what a page of the word shows, not merely headwords that begin with it).
bool findsWord(const QString& sku, const QString& word, const QString& sourceLanguage);

// The text of the box shown when a dictionary's database cannot be opened for a search.
QString databaseOpenFailedText();
