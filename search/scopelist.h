// The subject scopes of a dictionary, read on the GUI thread through the program's default
// Qt SQL connection.
#pragma once

#include "search/booksearch.h"

#include <QList>
#include <QString>

class QSqlDatabase;

// One subject scope of a dictionary: its number and its name.
struct Scope {
    QString id;
    QString name;
};

// Points `connection` at the dictionary's database, opens it read-only, reads every scope by
// name and closes it again; the connection's own options are restored afterwards.
DatabaseAccess readScopes(QSqlDatabase& connection, const QString& sku, QList<Scope>& scopes);
