#include "store/installedbooks.h"

#include "store/webstore.h"

#include <QHash>
#include <QSqlQuery>
#include <QVariant>
#include <algorithm>
#include <limits>

namespace {
using Fields = QHash<QString, QString>;

double orderOf(const Fields& fields)
{
    bool ok = false;
    const double order = fields.value(QStringLiteral("ORDER")).toDouble(&ok);
    return ok ? order : std::numeric_limits<double>::infinity();
}
}

namespace InstalledBooks {

QVector<InstalledBook> read()
{
    WebStore store;
    if (!store.open())
        return {};
    // In identifier order: when a pair appears more than once the last row wins, as for the pages.
    QHash<QString, Fields> books;
    QSqlQuery query(store.database());
    query.exec(QStringLiteral("SELECT REFBOOK, VARIABLE, VALUE FROM SYSTEM ORDER BY ID"));
    while (query.next())
        books[query.value(0).toString()][query.value(1).toString().toUpper()] = query.value(2).toString();
    books.remove(QStringLiteral("SYSTEM"));

    QVector<QPair<Fields, InstalledBook>> listed;
    for (auto it = books.cbegin(); it != books.cend(); ++it) {
        const Fields& f = it.value();
        const QString status = f.value(QStringLiteral("STATUS"));
        if (f.value(QStringLiteral("VISIBLE")) != QLatin1String("1")
            || (status != QLatin1String("1") && status != QLatin1String("2")))
            continue;
        const QString title = f.value(QStringLiteral("TITLE"));
        listed.push_back({ f, { it.key(), title.isEmpty() ? it.key() : title, f.value(QStringLiteral("SOURCELANGUAGEID")) } });
    }
    std::sort(listed.begin(), listed.end(), [](const auto& a, const auto& b) {
        const double oa = orderOf(a.first);
        const double ob = orderOf(b.first);
        return oa != ob ? oa < ob : QString::localeAwareCompare(a.second.title, b.second.title) < 0;
    });
    QVector<InstalledBook> out;
    for (const auto& entry : qAsConst(listed))
        out.push_back(entry.second);
    return out;
}
}
