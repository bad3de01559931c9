#include "search/dictionarycheck.h"

#include "search/searchstatements.h"

#include <QFileInfo>
#include <QSet>
#include <sqlite3.h>

namespace {
// SQLite's authorizer hears of every table a statement reads while it compiles.
int recordRead(void* tables, int action, const char* table, const char*, const char*, const char*)
{
    if (action == SQLITE_READ && table)
        static_cast<QSet<QByteArray>*>(tables)->insert(table);
    return SQLITE_OK;
}

// Compiles every search statement; the tables they read go into `tables`. Empty when all compile,
// else SQLite's message ("file is not a database", "no such column: ...").
QString compileEverySearch(sqlite3* db, QSet<QByteArray>& tables)
{
    QString problem;
    sqlite3_set_authorizer(db, recordRead, &tables);
    for (const QByteArray& statement : SearchStatements::all()) {
        sqlite3_stmt* compiled = nullptr;
        if (sqlite3_prepare_v2(db, statement.constData(), statement.size(), &compiled, nullptr) != SQLITE_OK)
            problem = QString::fromUtf8(sqlite3_errmsg(db));
        sqlite3_finalize(compiled);
        if (!problem.isEmpty())
            break;
    }
    sqlite3_set_authorizer(db, nullptr, nullptr);
    return problem;
}

// Empty when every name in `tables` is a table of the database.
QString findNonTable(sqlite3* db, const QSet<QByteArray>& tables)
{
    sqlite3_stmt* type = nullptr;
    if (sqlite3_prepare_v2(db, "select type from sqlite_master where name = ?1 collate nocase", -1, &type, nullptr)
        != SQLITE_OK)
        return QString::fromUtf8(sqlite3_errmsg(db));
    QString problem;
    for (const QByteArray& table : tables) {
        sqlite3_reset(type);
        sqlite3_bind_text(type, 1, table.constData(), table.size(), SQLITE_STATIC);
        const bool isTable = sqlite3_step(type) == SQLITE_ROW
            && qstrcmp(reinterpret_cast<const char*>(sqlite3_column_text(type, 0)), "table") == 0;
        if (!isTable) {
            problem = QString::fromUtf8(table) + QStringLiteral(" non è una tabella");
            break;
        }
    }
    sqlite3_finalize(type);
    return problem;
}
}

QString DictionaryCheck::problem(const QString& databasePath)
{
    const QFileInfo file(databasePath);
    if (!file.isFile())
        return file.fileName() + QStringLiteral(" mancante");
    // Opened as the searches open it.
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(databasePath.toUtf8().constData(), &db, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK) {
        const QString unopened = QString::fromUtf8(db ? sqlite3_errmsg(db) : "out of memory");
        sqlite3_close(db);
        return unopened;
    }
    QSet<QByteArray> tables;
    QString found = compileEverySearch(db, tables);
    if (found.isEmpty())
        found = findNonTable(db, tables);
    sqlite3_close(db);
    return found;
}
