// The whole alphabetical index of a dictionary read next to a place in it, a page at a time in
// either direction, by seeking through the index on lower(nome) rather than skipping rows: the
// rows are those of the word list for the empty word (one per entry and content file), in the
// same order, with ties broken by entry and file.
#pragma once

#include <QList>
#include <QString>

namespace IndexRows {

// A place between rows: the lower-cased headword, then the entry's and file's row ids. A place
// made of a word alone (ids -1) lies before every row of that word.
struct Place {
    QString name;
    qint64 lemma = -1;
    qint64 file = -1;
};

struct Row {
    QString id;
    QString word;
    QString file;
    QString omo;
    QString hw;
    Place place;
};

// Up to `count` rows after (`forward`) or before `from`, in alphabetical order either way; none
// when the dictionary is not installed or cannot be read.
QList<Row> read(const QString& sku, const QString& sourceLanguage, const Place& from, bool forward, int count);
}
