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

    // Whether `bookId` can name a dictionary: not empty, and no folder outside the books
    // folder ("/", "\\", ".." or ".").
    static bool isMergeable(const QString& bookId);
    // `books` without the ones whose identifier is not mergeable (each skipped with a diagnostic).
    static QVector<Book> mergeable(const QVector<Book>& books);

    // Hides every dictionary, then merges `books` in list order. Runs inside the caller's
    // transaction and lets no events run: nothing else may reach the store in the middle, and
    // the page's own writes must not wait behind it. `changed` is set when it changed what the
    // page shows. False at the first statement that fails (the driver's text in the store's
    // lastError): the caller is to roll back.
    [[nodiscard]] static bool mergeLibrary(WebStore& store, const QVector<Book>& books, bool& changed);

    // Writes every variable of `book` (inserting a new dictionary's TITLE, STATUS and VISIBLE
    // first) and applies the state transitions of a known one; `changed` as above.
    [[nodiscard]] static bool mergeBook(WebStore& store, const Book& book, bool& changed);

    // COVER of `bookId` becomes `name`, the cover's name in the local cache.
    [[nodiscard]] static bool recordCover(WebStore& store, const QString& bookId, const QString& name);

    // The library recorded in SYSTEM, one Book per dictionary in ascending identifier order.
    // False when SYSTEM cannot be read.
    [[nodiscard]] static bool readLibrary(WebStore& store, QVector<Book>& books);

private:
    static void writeDiagnostics(const Book& book);
    [[nodiscard]] static bool applyTransition(WebStore& store, const Book& book, bool& changed);
};
