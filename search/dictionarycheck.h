// Whether an unpacked dictionary can answer the searches: its database.db opens as SQLite and
// every search statement compiles on it, reading tables, not views (a view can make a search run
// for minutes). The installation asks before a new version takes the old one's place, so a
// damaged package is refused instead of being reported installed and failing every search.
#pragma once

#include <QString>

namespace DictionaryCheck {
// True when the database at `databasePath` can answer every search; otherwise false, with what
// is wrong in `problem` (for the diagnostics).
[[nodiscard]] bool isSearchable(const QString& databasePath, QString* problem);
}
