// The SQL text of the dictionary searches, built from hostile words and numbers. Input: lines
// "word", "source language", "start", "rows", "scope" (missing lines are "", "0", "10", "").
// Numbers go through the same whole-number check the searches apply before building a statement.
// Invariants: every statement prepares as exactly one statement (nothing left after it) with the
// columns its reader expects; and a dictionary holding the word itself finds it, so the word
// reached the statement as the literal it is.
#include "fuzz/fuzzsupport.h"
#include "search/searchstatements.h"
#include "search/sqltext.h"
#include "tools/packagebuilder/dictionarybuilder.h"

#include <QList>
#include <QStringList>
#include <sqlite3.h>

namespace {
sqlite3* db = nullptr;

// The one file every found headword is stored in.
const char contentFile[] = R"(
INSERT INTO file VALUES(1, 'voce.html');
INSERT INTO file_lemma VALUES(1, 1);
)";

// Prepares `sql` and checks it is one whole statement with `columns` columns; the rows it
// returns, when `rows` is given.
void checkStatement(const QByteArray& sql, int columns, QList<QByteArray>* rows = nullptr)
{
    sqlite3_stmt* statement = nullptr;
    const char* tail = nullptr;
    const int rc = sqlite3_prepare_v2(db, sql.constData(), sql.size(), &statement, &tail);
    const QString detail = QString::fromUtf8(sql) + QStringLiteral("\n") + QString::fromUtf8(sqlite3_errmsg(db));
    FUZZ_CHECK(rc == SQLITE_OK && statement, detail);
    FUZZ_CHECK(tail == sql.constData() + sql.size(), detail);
    FUZZ_CHECK(sqlite3_column_count(statement) == columns, detail);
    while (rows && sqlite3_step(statement) == SQLITE_ROW)
        rows->append(QByteArray(reinterpret_cast<const char*>(sqlite3_column_text(statement, 0))));
    sqlite3_finalize(statement);
}

void exec(const char* sql)
{
    FUZZ_CHECK(sqlite3_exec(db, sql, nullptr, nullptr, nullptr) == SQLITE_OK, QString::fromUtf8(sqlite3_errmsg(db)));
}

// The dictionary holds one headword: the word as the statements compare it.
void storeHeadword(const QByteArray& lower, const QByteArray& source)
{
    exec("DELETE FROM lemma");
    sqlite3_stmt* insert = nullptr;
    sqlite3_prepare_v2(db, "INSERT INTO lemma VALUES(1, 'z1', ?, ?, '', '', ?)", -1, &insert, nullptr);
    sqlite3_bind_text(insert, 1, lower.constData(), lower.size(), SQLITE_TRANSIENT);
    sqlite3_bind_text(insert, 2, lower.constData(), lower.size(), SQLITE_TRANSIENT);
    sqlite3_bind_text(insert, 3, source.constData(), source.size(), SQLITE_TRANSIENT);
    FUZZ_CHECK(sqlite3_step(insert) == SQLITE_DONE, QString::fromUtf8(sqlite3_errmsg(db)));
    sqlite3_finalize(insert);
}
}

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    FuzzSupport::initialize(argc, argv);
    sqlite3_open(":memory:", &db);
    exec(DictionaryBuilder::schema());
    exec(contentFile);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QStringList lines = QString::fromUtf8(reinterpret_cast<const char*>(data), int(size)).split(QLatin1Char('\n'));
    const QString word = lines.value(0);
    const QString source = lines.value(1);
    const QString start = lines.size() > 2 ? lines.at(2) : QStringLiteral("0");
    const QString rows = lines.size() > 3 ? lines.at(3) : QStringLiteral("10");
    const QString scope = lines.value(4);

    const SearchWordForms forms = searchWordForms(word, source);
    // No dictionary text holds a zero character, and the statements drop it from the word.
    storeHeadword(QByteArray(forms.lower).replace('\0', QByteArray()), QByteArray(source.toUtf8()).replace('\0', QByteArray()));

    QList<QByteArray> found;
    checkStatement(SearchStatements::entryExact(forms, source), 5, &found);
    FUZZ_CHECK(found == QList<QByteArray>() << "z1", word);
    checkStatement(SearchStatements::entryCount(forms, source), 1);
    checkStatement(SearchStatements::wordListCount(forms, source), 1);
    checkStatement(SearchStatements::scopes(), 2);

    const QString scopeNumber = scope.isEmpty() ? QStringLiteral("0") : scope;
    if (!SqlText::isWholeNumber(start) || !SqlText::isWholeNumber(rows) || !SqlText::isWholeNumber(scopeNumber))
        return 0;
    checkStatement(SearchStatements::entryRelated(forms, source, start, rows), 5);
    checkStatement(SearchStatements::wordListPage(forms, source, start, rows), 5);
    checkStatement(SearchStatements::fullTextPage(forms, source, scope, start, rows), 6);
    found.clear();
    checkStatement(SearchStatements::fullTextCount(forms, source, scope), 1, &found);
    if (scope.isEmpty())
        FUZZ_CHECK(found == QList<QByteArray>() << "1", word);
    return 0;
}
