// The runner of the desktop's launcher (org.kde.krunner1): the same headwords as the shell's
// provider, as matches whose subtext is the dictionary's title; running one opens its entry.
#pragma once

#include <QDBusArgument>
#include <QDBusContext>
#include <QList>
#include <QObject>
#include <QVariantMap>

class HeadwordQueries;

// One match: identifier, text, icon name, kind, relevance and properties (a(sssida{sv})).
struct RemoteMatch {
    QString id;
    QString text;
    QString iconName;
    int type = 0;
    double relevance = 0;
    QVariantMap properties;
};
using RemoteMatches = QList<RemoteMatch>;

// An action offered on matches: identifier, text, icon name (a(sss)); the runner offers none.
struct RemoteAction {
    QString id;
    QString text;
    QString iconName;
};
using RemoteActions = QList<RemoteAction>;

QDBusArgument& operator<<(QDBusArgument& argument, const RemoteMatch& match);
const QDBusArgument& operator>>(const QDBusArgument& argument, RemoteMatch& match);
QDBusArgument& operator<<(QDBusArgument& argument, const RemoteAction& action);
const QDBusArgument& operator>>(const QDBusArgument& argument, RemoteAction& action);

Q_DECLARE_METATYPE(RemoteMatch)
Q_DECLARE_METATYPE(RemoteAction)

class KRunnerProvider : public QObject, protected QDBusContext {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.kde.krunner1")
public:
    explicit KRunnerProvider(HeadwordQueries* queries, QObject* parent = nullptr);
    // Makes the match and action lists known to the bus; before any object is registered.
    static void registerTypes();

public slots:
    RemoteActions Actions();
    RemoteMatches Match(const QString& query);
    void Run(const QString& matchId, const QString& actionId);
    // The end of a match session: nothing is kept for one.
    void Teardown() {}

signals:
    void entryWanted(const QString& sku, const QString& word);

private:
    HeadwordQueries* queries;
};
