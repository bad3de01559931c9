// Merging the account's library into the SYSTEM rows of the web database, and reading it back.
#pragma once

#include "services/book.h"

#include <QPair>
#include <QStringList>
#include <QVector>

class WebStore;

class LibraryMerge
{
public:
    // The seventeen variables a synchronisation writes for every dictionary, in merge order,
    // each with the Book field it comes from. The first one tells whether a dictionary is known.
    static const QVector<QPair<QString, QString>>& variables();

    // Writes every variable of `book` (inserting a new dictionary's TITLE, STATUS and VISIBLE
    // first) and applies the state transitions of a known one. Lets pending events run where
    // a long merge must stay responsive. True when the merge changed what the page shows.
    static bool mergeBook(WebStore& store, const Book& book);

    // The library recorded in SYSTEM, one Book per dictionary in ascending identifier order.
    static QVector<Book> readLibrary(WebStore& store);

private:
    static void writeDiagnostics(const Book& book);
    static bool applyTransition(WebStore& store, const Book& book);
};
