// Making values safe for the SQL text of the dictionary statements, which are built by
// concatenation: quoted values have their apostrophes doubled, numbers must be whole numbers.
// Also reading a text column of a result row back.
#pragma once

#include <QByteArray>
#include <QString>

struct sqlite3_stmt;

namespace SqlText {
// `value` as UTF-8 with every apostrophe doubled and zero characters dropped, for use between
// single quotes.
QByteArray escaped(const QString& value);
QByteArray escaped(const QByteArray& utf8);
// `value` for a GLOB pattern between single quotes: apostrophes doubled and "*", "?" and "["
// each in a bracket of its own, so they match only themselves.
QByteArray globLiteral(const QByteArray& utf8);
// `value` for a LIKE pattern written with ESCAPE '\': apostrophes doubled, "%", "_" and the
// backslash preceded by a backslash, so they match only themselves.
QByteArray likeLiteral(const QByteArray& utf8);
// `value` between single quotes, apostrophes doubled.
QByteArray quoted(const QByteArray& utf8);
// True for one or more decimal digits and nothing else ("0", "00", "10"), small enough for
// SQLite to read as an integer.
bool isWholeNumber(const QString& value);
// Column `column` of the statement's current row as UTF-8 text; empty for NULL.
QString columnText(sqlite3_stmt* statement, int column);
}
