#include "desktop/shellsearchprovider.h"

#include "desktop/headwordqueries.h"

#include <QDBusConnection>
#include <QDBusMessage>

ShellSearchProvider::ShellSearchProvider(HeadwordQueries* queries, QObject* parent)
    : QObject(parent)
    , queries(queries)
{
}

QStringList ShellSearchProvider::search(const QStringList& terms)
{
    setDelayedReply(true);
    const QDBusMessage call = message();
    QDBusConnection bus = connection();
    queries->ask(terms.join(QLatin1Char(' ')), [call, bus](const QVector<PrefixSearch::Hit>& hits) mutable {
        QStringList ids;
        for (const PrefixSearch::Hit& hit : hits)
            ids << HeadwordQueries::idOf(hit);
        bus.send(call.createReply(ids));
    });
    return {};
}

QStringList ShellSearchProvider::GetInitialResultSet(const QStringList& terms) { return search(terms); }

// The narrower text is searched afresh: a prefix search of the installed dictionaries costs
// less than keeping every earlier answer.
QStringList ShellSearchProvider::GetSubsearchResultSet(const QStringList&, const QStringList& terms)
{
    return search(terms);
}

QList<QVariantMap> ShellSearchProvider::GetResultMetas(const QStringList& identifiers)
{
    QList<QVariantMap> metas;
    for (const QString& id : identifiers) {
        PrefixSearch::Hit hit;
        if (queries->find(id, &hit))
            metas << QVariantMap { { QStringLiteral("id"), id }, { QStringLiteral("name"), hit.label() },
                { QStringLiteral("description"), hit.title } };
    }
    return metas;
}

void ShellSearchProvider::ActivateResult(const QString& identifier, const QStringList&, uint)
{
    PrefixSearch::Hit hit;
    if (queries->find(identifier, &hit))
        emit entryWanted(hit.sku, hit.word);
}

void ShellSearchProvider::LaunchSearch(const QStringList& terms, uint)
{
    emit lookUpWanted(terms.join(QLatin1Char(' ')));
}
