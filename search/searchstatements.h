// The SQL text of every dictionary search. Values are made safe here (apostrophes doubled);
// the numbers (rows to skip, rows to return, scope id) must already be whole numbers.
#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

// The forms of the search word that the statements compare with.
struct SearchWordForms {
    QByteArray lower; // U: the word lower-cased, UTF-8
    QByteArray normalized; // N: the word normalised for the source language, then lower-cased
    QByteArray hash; // H: the inflection hash in decimal
};

// CRC-32 of the lower-cased, percent-decoded word's UTF-8 bytes: how lemmatizzatore stores an
// inflected form.
quint32 inflectionHash(const QString& word);
SearchWordForms searchWordForms(const QString& word, const QString& sourceLanguage);

namespace SearchStatements {
QByteArray entryCount(const SearchWordForms& w, const QString& sourceLanguage);
QByteArray entryExact(const SearchWordForms& w, const QString& sourceLanguage);
QByteArray entryRelated(
    const SearchWordForms& w, const QString& sourceLanguage, const QString& start, const QString& offset);
// The entries of one source language whose normalised headword (or other name) is N, or that have the
// word as an inflected form: those a page of the word shows.
QByteArray wordCount(const SearchWordForms& w, const QString& sourceLanguage);
// Up to `count` of the entries wordCount counts, the word's own headwords (or other names) first,
// then the entries it is an inflected form of; each in alphabetical order, homographs by number.
QByteArray wordEntries(const SearchWordForms& w, const QString& sourceLanguage, int count);
// Up to `offset` entries (other than the word's own headword) that have the word as an inflected
// form, in alphabetical order.
QByteArray entryOfForm(const SearchWordForms& w, const QString& sourceLanguage, const QString& offset);
// An empty scope searches the whole dictionary.
QByteArray fullTextCount(const SearchWordForms& w, const QString& sourceLanguage, const QString& scope);
QByteArray fullTextPage(const SearchWordForms& w, const QString& sourceLanguage, const QString& scope,
    const QString& start, const QString& offset);
QByteArray wordListCount(const SearchWordForms& w, const QString& sourceLanguage);
// The same count for a dictionary whose headwords are all of the source language.
QByteArray wordListCountOneLanguage(const SearchWordForms& w);
// The smallest and the largest source language of the headwords.
QByteArray sourceLanguageRange();
QByteArray wordListPage(
    const SearchWordForms& w, const QString& sourceLanguage, const QString& from, const QString& to);
QByteArray scopes();
// The name of the content file whose row id is `key`.
QByteArray fileName(const QByteArray& key);
// The same with the key as parameter 1, for a statement compiled once and bound per key.
QByteArray fileNameOfKey();
// Every headword of one source language with its normalised form.
QByteArray headwords(const QString& sourceLanguage);
// Up to `count` headwords of one source language whose normalised form begins with N, with that
// form and their category, in its order: a headword equal to N comes first.
QByteArray headwordPrefix(const SearchWordForms& w, const QString& sourceLanguage, int count);
// Up to `count` rows of the whole index after (`forward`) or before the place made of the
// lower-cased headword `name` and the entry's and file's row ids.
QByteArray indexPage(
    const QString& sourceLanguage, const QString& name, qint64 lemma, qint64 file, bool forward, int count);

// Every statement above, with sample values: what a dictionary's database must be able to
// compile, from tables rather than views, for every search to work (the installation checks it).
QList<QByteArray> all();
}
