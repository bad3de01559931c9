#include "search/resultliteral.h"

#include <QStringList>

namespace ResultLiteral {

namespace {
bool needsEscape(QChar c)
{
    const ushort u = c.unicode();
    return u < 0x20 || u == 0x7f || u == 0x2028 || u == 0x2029 || c == QLatin1Char('\\') || c == QLatin1Char('\'')
        || c == QLatin1Char('"') || c == QLatin1Char('<') || c == QLatin1Char('>');
}

// One field of an item: backslash-apostrophe quoted, as the item sits in a single-quoted string.
QString field(const char* name, const QString& value)
{
    return QLatin1String(name) + QStringLiteral(": \\'") + scriptSafe(value) + QStringLiteral("\\'");
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
    return whole ? id.trimmed() : QLatin1Char('\'') + scriptSafe(id) + QLatin1Char('\'');
}
}

QString scriptSafe(const QString& text)
{
    QString out;
    out.reserve(text.size());
    for (const QChar c : text) {
        if (needsEscape(c))
            out += QStringLiteral("\\\\u%1").arg(c.unicode(), 4, 16, QLatin1Char('0'));
        else
            out += c;
    }
    return out;
}

QString search(const QList<SearchResult>& results, int total, const QString& kind)
{
    const bool lemmatized = kind == QLatin1String("lemmatizzatore");
    return QStringLiteral("{tot:") + QString::number(total) + QStringLiteral(",result: [") + items(results)
        + (lemmatized ? QStringLiteral("], isLemmatizzata:true}") : QStringLiteral("], isLemmatizzata:false}"));
}

QString wordList(const QList<SearchResult>& results, int total)
{
    return QStringLiteral("{tot:") + QString::number(total) + QStringLiteral(",result: [") + items(results)
        + QStringLiteral("]}");
}

QString scopes(const QList<Scope>& scopes)
{
    QStringList list;
    for (const Scope& scope : scopes)
        list << QStringLiteral("{id:") + scopeId(scope.id) + QStringLiteral(", nome:'") + scriptSafe(scope.name)
                + QStringLiteral("'}");
    return QStringLiteral("{tot:") + QString::number(scopes.size()) + QStringLiteral(", result:[")
        + list.join(QStringLiteral(", ")) + QStringLiteral("]}");
}
}
