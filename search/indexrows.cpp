#include "search/indexrows.h"

#include "search/booksearch.h"
#include "search/searchstatements.h"
#include "search/sqltext.h"
#include "search/statementtimelimit.h"

#include <algorithm>
#include <sqlite3.h>

namespace IndexRows {

QList<Row> read(const QString& sku, const QString& sourceLanguage, const Place& from, bool forward, int count)
{
    QList<Row> rows;
    const QString path = getBookDatabasePath(sku);
    if (path.isEmpty() || count <= 0)
        return rows;
    sqlite3* db = nullptr;
    sqlite3_stmt* compiled = nullptr;
    const QByteArray sql
        = SearchStatements::indexPage(sourceLanguage, from.name, from.lemma, from.file, forward, count);
    if (sqlite3_open_v2(path.toUtf8().constData(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK
        && sqlite3_prepare_v2(db, sql.constData(), sql.size(), &compiled, nullptr) == SQLITE_OK) {
        // Read on the GUI thread: a statement that does not end would freeze the window.
        StatementTimeLimit limit(db);
        limit.start();
        const auto text = [compiled](int column) { return SqlText::columnText(compiled, column); };
        while (sqlite3_step(compiled) == SQLITE_ROW)
            rows << Row { text(0), text(1), text(2), text(3), text(4),
                { text(5), sqlite3_column_int64(compiled, 6), sqlite3_column_int64(compiled, 7) } };
        if (limit.reached())
            rows.clear();
    }
    sqlite3_finalize(compiled);
    sqlite3_close(db);
    if (!forward)
        std::reverse(rows.begin(), rows.end());
    return rows;
}
}
