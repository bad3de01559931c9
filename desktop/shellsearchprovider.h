// The shell's search provider (org.gnome.Shell.SearchProvider2): as the user types in the
// desktop's search, the headwords of the installed dictionaries that begin with the text, each
// described by its dictionary's title; choosing one opens its entry. Replies are delayed: the
// answer goes out when the worker has it, within the queries' deadline.
#pragma once

#include <QDBusContext>
#include <QObject>
#include <QStringList>
#include <QVariantMap>

class HeadwordQueries;

class ShellSearchProvider : public QObject, protected QDBusContext {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.gnome.Shell.SearchProvider2")
public:
    explicit ShellSearchProvider(HeadwordQueries* queries, QObject* parent = nullptr);

public slots:
    QStringList GetInitialResultSet(const QStringList& terms);
    QStringList GetSubsearchResultSet(const QStringList& previousResults, const QStringList& terms);
    QList<QVariantMap> GetResultMetas(const QStringList& identifiers);
    void ActivateResult(const QString& identifier, const QStringList& terms, uint timestamp);
    void LaunchSearch(const QStringList& terms, uint timestamp);

signals:
    void entryWanted(const QString& sku, const QString& word);
    void lookUpWanted(const QString& word);

private:
    QStringList search(const QStringList& terms);

    HeadwordQueries* queries;
};
