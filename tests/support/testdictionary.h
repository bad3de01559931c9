// Dictionaries for the search and builder tests, built in-process with the package builder (the
// small ones installed where the program looks for them: ~/.vocalumezenta/engine/books/<sku>/),
// and the rows a query finds in their databases.
#pragma once

#include "base/appsettings.h"
#include "tests/support/testsupport.h"
#include "tools/packagebuilder/dictionarybuilder.h"

#include <QDir>
#include <QList>
#include <sqlite3.h>

namespace TestDictionary {

inline QString bookDirectory(const QString& sku)
{
    return TestSupport::dataDirectory() + QStringLiteral("/engine/books/") + sku;
}

// A fresh home whose Italian ("it") normalisation turns the characters of `start` into those of
// `end` ("|" lists), as the store would deliver them.
inline void resetHome(const QString& start, const QString& end)
{
    TestSupport::resetHome();
    AppSettings settings;
    settings.setStartCharset(start, QStringLiteral("it"));
    settings.setEndCharset(end, QStringLiteral("it"));
}

inline DictionaryEntry entry(const QString& headword, const QString& pos = QString(),
    const QStringList& forms = QStringList(), const QStringList& keywords = QStringList(),
    const QStringList& scopes = QStringList(), const QString& source = QStringLiteral("it"))
{
    return DictionaryEntry { headword, {}, pos, {}, {}, source, forms, {}, {}, keywords, scopes };
}

// Entries get ids (id_zenta) 1, 2, ... in list order; `perFile` entries share a content file.
inline bool install(const QString& sku, const QList<DictionaryEntry>& entries, int perFile = 50)
{
    DictionaryBuilder builder;
    DictionaryBuilder::Options options;
    options.entriesPerFile = perFile;
    if (!builder.open(bookDirectory(sku), options))
        return false;
    for (const DictionaryEntry& e : entries)
        if (!builder.add(e))
            return false;
    return builder.finish();
}

// Installs dictionary `sku` whose entries are a view that would take minutes to list (ten
// billion headwords "casa1", "casa2"...): every statement on it runs until its time limit.
inline bool installEndless(const QString& sku)
{
    if (!install(sku, { entry(QStringLiteral("casa")) }))
        return false;
    sqlite3* db = nullptr;
    const bool made = sqlite3_open((bookDirectory(sku) + QStringLiteral("/database.db")).toUtf8(), &db) == SQLITE_OK
        && sqlite3_exec(db,
               "ALTER TABLE lemma RENAME TO lemma_t; CREATE VIEW lemma AS WITH RECURSIVE n(x) AS (SELECT 1 UNION ALL "
               "SELECT x + 1 FROM n WHERE x < 10000000000) SELECT x AS id, x AS id_zenta, 'casa' || x AS nome, "
               "'casa' || x AS nome_n, '' AS omo, '' AS hwgram, 'it' AS source FROM n",
               nullptr, nullptr, nullptr)
            == SQLITE_OK;
    sqlite3_close(db);
    return made;
}

// The rows of `sql` on a database file as "a|b|c" lines; "ERROR <message>" when it does not run.
inline QStringList rows(const QString& database, const QByteArray& sql)
{
    QStringList out;
    sqlite3* db = nullptr;
    sqlite3_stmt* statement = nullptr;
    if (sqlite3_open_v2(database.toUtf8().constData(), &db, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK
        || sqlite3_prepare_v2(db, sql.constData(), sql.size(), &statement, nullptr) != SQLITE_OK)
        out << QStringLiteral("ERROR ") + QString::fromUtf8(sqlite3_errmsg(db));
    while (statement && sqlite3_step(statement) == SQLITE_ROW) {
        QStringList columns;
        for (int i = 0; i < sqlite3_column_count(statement); ++i)
            columns << QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(statement, i)));
        out << columns.join(QLatin1Char('|'));
    }
    sqlite3_finalize(statement);
    sqlite3_close(db);
    return out;
}
}
