#include "search/prefixsearch.h"

#include "search/booksearch.h"
#include "search/entryname.h"
#include "search/searchstatements.h"
#include "search/sqltext.h"
#include "search/statementtimelimit.h"

#include <QSet>
#include <algorithm>
#include <sqlite3.h>

namespace {
// The desktop wants its answer within milliseconds: a dictionary slower than this is left out.
constexpr int statementMs = 500;
}

namespace PrefixSearch {

QVector<Hit> inBook(const Book& book, const QString& text, int limit)
{
    const QString typed = text.simplified();
    const QString path = typed.isEmpty() ? QString() : getBookDatabasePath(book.sku);
    if (path.isEmpty() || limit <= 0)
        return {};
    const SearchWordForms forms = searchWordForms(typed, book.sourceLanguage);
    const QString key = QString::fromUtf8(forms.normalized);
    // Homographs share a spelling: a few rows more leave room for them.
    const QByteArray sql = SearchStatements::headwordPrefix(forms, book.sourceLanguage, limit * 2);
    sqlite3* db = nullptr;
    sqlite3_stmt* statement = nullptr;
    QVector<Hit> hits;
    if (sqlite3_open_v2(path.toUtf8().constData(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK
        && sqlite3_prepare_v2(db, sql.constData(), sql.size(), &statement, nullptr) == SQLITE_OK) {
        StatementTimeLimit timeLimit(db);
        timeLimit.start(std::min(StatementTimeLimit::milliseconds(), statementMs));
        QSet<QString> listed;
        while (hits.size() < limit && sqlite3_step(statement) == SQLITE_ROW) {
            Hit hit { book.sku, book.title, SqlText::columnText(statement, 0), SqlText::columnText(statement, 1),
                EntryName::aliasTarget(SqlText::columnText(statement, 2)) };
            hit.exact = hit.key == key;
            if (!listed.contains(hit.label().toLower()))
                hits.push_back(hit);
            listed.insert(hit.label().toLower());
        }
    }
    sqlite3_finalize(statement);
    sqlite3_close(db);
    return hits;
}

QVector<Hit> merged(const QVector<QVector<Hit>>& lists, int limit)
{
    QVector<Hit> all;
    for (const QVector<Hit>& list : lists)
        all += list;
    std::stable_sort(all.begin(), all.end(), [](const Hit& a, const Hit& b) {
        return a.exact != b.exact ? a.exact : a.key < b.key;
    });
    if (all.size() > limit)
        all.resize(std::max(limit, 0));
    return all;
}
}
