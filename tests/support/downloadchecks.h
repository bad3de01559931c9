// What a dictionary download leaves behind and tells the page: the books folder, the STATUS row of
// the web store, and the closing statements of the download callback.
#pragma once

#include "tests/support/storerows.h"
#include "tests/support/testsupport.h"

namespace DownloadChecks {

inline QString books() { return TestSupport::dataDirectory() + QStringLiteral("/engine/books"); }
inline QStringList booksEntries() { return QDir(books()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot); }

inline QString status(const QString& sku) { return TestSupport::storeValue(sku, QStringLiteral("STATUS")); }

inline QString waiting(const QString& callback)
{
    return QStringLiteral("SignalQt('%1', '{result:false, progress:\"wait\"}', 'true')").arg(callback);
}

inline QString finished(const QString& callback)
{
    return QStringLiteral("SignalQt('%1', '{result:true,error:\\'\\',progress:\\'100\\'}')").arg(callback);
}
}
