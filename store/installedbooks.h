// The dictionaries a look-up from outside the pages may search: those the library lists (VISIBLE
// "1") whose files are installed (STATUS "1" or "2"), in the library's order (ORDER, those without
// one last, then title), as the pages list them. Read from SYSTEM with a connection of its own, so
// any thread may ask.
#pragma once

#include <QString>
#include <QVector>

struct InstalledBook {
    QString sku;
    QString title; // the sku when the library gives none
    QString sourceLanguage;
};

namespace InstalledBooks {
// None when the web database does not open.
QVector<InstalledBook> read();
}
