#include "search/bookdatabase.h"

#include "base/diagnostics.h"
#include "search/searchstatements.h"

#include <sqlite3.h>

namespace {
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
    const int rc = sqlite3_open_v2(path.toUtf8().constData(), &handle, SQLITE_OPEN_READONLY, nullptr);
    if (rc == SQLITE_OK) {
        timeLimit = std::make_unique<StatementTimeLimit>(handle);
        return true;
    }
    close();
    return false;
}

void BookDatabase::close()
{
    if (!handle)
        return;
    timeLimit.reset();
    sqlite3_close(handle);
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

QString BookDatabase::lookUpFile(const QByteArray& key)
{
    const QByteArray statement = SearchStatements::fileName(key);
    QByteArray name;
    run(statement, 1, [&name](const Row& row) { name = row.at(0); });
    report(statement);
    return QString::fromUtf8(name);
}
