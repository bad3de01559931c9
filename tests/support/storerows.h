// The web database as a test sees it: opened directly, no boxes; "<no store>" when it does not
// open.
#pragma once

#include <QString>
#include <QStringList>

namespace TestSupport {
QString storeValue(const QString& refbook, const QString& variable);
// Every SYSTEM row as "id|refbook|variable|value", in identifier order.
QStringList storeRows();
void storeExec(const QString& statement);
// A dictionary's rows as the library merge writes them (Italian entries), after the last row.
void storeBook(const QString& sku, const QString& title, const QString& status, const QString& visible,
    const QString& order);
}
