// The dictionary searches. Each runs on the calling thread with a connection of its own and
// writes only the SearchResults it is given; none of them touches a widget.
#pragma once

#include <QString>

struct SearchResults;

// How a search got on with the dictionary's database.
enum class DatabaseAccess {
    Opened, // the statements ran (or were refused for a malformed number)
    Missing, // no database.db for the dictionary
    OpenFailed, // the file exists but SQLite could not open it: the GUI thread warns the user
};

// ~/.vocalumezenta/engine/books/<sku>/database.db when that file exists, else the empty text.
// An sku that is not a plain directory name never names a book.
QString getBookDatabasePath(const QString& sku);

// Headword and inflected-form search: kind Entry.
DatabaseAccess searchOnBookEntry(SearchResults* found, const QString& sku, const QString& word, const QString& scope,
    const QString& start, const QString& sourceLanguage, const QString& offset);
// The entries a page of `word` opens on, without the headwords that merely begin with it: the
// word's own headwords and other names, accents and case as the entry search counts them
// (homographs in their order), then the entries it is an inflected form of; at most `limit` rows,
// kind Entry, total the rows found. For a look-up that shows entries at once.
DatabaseAccess searchWordEntries(
    SearchResults* found, const QString& sku, const QString& word, const QString& sourceLanguage, int limit);
// Keyword search, restricted to one scope unless `scope` is empty: kind FullText.
DatabaseAccess searchOnBookFullText(SearchResults* found, const QString& sku, const QString& word, const QString& scope,
    const QString& start, const QString& offset, const QString& sourceLanguage);
// Alphabetical word list by headword prefix: kind WordList.
DatabaseAccess searchWordList(SearchResults* found, const QString& sku, const QString& word, const QString& from,
    const QString& to, const QString& sourceLanguage);

// Whether dictionary `sku` has `word` as a headword, another name of an entry or an inflected form
// (what a page of the word shows, not merely headwords that begin with it).
bool findsWord(const QString& sku, const QString& word, const QString& sourceLanguage);

// The text of the box shown when a dictionary's database cannot be opened for a search.
QString databaseOpenFailedText();
