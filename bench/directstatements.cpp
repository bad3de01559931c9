#include "bench/directstatements.h"

#include <cstdlib>
#include <sqlite3.h>

DirectStatements::DirectStatements(const QString& databasePath, const QString& language)
    : path(databasePath.toUtf8())
    , language(language)
{
}

int DirectStatements::entrySearch(const QString& word, const QString& start, const QString& offset)
{
    const SearchWordForms f = forms(word);
    open();
    int rows = count(SearchStatements::entryCount(f, language));
    const bool firstPage = start == QLatin1String("0");
    if (firstPage)
        rows += fetch(SearchStatements::entryExact(f, language), nullptr);
    rows += fetchWithFiles(SearchStatements::entryRelated(f, language, start, offset));
    // The first page also lists the entries the word is a form of, as the program's does.
    if (firstPage)
        rows += fetchWithFiles(SearchStatements::entryOfForm(f, language, offset));
    close();
    return rows;
}

int DirectStatements::fetchWithFiles(const QByteArray& sql)
{
    QList<QByteArray> keys;
    const int rows = fetch(sql, &keys);
    for (const QByteArray& key : qAsConst(keys))
        fetch("select file from file where id = '" + key + "'", nullptr);
    return rows;
}

int DirectStatements::fullText(const QString& word, const QString& scope, const QString& start, const QString& offset)
{
    const SearchWordForms f = forms(word);
    open();
    const int rows = count(SearchStatements::fullTextCount(f, language, scope))
        + fetch(SearchStatements::fullTextPage(f, language, scope, start, offset), nullptr);
    close();
    return rows;
}

int DirectStatements::wordList(const QString& word, const QString& from, const QString& to)
{
    SearchWordForms f;
    f.lower = word.toLower().toUtf8();
    open();
    const int rows = count(SearchStatements::wordListCount(f, language))
        + fetch(SearchStatements::wordListPage(f, language, from, to), nullptr);
    close();
    return rows;
}

void DirectStatements::prepareForms(const QString& word) { cached[word] = searchWordForms(word, language); }

void DirectStatements::open() { sqlite3_open_v2(path.constData(), &db, SQLITE_OPEN_READONLY, nullptr); }

void DirectStatements::close()
{
    sqlite3_close(db);
    db = nullptr;
}

int DirectStatements::count(const QByteArray& sql)
{
    int total = -1;
    run(sql,
        [&total](sqlite3_stmt* s) { total = std::atoi(reinterpret_cast<const char*>(sqlite3_column_text(s, 0))); });
    return total;
}

// Reads the five text columns of every row, as the program does; `keys` gets column 2.
int DirectStatements::fetch(const QByteArray& sql, QList<QByteArray>* keys)
{
    int rows = 0;
    run(sql, [&](sqlite3_stmt* s) {
        QByteArray columns[5];
        for (int c = 0; c < 5 && c < sqlite3_column_count(s); ++c)
            columns[c]
                = QByteArray(reinterpret_cast<const char*>(sqlite3_column_text(s, c)), sqlite3_column_bytes(s, c));
        if (keys)
            *keys << columns[2];
        ++rows;
    });
    return rows;
}

void DirectStatements::run(const QByteArray& sql, const std::function<void(sqlite3_stmt*)>& onRow)
{
    sqlite3_stmt* s = nullptr;
    if (sqlite3_prepare_v2(db, sql.constData(), sql.size(), &s, nullptr) == SQLITE_OK)
        while (sqlite3_step(s) == SQLITE_ROW)
            onRow(s);
    sqlite3_finalize(s);
}
