// The web database as a test sees it: opened directly, no boxes; "<no store>" when it does not
// open.
#pragma once

#include "store/webstore.h"

#include <QString>
#include <QStringList>

namespace TestSupport {
QString storeValue(const QString& refbook, const QString& variable);
// False when the statement fails or the store does not open.
bool storeExec(const QString& statement);

// A read of the store as the page's script holds one: until it ends, nothing can be written.
class PageRead
{
public:
    PageRead() { holding = store.open() && store.transaction() && store.select("SELECT * FROM SYSTEM", {}, [](const QSqlQuery&) {}); }
    void end() { store.close(); }
    bool holding = false;

private:
    WebStore store;
};
// A dictionary's rows as the library merge writes them (Italian entries), after the last row;
// false when they could not be written.
bool storeBook(const QString& sku, const QString& title, const QString& status, const QString& visible,
    const QString& order);
}
