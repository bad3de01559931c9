#include "web/resultliteral.h"

#include "base/scriptliteral.h"

#include <QStringList>

namespace ResultLiteral {

namespace {
    const QChar apostrophe(QLatin1Char('\''));
    const QChar doubleQuote(QLatin1Char('"'));

    // One field of an item: backslash-apostrophe quoted, as the item sits in a single-quoted string.
    QString field(const char* name, const QString& value)
    {
        return QLatin1String(name) + QStringLiteral(": \\'") + ScriptLiteral::escapeNested(value, apostrophe, apostrophe)
            + QStringLiteral("\\'");
    }

    QString items(const QList<SearchResult>& results)
    {
        QStringList list;
        list.reserve(results.size());
        for (const SearchResult& r : results) {
            QString word = r.word;
            word.replace(QLatin1Char('\''), QStringLiteral("&apos;"));
            list << QLatin1Char('{') + field("idzenta", r.id) + QStringLiteral(", ") + field("word", word)
                    + QStringLiteral(", ") + field("file", r.file) + QStringLiteral(", ") + field("omo", r.omo)
                    + QStringLiteral(", ") + field("hw", r.hw) + QLatin1Char('}');
        }
        return list.join(QLatin1Char(','));
    }

    QString scopeId(const QString& id)
    {
        bool whole = false;
        id.toLongLong(&whole);
        return whole ? id.trimmed() : apostrophe + ScriptLiteral::escapeNested(id, apostrophe, doubleQuote) + apostrophe;
    }
}

QString search(const SearchResults& found)
{
    const QString head = QStringLiteral("{tot:") + QString::number(found.total) + QStringLiteral(",result: [") + items(found.rows);
    switch (found.kind) {
    case SearchResults::Kind::Entry:
        return head + QStringLiteral("], isLemmatizzata:true}");
    case SearchResults::Kind::FullText:
        return head + QStringLiteral("], isLemmatizzata:false}");
    case SearchResults::Kind::WordList:
        break;
    }
    return head + QStringLiteral("]}");
}

QString scopes(const QList<Scope>& scopes)
{
    QStringList list;
    for (const Scope& scope : scopes)
        list << QStringLiteral("{id:") + scopeId(scope.id) + QStringLiteral(", nome:'")
                + ScriptLiteral::escapeNested(scope.name, apostrophe, doubleQuote) + QStringLiteral("'}");
    return QStringLiteral("{tot:") + QString::number(scopes.size()) + QStringLiteral(", result:[")
        + list.join(QStringLiteral(", ")) + QStringLiteral("]}");
}
}
