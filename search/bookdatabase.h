// One read-only SQLite connection to a dictionary's database.db for the length of one search
// (the thread keeps the last one it closed for its next search of the same unchanged file).
// Every statement operation compiles only the first statement of its text, steps through the
// rows and finalizes it, then writes the statement diagnostic (the file look-up of a listed row
// is compiled once per connection and bound to each key). Each statement runs under the
// StatementTimeLimit; once one has been stopped by it, no further statement runs.
#pragma once

#include "search/searchresult.h"
#include "search/statementtimelimit.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <memory>

struct sqlite3;
struct sqlite3_stmt;

class BookDatabase {
public:
    BookDatabase() = default;
    ~BookDatabase();
    BookDatabase(const BookDatabase&) = delete;
    BookDatabase& operator=(const BookDatabase&) = delete;

    // True when SQLite opened the file (read only: the system never writes a dictionary).
    [[nodiscard]] bool open(const QString& path);
    void close();

    // Column 0 of the last row as a whole number; -1 when the statement did not prepare or
    // returned no row.
    int count(const QByteArray& statement);
    // Appends one row per result: id, word, file, omo, hw from columns 0 to 4.
    void fetch(const QByteArray& statement, QList<SearchResult>& list, const QString& sku);
    // As fetch, but column 2 holds a file key; each key is looked up in `file` once the
    // statement has finished.
    void fetchWithFileLookup(const QByteArray& statement, QList<SearchResult>& list, const QString& sku);

    // Whether every headword of the open file is of `language` (read once per version of a file).
    bool holdsOnlyLanguage(const QString& language);

    // True once a statement was stopped by the time limit: the rows read are not the answer.
    bool timeLimitReached() const { return timeLimit && timeLimit->reached(); }

private:
    using Row = QList<QByteArray>;
    // Runs `statement`, handing each row's first `columns` columns to `onRow`; false when the
    // statement did not prepare or was stopped by the time limit.
    template <typename RowHandler> bool run(const QByteArray& statement, int columns, RowHandler onRow);
    void report(const QByteArray& statement);
    QString lookUpFile(const QByteArray& key);

    sqlite3* handle = nullptr;
    QByteArray filePath;
    QByteArray fileStamp;
    // The file look-up runs once per listed row: compiled once per connection, bound per key.
    sqlite3_stmt* fileLookup = nullptr;
    std::unique_ptr<StatementTimeLimit> timeLimit;
};
