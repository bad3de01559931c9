#include "desktop/krunnerprovider.h"

#include "desktop/headwordqueries.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusMetaType>

namespace {
// The launcher's kinds of match: a headword equal to the text is an exact match, one that only
// begins with it a possible one.
constexpr int exactMatch = 100;
constexpr int possibleMatch = 30;
}

QDBusArgument& operator<<(QDBusArgument& argument, const RemoteMatch& match)
{
    argument.beginStructure();
    argument << match.id << match.text << match.iconName << match.type << match.relevance << match.properties;
    argument.endStructure();
    return argument;
}

const QDBusArgument& operator>>(const QDBusArgument& argument, RemoteMatch& match)
{
    argument.beginStructure();
    argument >> match.id >> match.text >> match.iconName >> match.type >> match.relevance >> match.properties;
    argument.endStructure();
    return argument;
}

QDBusArgument& operator<<(QDBusArgument& argument, const RemoteAction& action)
{
    argument.beginStructure();
    argument << action.id << action.text << action.iconName;
    argument.endStructure();
    return argument;
}

const QDBusArgument& operator>>(const QDBusArgument& argument, RemoteAction& action)
{
    argument.beginStructure();
    argument >> action.id >> action.text >> action.iconName;
    argument.endStructure();
    return argument;
}

KRunnerProvider::KRunnerProvider(HeadwordQueries* queries, QObject* parent)
    : QObject(parent)
    , queries(queries)
{
}

void KRunnerProvider::registerTypes()
{
    qDBusRegisterMetaType<RemoteMatch>();
    qDBusRegisterMetaType<RemoteMatches>();
    qDBusRegisterMetaType<RemoteAction>();
    qDBusRegisterMetaType<RemoteActions>();
    // The slots name the lists by these names.
    qRegisterMetaType<RemoteMatches>("RemoteMatches");
    qRegisterMetaType<RemoteActions>("RemoteActions");
}

RemoteActions KRunnerProvider::Actions() { return {}; }

RemoteMatches KRunnerProvider::Match(const QString& query)
{
    setDelayedReply(true);
    const QDBusMessage call = message();
    QDBusConnection bus = connection();
    queries->ask(query, [call, bus](const QVector<PrefixSearch::Hit>& hits) mutable {
        RemoteMatches matches;
        for (const PrefixSearch::Hit& hit : hits) {
            RemoteMatch match;
            match.id = HeadwordQueries::idOf(hit);
            match.text = hit.label();
            match.iconName = QStringLiteral("it.zenta.Vocalume");
            match.type = hit.exact ? exactMatch : possibleMatch;
            // The launcher sorts by relevance: the order of the answer is kept.
            match.relevance = 1.0 - matches.size() / 64.0;
            match.properties.insert(QStringLiteral("subtext"), hit.title);
            match.properties.insert(QStringLiteral("actions"), QStringList());
            matches << match;
        }
        bus.send(call.createReply(QVariant::fromValue(matches)));
    });
    return {};
}

void KRunnerProvider::Run(const QString& matchId, const QString&)
{
    PrefixSearch::Hit hit;
    if (queries->find(matchId, &hit))
        emit entryWanted(hit.sku, hit.word);
}
