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

bool LibraryMerge::applyTransition(WebStore& store, const Book& book, bool& changed)
{
    QString status;
    QString revision;
    if (!store.value(book.bookId, QStringLiteral("STATUS"), status)
        || !store.value(book.bookId, QStringLiteral("REVISION"), revision))
        return false;
    const QString purchased = book.purchased.toLower();
    QString to;
    const char* label = "";
    if (status == QLatin1String("1") && !revision.isEmpty() && book.revision != revision) {
        to = QStringLiteral("2");
        label = "Cambio di stato da 1 a 2: ";
    } else if (status == QLatin1String("3") && purchased == QLatin1String("true")) {
        to = QStringLiteral("0");
        label = "Cambio di stato da 3 a 0: ";
    } else if (status == QLatin1String("0") && purchased == QLatin1String("false")) {
        to = QStringLiteral("3");
        label = "Cambio di stato da 0 a 3: ";
    } else {
        return true;
    }
    changed = true;
    return store.setValue(book.bookId, QStringLiteral("STATUS"), to, label);
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

bool LibraryMerge::mergeLibrary(WebStore& store, const QVector<Book>& books, bool& changed)
{
    // Every statement of the merge looks rows up by dictionary and variable; without an index each
    // one would scan the whole table. The index lives only inside this transaction, so the file
    // the page shares keeps its layout.
    if (!store.exec(QStringLiteral("CREATE INDEX IF NOT EXISTS SYSTEM_MERGE_LOOKUP ON SYSTEM(REFBOOK, VARIABLE)"))
        || !store.exec(QStringLiteral("UPDATE SYSTEM set VALUE='0' where VARIABLE='VISIBLE'")))
        return false;
    for (const Book& book : books)
        if (!mergeBook(store, book, changed))
            return false;
    return store.exec(QStringLiteral("DROP INDEX IF EXISTS SYSTEM_MERGE_LOOKUP"));
}

bool LibraryMerge::mergeBook(WebStore& store, const Book& book, bool& changed)
{
    writeDiagnostics(book);
    int counter = 0;
    if (!store.maxId(counter))
        return false;
    bool first = true;
    for (const auto& variable : variables()) {
        const QString value = book.field(variable.second);
        bool known = false;
        if (!store.exists(book.bookId, variable.first, known))
            return false;
        bool written = true;
        if (known) {
            if (first)
                written = applyTransition(store, book, changed)
                    && store.setValue(book.bookId, QStringLiteral("VISIBLE"), QStringLiteral("1"));
            written = written && store.setValue(book.bookId, variable.first, value);
        } else {
            written = store.insert(counter, book.bookId, variable.first, value);
            if (first) {
                const bool notPurchased = book.purchased.toLower() == QLatin1String("false");
                written = written
                    && store.insert(counter, book.bookId, QStringLiteral("STATUS"),
                                    notPurchased ? QStringLiteral("3") : QStringLiteral("0"))
                    && store.insert(counter, book.bookId, QStringLiteral("VISIBLE"), QStringLiteral("1"));
                changed = true;
            }
        }
        if (!written)
            return false;
        first = false;
    }
    return true;
}

bool LibraryMerge::recordCover(WebStore& store, const QString& bookId, const QString& name)
{
    return store.setValue(bookId, QStringLiteral("COVER"), name);
}

bool LibraryMerge::readLibrary(WebStore& store, QVector<Book>& books)
{
    QMap<QString, Book> byRefbook;
    books.clear();
    if (!store.select(QStringLiteral("SELECT id, refbook, variable, value from SYSTEM"), {}, [&byRefbook](const QSqlQuery& row) {
            byRefbook[row.value(1).toString()].setField(row.value(2).toString(), row.value(3).toString());
        }))
        return false;
    for (auto it = byRefbook.begin(); it != byRefbook.end(); ++it) {
        if (it.key() == QLatin1String("SYSTEM"))
            continue;
        Book book = it.value();
        book.bookId = it.key();
        books.append(book);
    }
    return true;
}
