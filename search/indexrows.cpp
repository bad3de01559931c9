#include "search/indexrows.h"

#include "search/booksearch.h"
#include "search/sqltext.h"

#include <algorithm>
#include <sqlite3.h>

namespace IndexRows {

namespace {
QString text(sqlite3_stmt* statement, int column)
{
    const auto* t = reinterpret_cast<const char*>(sqlite3_column_text(statement, column));
    return t ? QString::fromUtf8(t, sqlite3_column_bytes(statement, column)) : QString();
}

QByteArray statement(const QString& sourceLanguage, const Place& from, bool forward, int count)
{
    const QByteArray name = SqlText::quoted(from.name.toUtf8());
    const QByteArray lemma = QByteArray::number(from.lemma);
    const QByteArray file = QByteArray::number(from.file);
    const char* const beyond = forward ? ">" : "<";
    const char* const order = forward ? "asc" : "desc";
    return "select l.id_zenta, l.nome, f.file, l.omo, l.hwgram, lower(l.nome), l.id, f.id from lemma l, file_lemma fl, "
           "file f where l.id = fl.id_lemma and f.id = fl.id_file and l.source = "
        + SqlText::quoted(sourceLanguage.toUtf8()) + " and lower(l.nome) " + beyond + "= " + name + " and (lower(l.nome) "
        + beyond + " " + name + " or l.id " + beyond + " " + lemma + " or (l.id = " + lemma + " and f.id " + beyond + " "
        + file + ")) order by lower(l.nome) " + order + ", l.id " + order + ", f.id " + order + " limit "
        + QByteArray::number(count);
}
}

QList<Row> read(const QString& sku, const QString& sourceLanguage, const Place& from, bool forward, int count)
{
    QList<Row> rows;
    const QString path = getBookDatabasePath(sku);
    if (path.isEmpty() || count <= 0)
        return rows;
    sqlite3* db = nullptr;
    sqlite3_stmt* compiled = nullptr;
    const QByteArray sql = statement(sourceLanguage, from, forward, count);
    if (sqlite3_open_v2(path.toUtf8().constData(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK
        && sqlite3_prepare_v2(db, sql.constData(), sql.size(), &compiled, nullptr) == SQLITE_OK) {
        while (sqlite3_step(compiled) == SQLITE_ROW)
            rows << Row { text(compiled, 0), text(compiled, 1), text(compiled, 2), text(compiled, 3), text(compiled, 4),
                { text(compiled, 5), sqlite3_column_int64(compiled, 6), sqlite3_column_int64(compiled, 7) } };
    }
    sqlite3_finalize(compiled);
    sqlite3_close(db);
    if (!forward)
        std::reverse(rows.begin(), rows.end());
    return rows;
}
}
