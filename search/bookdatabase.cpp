#include "search/bookdatabase.h"

#include "base/diagnostics.h"
#include "base/filestamp.h"
#include "search/searchstatements.h"

#include <QHash>
#include <QMutex>
#include <sqlite3.h>

namespace {
// The connection a thread's last search closed, kept open for the next search of the same file:
// opening a dictionary and reading its schema costs about as much as a short search. It is
// reused only while the file keeps its stamp, so a dictionary installed again or removed is
// opened afresh (or not at all); the thread's end closes it.
struct IdleConnection {
    QByteArray path;
    QByteArray stamp;
    sqlite3* handle = nullptr;

    ~IdleConnection() { drop(); }
    void drop()
    {
        sqlite3_close(handle);
        handle = nullptr;
    }
    void keep(const QByteArray& keptPath, const QByteArray& keptStamp, sqlite3* kept)
    {
        drop();
        path = keptPath;
        stamp = keptStamp;
        handle = kept;
    }
    sqlite3* take(const QByteArray& wantedPath, const QByteArray& wantedStamp)
    {
        sqlite3* taken = nullptr;
        if (handle && !wantedStamp.isEmpty() && wantedPath == path && wantedStamp == stamp)
            std::swap(taken, handle);
        drop();
        return taken;
    }
};
thread_local IdleConnection idle;

QByteArray columnText(sqlite3_stmt* statement, int column)
{
    const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(statement, column));
    return text ? QByteArray(text, sqlite3_column_bytes(statement, column)) : QByteArray();
}

SearchResult resultFromRow(const QList<QByteArray>& row, const QString& file, const QString& sku)
{
    SearchResult result;
    result.id = QString::fromUtf8(row.at(0));
    result.word = QString::fromUtf8(row.at(1));
    result.file = file;
    result.omo = QString::fromUtf8(row.at(3));
    result.hw = QString::fromUtf8(row.at(4));
    result.sku = sku;
    return result;
}
}

BookDatabase::~BookDatabase() { close(); }

bool BookDatabase::open(const QString& path)
{
    close();
    filePath = path.toUtf8();
    fileStamp = FileStamp::of(path);
    handle = idle.take(filePath, fileStamp);
    if (handle || sqlite3_open_v2(filePath.constData(), &handle, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
        timeLimit = std::make_unique<StatementTimeLimit>(handle);
        return true;
    }
    // SQLite hands out a connection even when opening fails; it is never kept.
    sqlite3_close(handle);
    handle = nullptr;
    return false;
}

void BookDatabase::close()
{
    if (!handle)
        return;
    sqlite3_finalize(fileLookup);
    fileLookup = nullptr;
    timeLimit.reset();
    // A file changed since its opening is told by its stamp when the connection is asked for again.
    if (fileStamp.isEmpty())
        sqlite3_close(handle);
    else
        idle.keep(filePath, fileStamp, handle);
    handle = nullptr;
}

template <typename RowHandler> bool BookDatabase::run(const QByteArray& statement, int columns, RowHandler onRow)
{
    sqlite3_stmt* compiled = nullptr;
    if (!handle || timeLimitReached()
        || sqlite3_prepare_v2(handle, statement.constData(), statement.size(), &compiled, nullptr) != SQLITE_OK
        || !compiled) {
        sqlite3_finalize(compiled);
        return false;
    }
    timeLimit->start();
    Row row;
    while (sqlite3_step(compiled) == SQLITE_ROW) {
        row.clear();
        for (int column = 0; column < columns; ++column)
            row << columnText(compiled, column);
        onRow(row);
    }
    sqlite3_finalize(compiled);
    return !timeLimitReached();
}

void BookDatabase::report(const QByteArray& statement)
{
    const char* message = handle ? sqlite3_errmsg(handle) : "out of memory";
    if (QByteArray(message).contains("not an error"))
        Diagnostics::debug("Query: %s", statement.constData());
    else
        Diagnostics::debug("Errori nella query %s: %s\n", statement.constData(), message);
}

int BookDatabase::count(const QByteArray& statement)
{
    int total = -1;
    if (!run(statement, 1, [&total](const Row& row) { total = row.at(0).toInt(); }))
        total = -1;
    report(statement);
    return total;
}

void BookDatabase::fetch(const QByteArray& statement, QList<SearchResult>& list, const QString& sku)
{
    run(statement, 5, [&](const Row& row) { list << resultFromRow(row, QString::fromUtf8(row.at(2)), sku); });
    report(statement);
}

void BookDatabase::fetchWithFileLookup(const QByteArray& statement, QList<SearchResult>& list, const QString& sku)
{
    QList<Row> rows;
    run(statement, 5, [&rows](const Row& row) { rows << row; });
    report(statement);
    for (const Row& row : qAsConst(rows))
        list << resultFromRow(row, lookUpFile(row.at(2)), sku);
}

bool BookDatabase::holdsOnlyLanguage(const QString& language)
{
    // The smallest and largest language, "|"-joined, per file version, for every thread.
    static QMutex mutex;
    static QHash<QByteArray, QByteArray> known;
    if (!handle || fileStamp.isEmpty())
        return false;
    const QByteArray key = filePath + '#' + fileStamp;
    QByteArray range;
    {
        QMutexLocker lock(&mutex);
        range = known.value(key);
    }
    if (range.isEmpty()) {
        run(SearchStatements::sourceLanguageRange(), 2, [&range](const Row& row) { range = row.at(0) + '|' + row.at(1); });
        report(SearchStatements::sourceLanguageRange());
        if (range.isEmpty() || timeLimitReached())
            return false;
        QMutexLocker lock(&mutex);
        known.insert(key, range);
    }
    const QByteArray only = language.toUtf8();
    return range == only + '|' + only;
}

QString BookDatabase::lookUpFile(const QByteArray& key)
{
    if (!handle || timeLimitReached())
        return QString();
    if (!fileLookup) {
        const QByteArray statement = SearchStatements::fileNameOfKey();
        if (sqlite3_prepare_v2(handle, statement.constData(), statement.size(), &fileLookup, nullptr) != SQLITE_OK) {
            sqlite3_finalize(fileLookup);
            fileLookup = nullptr;
            report(statement);
            return QString();
        }
    }
    timeLimit->start();
    sqlite3_bind_text(fileLookup, 1, key.constData(), key.size(), SQLITE_TRANSIENT);
    QByteArray name;
    while (sqlite3_step(fileLookup) == SQLITE_ROW)
        name = columnText(fileLookup, 0);
    // Reset at once: the statement holds no read of the file between rows.
    sqlite3_reset(fileLookup);
    if (Diagnostics::wanted())
        report(SearchStatements::fileName(key));
    return QString::fromUtf8(name);
}
