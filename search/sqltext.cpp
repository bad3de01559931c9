#include "search/sqltext.h"

#include <sqlite3.h>

namespace SqlText {

QByteArray escaped(const QString& value) { return escaped(value.toUtf8()); }

QByteArray escaped(const QByteArray& utf8)
{
    // A zero byte would end the statement inside the literal; no dictionary text holds one.
    QByteArray out = utf8;
    out.replace('\0', QByteArray());
    return out.replace('\'', "''");
}

QByteArray globLiteral(const QByteArray& utf8)
{
    QByteArray out;
    out.reserve(utf8.size());
    for (const char c : utf8) {
        if (c == '*' || c == '?' || c == '[')
            out += '[' + QByteArray(1, c) + ']';
        else
            out += c;
    }
    return escaped(out);
}

QByteArray likeLiteral(const QByteArray& utf8)
{
    QByteArray out;
    out.reserve(utf8.size());
    for (const char c : utf8) {
        if (c == '%' || c == '_' || c == '\\')
            out += '\\';
        out += c;
    }
    return escaped(out);
}

QByteArray quoted(const QByteArray& utf8) { return '\'' + escaped(utf8) + '\''; }

bool isWholeNumber(const QString& value)
{
    // 18 digits always fit a signed 64-bit integer.
    if (value.isEmpty() || value.size() > 18)
        return false;
    for (const QChar c : value)
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return false;
    return true;
}

QString columnText(sqlite3_stmt* statement, int column)
{
    const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(statement, column));
    return text ? QString::fromUtf8(text, sqlite3_column_bytes(statement, column)) : QString();
}
}
