#include "tests/support/storerows.h"

#include "store/webstore.h"

namespace TestSupport {

QString storeValue(const QString& refbook, const QString& variable)
{
    WebStore store;
    QString value;
    return store.open() && store.value(refbook, variable, value) ? value : QStringLiteral("<no store>");
}

bool storeExec(const QString& statement)
{
    WebStore store;
    return store.open() && store.exec(statement);
}

bool storeBook(const QString& sku, const QString& title, const QString& status, const QString& visible,
    const QString& order)
{
    WebStore store;
    int id = 0;
    bool done = store.open() && store.maxId(id);
    for (const auto& [variable, value] : { std::pair("TITLE", title), std::pair("STATUS", status),
             std::pair("VISIBLE", visible), std::pair("ORDER", order), std::pair("SOURCELANGUAGEID", QString("it")) })
        done = done && store.insert(id, sku, variable, value);
    return done;
}
}
