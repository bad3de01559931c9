#include "search/booksearch.h"

#include "base/datapaths.h"
#include "base/diagnostics.h"
#include "search/bookdatabase.h"
#include "search/searchresults.h"
#include "search/searchstatements.h"
#include "search/sqltext.h"

#include <QFileInfo>
#include <algorithm>

namespace {
bool allWholeNumbers(std::initializer_list<QString> values)
{
    for (const QString& value : values)
        if (!SqlText::isWholeNumber(value))
            return false;
    return true;
}

// Numbers reach the statements unquoted, so anything but digits is refused before a statement is
// built; the search then answers as a failed count does.
bool refuseMalformedNumbers(std::initializer_list<QString> values, int& total)
{
    if (allWholeNumbers(values))
        return false;
    Diagnostics::debug("Parametri di paginazione o ambito non validi\n");
    total = -1;
    return true;
}

DatabaseAccess openBook(BookDatabase& database, const QString& path)
{
    if (database.open(path))
        return DatabaseAccess::Opened;
    Diagnostics::debug("Apertura database %s fallita\n", qPrintable(path));
    return DatabaseAccess::OpenFailed;
}

// A statement stopped by the time limit fails the whole request: no rows and the total of a
// failed count, whatever the statements before it found.
void failOnTimeLimit(const BookDatabase& database, int& total, QList<SearchResult>& rows)
{
    if (!database.timeLimitReached())
        return;
    Diagnostics::debug("Ricerca interrotta dopo %d ms\n", StatementTimeLimit::milliseconds());
    total = -1;
    rows.clear();
}

// The related entries come in alphabetical order, a page at a time: the word's own readings, the
// entries it is an inflected form of, would miss the first page whenever more headwords begin with
// the word than the page holds ("came" and come, "ran" and run). The first page lists them after
// the exact matches; their other place in the alphabetical pages stays as it was.
void addEntriesOfForm(
    BookDatabase& database, const QByteArray& statement, int at, QList<SearchResult>& results, const QString& sku)
{
    QList<SearchResult> ofForm;
    database.fetchWithFileLookup(statement, ofForm, sku);
    for (const SearchResult& row : qAsConst(ofForm)) {
        const bool listed = std::any_of(results.cbegin(), results.cend(),
            [&row](const SearchResult& r) { return r.id == row.id && r.file == row.file && r.word == row.word; });
        if (!listed)
            results.insert(at++, row);
    }
}

// The start of every query: the dictionary's database resolved, the numbers checked, the file
// opened. The query runs only when this returns true; `access` is what the caller reports.
bool openForQuery(BookDatabase& database, const QString& sku, std::initializer_list<QString> numbers, int& total,
    DatabaseAccess& access)
{
    const QString path = getBookDatabasePath(sku);
    if (path.isEmpty()) {
        access = DatabaseAccess::Missing;
        return false;
    }
    access = DatabaseAccess::Opened;
    if (refuseMalformedNumbers(numbers, total))
        return false;
    access = openBook(database, path);
    return access == DatabaseAccess::Opened;
}
}

QString databaseOpenFailedText() { return QStringLiteral("Apertura database per le ricerche fallita"); }

QString getBookDatabasePath(const QString& sku)
{
    const QString path = DataPaths::bookDatabase(sku);
    if (DataPaths::isPlainName(sku) && QFileInfo::exists(path)) {
        Diagnostics::debug("Database libro %s: %s esistente\n", qPrintable(sku), qPrintable(path));
        return path;
    }
    Diagnostics::debug("Database libro %s: %s NON esistente\n", qPrintable(sku), qPrintable(path));
    return QString();
}

