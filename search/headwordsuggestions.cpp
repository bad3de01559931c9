#include "search/headwordsuggestions.h"

#include "base/charnormalizer.h"
#include "search/booksearch.h"
#include "search/searchstatements.h"
#include "search/sqltext.h"
#include "search/statementtimelimit.h"

#include <QThread>
#include <algorithm>
#include <vector>
#include <sqlite3.h>

HeadwordSuggestions::HeadwordSuggestions(QObject* parent)
    : QObject(parent)
{
}

HeadwordSuggestions::~HeadwordSuggestions()
{
    for (QThread* thread : findChildren<QThread*>()) {
        thread->requestInterruption();
        thread->wait();
    }
}

bool HeadwordSuggestions::holds(const QSharedPointer<List>& list, const QString& sku, const QString& sourceLanguage) const
{
    return list && list->sku == sku && list->language == sourceLanguage;
}

bool HeadwordSuggestions::isReady(const QString& sku, const QString& sourceLanguage) const
{
    return holds(loaded, sku, sourceLanguage);
}

void HeadwordSuggestions::prepare(const QString& sku, const QString& sourceLanguage)
{
    if (holds(loaded, sku, sourceLanguage) || holds(loading, sku, sourceLanguage))
        return;
    if (reader)
        reader->requestInterruption(); // its headwords are no longer wanted
    auto list = QSharedPointer<List>::create();
    list->sku = sku;
    list->language = sourceLanguage;
    loading = list;
    const QString path = getBookDatabasePath(sku);
    QThread* thread = QThread::create([list, path] { read(list.data(), path); });
    thread->setParent(this);
    connect(thread, &QThread::finished, this, [this, thread, list] { adopt(thread, list); });
    reader = thread;
    // Reading competes with nothing the user waits for.
    thread->start(QThread::LowPriority);
}

void HeadwordSuggestions::read(List* list, const QString& path)
{
    if (path.isEmpty())
        return;
    const QThread* thread = QThread::currentThread();
    sqlite3* db = nullptr;
    sqlite3_stmt* statement = nullptr;
    const QByteArray sql = SearchStatements::headwords(list->language);
    bool ok = sqlite3_open_v2(path.toUtf8().constData(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK
        && sqlite3_prepare_v2(db, sql.constData(), sql.size(), &statement, nullptr) == SQLITE_OK;
    int step = SQLITE_ERROR;
    int rows = 0;
    {
        StatementTimeLimit limit(db);
        limit.start();
        while (ok && (step = sqlite3_step(statement)) == SQLITE_ROW) {
            list->headwords.push_back(
                { SqlText::columnText(statement, 0), SqlText::columnText(statement, 1).toLower() });
            if (++rows % 4096 == 0 && thread->isInterruptionRequested())
                ok = false;
        }
    }
    ok = ok && step == SQLITE_DONE;
    sqlite3_finalize(statement);
    sqlite3_close(db);
    if (!ok)
        list->headwords.clear();
}

void HeadwordSuggestions::adopt(QThread* thread, const QSharedPointer<List>& list)
{
    thread->deleteLater();
    if (loading != list)
        return; // another dictionary was asked for meanwhile
    loading.reset();
    loaded = list;
    emit ready(list->sku, list->language);
}

QStringList HeadwordSuggestions::suggest(
    const QString& sku, const QString& word, const QString& sourceLanguage, int limit, bool* waiting)
{
    if (waiting)
        *waiting = false;
    const QString key = normalizeText(sourceLanguage, word.trimmed()).toLower();
    if (key.isEmpty())
        return {};
    if (!isReady(sku, sourceLanguage)) {
        prepare(sku, sourceLanguage);
        if (waiting)
            *waiting = true;
        return {};
    }
    const int bound = allowedDistance(key.size());
    struct Found {
        int distance;
        const Headword* headword;
    };
    QVector<Found> found;
    for (const Headword& h : qAsConst(loaded->headwords)) {
        if (qAbs(h.key.size() - key.size()) > bound)
            continue;
        const int d = distance(key, h.key, bound);
        if (d <= bound)
            found.push_back({ d, &h });
    }
    std::sort(found.begin(), found.end(), [](const Found& a, const Found& b) {
        return a.distance != b.distance ? a.distance < b.distance : a.headword->word < b.headword->word;
    });
    QStringList out;
    for (const Found& f : qAsConst(found)) {
        if (!out.contains(f.headword->word))
            out << f.headword->word;
        if (out.size() == limit)
            break;
    }
    return out;
}

int HeadwordSuggestions::distance(const QString& a, const QString& b, int bound)
{
    const int n = a.size();
    const int m = b.size();
    if (qAbs(n - m) > bound)
        return bound + 1;
    // Three rows of the edit table: two back for a swap, the previous one and the current one,
    // kept between calls, which come by the hundred thousand.
    thread_local std::vector<int> before, previous, current;
    before.assign(m + 1, 0);
    previous.assign(m + 1, 0);
    current.assign(m + 1, 0);
    for (int j = 0; j <= m; ++j)
        previous[j] = j;
    for (int i = 1; i <= n; ++i) {
        current[0] = i;
        int rowBest = current[0];
        for (int j = 1; j <= m; ++j) {
            const int cost = a.at(i - 1) == b.at(j - 1) ? 0 : 1;
            int d = std::min({ previous[j] + 1, current[j - 1] + 1, previous[j - 1] + cost });
            if (i > 1 && j > 1 && a.at(i - 1) == b.at(j - 2) && a.at(i - 2) == b.at(j - 1))
                d = std::min(d, before[j - 2] + 1);
            current[j] = d;
            rowBest = std::min(rowBest, d);
        }
        if (rowBest > bound)
            return bound + 1;
        std::swap(before, previous);
        std::swap(previous, current);
    }
    return std::min(previous[m], bound + 1);
}
