// Making values safe for the SQL text of the dictionary statements, which are built by
// concatenation: quoted values have their apostrophes doubled, numbers must be whole numbers.
#pragma once

#include <QByteArray>
#include <QString>

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
}
