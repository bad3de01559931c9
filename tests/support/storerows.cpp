#include "tests/support/storerows.h"

#include "base/datapaths.h"
#include "store/webstore.h"

#include <QSqlQuery>
#include <QVariant>

namespace TestSupport {

namespace {
template <typename Work>
void withStore(Work work)
{
    WebStore store;
    if (!store.open())
        return;
    work(store);
    store.close();
}
}

QString storeValue(const QString& refbook, const QString& variable)
{
    QString value = QStringLiteral("<no store>");
    withStore([&](WebStore& store) {
        if (!store.value(refbook, variable, value))
            value = QStringLiteral("<no store>");
    });
    return value;
}

QStringList storeRows()
{
    QStringList rows;
    withStore([&](WebStore& store) {
        const bool read = store.select(QStringLiteral("SELECT id, refbook, variable, value FROM SYSTEM ORDER BY id"),
                                       [&rows](const QSqlQuery& q) {
                                           rows << QStringLiteral("%1|%2|%3|%4").arg(q.value(0).toString(), q.value(1).toString(),
                                                                                      q.value(2).toString(), q.value(3).toString());
                                       });
        if (!read)
            rows = QStringList { QStringLiteral("<no store>") };
    });
    return rows;
}

bool storeExec(const QString& statement)
{
    bool done = false;
    withStore([&](WebStore& store) { done = store.exec(statement); });
    return done;
}

namespace {
const QString readerName = QStringLiteral("page-read");
}

PageRead::PageRead()
{
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), readerName);
    db.setDatabaseName(DataPaths::bookmarksDatabase());
    reading.reset(new QSqlQuery(db));
    if (!db.open() || !db.transaction() || !reading->exec(QStringLiteral("SELECT * FROM SYSTEM")))
        reading.reset();
}

PageRead::~PageRead()
{
    end();
    QSqlDatabase::removeDatabase(readerName);
}

void PageRead::end()
{
    if (!reading)
        return;
    reading.reset();
    QSqlDatabase::database(readerName, false).commit();
    QSqlDatabase::database(readerName, false).close();
}
}
