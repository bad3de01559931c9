// The web database as a test sees it: opened directly, no boxes; "<no store>" when it does not
// open.
#pragma once

#include <QScopedPointer>
#include <QString>
#include <QStringList>

class QSqlQuery;

namespace TestSupport {
QString storeValue(const QString& refbook, const QString& variable);
// Every SYSTEM row as "id|refbook|variable|value", in identifier order; "<no store>" when
// SYSTEM cannot be read.
QStringList storeRows();
// False when the statement fails or the store does not open.
bool storeExec(const QString& statement);

// A read of the store as the page's script holds one: until it ends, nothing can be written.
class PageRead
{
public:
    PageRead();
    ~PageRead();
    bool holding() const { return reading != nullptr; }
    void end();

private:
    QScopedPointer<QSqlQuery> reading;
};
}
