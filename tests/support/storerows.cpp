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
        QSqlQuery q(store.database());
        if (!q.exec(QStringLiteral("SELECT id, refbook, variable, value FROM SYSTEM ORDER BY id")))
            rows << QStringLiteral("<no store>");
        while (q.next())
            rows << QStringLiteral("%1|%2|%3|%4").arg(q.value(0).toString(), q.value(1).toString(),
                                                       q.value(2).toString(), q.value(3).toString());
    });
    return rows;
}

bool storeExec(const QString& statement)
{
    bool done = false;
    withStore([&](WebStore& store) { done = store.exec(statement); });
    return done;
}

bool storeBook(const QString& sku, const QString& title, const QString& status, const QString& visible,
    const QString& order)
{
    bool done = false;
    withStore([&](WebStore& store) {
        int id = 0;
        done = store.maxId(id);
        for (const auto& [variable, value] : { std::pair("TITLE", title), std::pair("STATUS", status),
                 std::pair("VISIBLE", visible), std::pair("ORDER", order), std::pair("SOURCELANGUAGEID", QString("it")) })
            done = done && store.insert(id, sku, variable, value);
    });
    return done;
}
}
