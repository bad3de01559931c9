#include "search/scopelist.h"

#include "base/diagnostics.h"
#include "search/searchstatements.h"
#include "search/statementtimelimit.h"

#include <QSqlDatabase>
#include <QSqlDriver>
#include <QSqlQuery>
#include <QVariant>

DatabaseAccess readScopes(QSqlDatabase& connection, const QString& sku, QList<Scope>& scopes)
{
    const QString path = getBookDatabasePath(sku);
    if (path.isEmpty())
        return DatabaseAccess::Missing;

    const QString options = connection.connectOptions();
    connection.setDatabaseName(path);
    connection.setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY"));
    const bool opened = connection.open();
    connection.setConnectOptions(options);
    if (!opened)
        return DatabaseAccess::OpenFailed;

    const QByteArray statement = SearchStatements::scopes();
    Diagnostics::debug("getScopes query: %s", statement.constData());
    {
        // Read on the GUI thread: a statement that does not end would freeze the window.
        const QVariant handle = connection.driver()->handle();
        StatementTimeLimit limit(
            qstrcmp(handle.typeName(), "sqlite3*") == 0 ? *static_cast<sqlite3* const*>(handle.constData()) : nullptr);
        limit.start();
        QSqlQuery query(connection);
        if (query.exec(QString::fromUtf8(statement))) {
            while (query.next())
                scopes << Scope { query.value(0).toString(), query.value(1).toString() };
        }
        if (limit.reached())
            scopes.clear();
    }
    connection.close();
    return DatabaseAccess::Opened;
}
