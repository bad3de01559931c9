// The subject scopes of a dictionary, read on the GUI thread through the program's default
// Qt SQL connection.
#pragma once

#include "search/booksearch.h"
#include "search/resultliteral.h"

#include <QList>

class QSqlDatabase;

// Points `connection` at the dictionary's database, opens it read-only, reads every scope by
// name and closes it again; the connection's own options are restored afterwards.
DatabaseAccess readScopes(QSqlDatabase& connection, const QString& sku, QList<Scope>& scopes);