DatabaseAccess searchOnBookEntry(SearchResults* found, const QString& sku, const QString& word, const QString& scope,
    const QString& start, const QString& sourceLanguage, const QString& offset)
{
    found->kind = SearchResults::Kind::Entry;
    found->total = 0;
    BookDatabase database;
    DatabaseAccess access;
    if (!openForQuery(database, sku, { start, offset }, found->total, access))
        return access;

    const SearchWordForms forms = searchWordForms(word, sourceLanguage);
    Diagnostics::debug("scope %s", qPrintable(scope));
    found->total = database.count(SearchStatements::entryCount(forms, sourceLanguage));
    if (found->total == 0) {
        database.close();
        Diagnostics::debug("searchOnBookEntry: Nessun risultato\n");
        return access;
    }
    const bool firstPage = start == QLatin1String("0");
    if (firstPage)
        database.fetch(SearchStatements::entryExact(forms, sourceLanguage), found->rows, sku);
    const int exact = found->rows.size();
    database.fetchWithFileLookup(
        SearchStatements::entryRelated(forms, sourceLanguage, start, offset), found->rows, sku);
    if (firstPage)
        addEntriesOfForm(database, SearchStatements::entryOfForm(forms, sourceLanguage, offset), exact, found->rows, sku);
    failOnTimeLimit(database, found->total, found->rows);
    database.close();
    return access;
}

bool findsWord(const QString& sku, const QString& word, const QString& sourceLanguage)
{
    const QString path = getBookDatabasePath(sku);
    BookDatabase database;
    return !path.isEmpty() && !word.trimmed().isEmpty() && database.open(path)
        && database.count(SearchStatements::wordCount(searchWordForms(word, sourceLanguage), sourceLanguage)) > 0;
}

DatabaseAccess searchWordEntries(
    SearchResults* found, const QString& sku, const QString& word, const QString& sourceLanguage, int limit)
{
    found->kind = SearchResults::Kind::Entry;
    found->total = 0;
    found->rows.clear();
    if (word.trimmed().isEmpty() || limit <= 0)
        return DatabaseAccess::Opened; // nothing to look for
    BookDatabase database;
    DatabaseAccess access;
    if (!openForQuery(database, sku, {}, found->total, access))
        return access;
    database.fetchWithFileLookup(
        SearchStatements::wordEntries(searchWordForms(word, sourceLanguage), sourceLanguage, limit), found->rows, sku);
    found->total = found->rows.size();
    failOnTimeLimit(database, found->total, found->rows);
    database.close();
    return access;
}

DatabaseAccess searchOnBookFullText(SearchResults* found, const QString& sku, const QString& word, const QString& scope,
    const QString& start, const QString& offset, const QString& sourceLanguage)
{
    Diagnostics::debug("Ricerca full text (keyword)\n");
    found->kind = SearchResults::Kind::FullText;
    found->total = 0;
    // The empty scope means the whole dictionary.
    const QString scopeNumber = scope.isEmpty() ? QStringLiteral("0") : scope;
    BookDatabase database;
    DatabaseAccess access;
    if (!openForQuery(database, sku, { start, offset, scopeNumber }, found->total, access))
        return access;

    const SearchWordForms forms = searchWordForms(word, sourceLanguage);
    const QByteArray countStatement = SearchStatements::fullTextCount(forms, sourceLanguage, scope);
    found->total = database.count(countStatement);
    if (found->total == 0) {
        database.close();
        Diagnostics::debug("searchOnBookFullText: Nessun risultato\n");
        return access;
    }
    Diagnostics::debug("Query: %s", countStatement.constData());
    Diagnostics::debug("Result: %d\n", found->total);
    database.fetch(
        SearchStatements::fullTextPage(forms, sourceLanguage, scope, start, offset), found->rows, sku);
    failOnTimeLimit(database, found->total, found->rows);
    database.close();
    return access;
}

DatabaseAccess searchWordList(SearchResults* found, const QString& sku, const QString& word, const QString& from,
    const QString& to, const QString& sourceLanguage)
{
    found->kind = SearchResults::Kind::WordList;
    found->total = 0;
    BookDatabase database;
    DatabaseAccess access;
    if (!openForQuery(database, sku, { from, to }, found->total, access))
        return access;

    SearchWordForms forms;
    forms.lower = word.toLower().toUtf8();
    // Where every headword is of the language, its test changes no count and only costs time.
    found->total = database.count(database.holdsOnlyLanguage(sourceLanguage)
            ? SearchStatements::wordListCountOneLanguage(forms)
            : SearchStatements::wordListCount(forms, sourceLanguage));
    database.fetch(SearchStatements::wordListPage(forms, sourceLanguage, from, to), found->rows, sku);
    failOnTimeLimit(database, found->total, found->rows);
    database.close();
    return access;
}
