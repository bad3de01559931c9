// The search statements as the program runs them, straight through the SQLite C interface (open,
// statements, close): what the benchmarks set the program's own timings beside.
#pragma once

#include "search/searchstatements.h"

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QString>
#include <functional>

struct sqlite3;
struct sqlite3_stmt;

class DirectStatements {
public:
    DirectStatements(const QString& databasePath, const QString& language);

    // Each returns the rows read, the counts included.
    int entrySearch(const QString& word, const QString& start, const QString& offset);
    int fullText(const QString& word, const QString& scope, const QString& start, const QString& offset);
    int wordList(const QString& word, const QString& from, const QString& to);

    // The forms are computed ahead: the direct run times the database work only.
    void prepareForms(const QString& word);

private:
    SearchWordForms forms(const QString& word) const { return cached.value(word); }
    void open();
    void close();
    int count(const QByteArray& sql);
    int fetch(const QByteArray& sql, QList<QByteArray>* keys);
    int fetchWithFiles(const QByteArray& sql);
    void run(const QByteArray& sql, const std::function<void(sqlite3_stmt*)>& onRow);

    QByteArray path;
    QString language;
    sqlite3* db = nullptr;
    QHash<QString, SearchWordForms> cached;
};
