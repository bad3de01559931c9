// Whether an unpacked dictionary can answer the searches: its database.db opens as SQLite and
// every search statement compiles on it, reading tables, not views (a view can make a search run
// for minutes). The installation asks before a new version takes the old one's place, so a
// damaged package is refused instead of being reported installed and failing every search.
#pragma once

#include <QString>

namespace DictionaryCheck {
// What keeps the database at `databasePath` from answering every search (for the diagnostics);
// empty when it answers them all.
QString problem(const QString& databasePath);
}
