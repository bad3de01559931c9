#include "library/librarymerge.h"

#include "base/datapaths.h"
#include "base/diagnostics.h"
#include "store/webstore.h"

#include <QMap>
#include <QSqlQuery>
#include <QVariant>

const QVector<QPair<QString, QString>>& LibraryMerge::variables()
{
    static const QVector<QPair<QString, QString>> list = {
        {QStringLiteral("TITLE"), QStringLiteral("title")},
        {QStringLiteral("SUBTITLE"), QStringLiteral("subtitle")},
        {QStringLiteral("AUTHOR"), QStringLiteral("author")},
        {QStringLiteral("LANG"), QStringLiteral("lang")},
        {QStringLiteral("YEAR"), QStringLiteral("year")},
        {QStringLiteral("PUBLISHER"), QStringLiteral("publisher")},
        {QStringLiteral("COVER"), QStringLiteral("image")},
        {QStringLiteral("ISBN"), QStringLiteral("isbn")},
        {QStringLiteral("REVISION"), QStringLiteral("revision")},
        {QStringLiteral("INFOREVISION"), QStringLiteral("infoRevision")},
        {QStringLiteral("WEIGHT"), QStringLiteral("weight")},
        {QStringLiteral("ORDER"), QStringLiteral("order")},
        {QStringLiteral("PURCHASED"), QStringLiteral("purchased")},
        {QStringLiteral("SOURCELANGUAGEFLAG"), QStringLiteral("sourceLanguageFlag")},
        {QStringLiteral("DESTINATIONLANGUAGEFLAG"), QStringLiteral("destinationLanguageFlag")},
        {QStringLiteral("SOURCELANGUAGEID"), QStringLiteral("sourceLanguageId")},
        {QStringLiteral("DESTINATIONLANGUAGEID"), QStringLiteral("destinationLanguageId")},
    };
    return list;
}

void LibraryMerge::writeDiagnostics(const Book& book)
{
    Diagnostics::debug("Ricevuto libro\n");
    static const char* const order[] = {"bookId", "author", "image", "infoRevision", "isbn", "lang",
                                        "publisher", "revision", "subtitle", "title", "weight", "order",
                                        "purchased", "sourceLanguageFlag", "destinationLanguageFlag",
                                        "sourceLanguageId", "destinationLanguageId"};
    for (const char* name : order)
        Diagnostics::debug("%s = %s", name, qPrintable(book.field(QString::fromLatin1(name))));
    Diagnostics::debug("* * *\n\n");
}

static QString statusUpdate(const QString& status, const QString& bookId)
{
    return QStringLiteral("UPDATE SYSTEM set VALUE='") + status
        + QStringLiteral("' where VARIABLE='STATUS' and REFBOOK = '") + WebStore::quote(bookId) + QStringLiteral("'");
}

bool LibraryMerge::applyTransition(WebStore& store, const Book& book)
{
    const QString status = store.value(book.bookId, QStringLiteral("STATUS"));
    const QString revision = store.value(book.bookId, QStringLiteral("REVISION"));
    const QString purchased = book.purchased.toLower();
    if (status == QLatin1String("1") && !revision.isEmpty() && book.revision != revision) {
        store.exec(statusUpdate(QStringLiteral("2"), book.bookId), "Cambio di stato da 1 a 2: ");
        return true;
    }
    if (status == QLatin1String("3") && purchased == QLatin1String("true")) {
        store.exec(statusUpdate(QStringLiteral("0"), book.bookId), "Cambio di stato da 3 a 0: ");
        return true;
    }
    if (status == QLatin1String("0") && purchased == QLatin1String("false")) {
        store.exec(statusUpdate(QStringLiteral("3"), book.bookId), "Cambio di stato da 0 a 3: ");
        return true;
    }
    return false;
}

bool LibraryMerge::isMergeable(const QString& bookId)
{
    return DataPaths::isPlainName(bookId);
}

QVector<Book> LibraryMerge::mergeable(const QVector<Book>& books)
{
    QVector<Book> kept;
    kept.reserve(books.size());
    for (const Book& book : books) {
        if (isMergeable(book.bookId))
            kept.append(book);
        else
            Diagnostics::debug("Libro ignorato, identificativo non valido: '%s'", qPrintable(book.bookId));
    }
    return kept;
}

bool LibraryMerge::mergeLibrary(WebStore& store, const QVector<Book>& books)
{
    // Every statement of the merge looks rows up by dictionary and variable; without an index each
    // one would scan the whole table. The index lives only inside this transaction, so the file
    // the page shares keeps its layout.
    store.exec(QStringLiteral("CREATE INDEX IF NOT EXISTS SYSTEM_MERGE_LOOKUP ON SYSTEM(REFBOOK, VARIABLE)"));
    store.exec(QStringLiteral("UPDATE SYSTEM set VALUE='0' where VARIABLE='VISIBLE'"));
    bool changed = false;
    for (const Book& book : books)
        changed = mergeBook(store, book) || changed;
    store.exec(QStringLiteral("DROP INDEX IF EXISTS SYSTEM_MERGE_LOOKUP"));
    return changed;
}

bool LibraryMerge::mergeBook(WebStore& store, const Book& book)
{
    writeDiagnostics(book);
    int counter = store.maxId();
    bool changed = false;
    const QString refbook = WebStore::quote(book.bookId);
    bool first = true;
    for (const auto& variable : variables()) {
        const QString value = book.field(variable.second);
        if (store.exists(book.bookId, variable.first)) {
            if (first) {
                changed = applyTransition(store, book) || changed;
                store.exec(QStringLiteral("UPDATE SYSTEM set VALUE='1' where VARIABLE='VISIBLE' and REFBOOK = '") + refbook
                           + QStringLiteral("'"));
            }
            store.exec(QStringLiteral("UPDATE SYSTEM set VALUE='") + WebStore::quote(value)
                       + QStringLiteral("' where VARIABLE='") + variable.first + QStringLiteral("' and REFBOOK = '")
                       + refbook + QStringLiteral("'"));
        } else {
            store.insert(counter, book.bookId, variable.first, value);
            if (first) {
                const bool notPurchased = book.purchased.toLower() == QLatin1String("false");
                store.insert(counter, book.bookId, QStringLiteral("STATUS"),
                             notPurchased ? QStringLiteral("3") : QStringLiteral("0"));
                store.insert(counter, book.bookId, QStringLiteral("VISIBLE"), QStringLiteral("1"));
                changed = true;
            }
        }
        first = false;
    }
    return changed;
}

QVector<Book> LibraryMerge::readLibrary(WebStore& store)
{
    QMap<QString, Book> byRefbook;
    QSqlQuery query(store.database());
    query.exec(QStringLiteral("SELECT id, refbook, variable, value from SYSTEM"));
    while (query.next())
        byRefbook[query.value(1).toString()].setField(query.value(2).toString(), query.value(3).toString());
    QVector<Book> books;
    for (auto it = byRefbook.begin(); it != byRefbook.end(); ++it) {
        if (it.key() == QLatin1String("SYSTEM"))
            continue;
        Book book = it.value();
        book.bookId = it.key();
        books.append(book);
    }
    return books;
}
