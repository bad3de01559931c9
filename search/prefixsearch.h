// The headwords of the installed dictionaries that begin with a typed text: what the desktop's
// own search lists while the user types. Accents and case count as the entry search counts them
// (through the normalised headwords). The statements run on the calling thread, one short
// read-only connection per dictionary, so callers keep it off any thread that must answer fast.
#pragma once

#include <QString>
#include <QVector>

namespace PrefixSearch {

struct Book {
    QString sku;
    QString title;
    QString sourceLanguage;
};

struct Hit {
    QString sku;
    QString title; // the dictionary's
    QString word; // the headword as printed, or another name of an entry
    QString key; // its normalised form
    QString entry; // for another name, the headword of the entry it leads to; else empty
    bool exact = false; // the normalised headword equals the normalised text

    // What the desktop shows: the headword, or the name and where it leads ("idocrase → Vesuvianite").
    QString label() const { return entry.isEmpty() ? word : word + QStringLiteral(" \u2192 ") + entry; }
};

// Up to `limit` headwords of `book` in its source language that begin with `text`, in the order of
// their normalised form, each spelling once whatever its case ("Wentletrap", "wentletrap"); none when
// the text is blank or the dictionary has no readable database.
QVector<Hit> inBook(const Book& book, const QString& text, int limit);

// The hits of several dictionaries, each list as inBook gave it, in the dictionaries' order:
// exact ones first, then by normalised form, a tie in the order given; at most `limit`.
QVector<Hit> merged(const QVector<QVector<Hit>>& lists, int limit);
}
