#include "tests/support/storerows.h"

#include "base/datapaths.h"
#include "store/webstore.h"


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
