// Another name of an entry (a spelling, a synonym, a phrase the entry explains) is stored as a row of
// its own in lemma, with the entry's identifier and file, whose category is an arrow and the entry's
// headword ("→ Vesuvianite" for "idocrase"): the searches find it by its name, and whatever lists
// it says where it leads. Header only: the package builder writes the rows without linking the search.
#pragma once

#include <QString>

namespace EntryName {
inline QString aliasCategory(const QString& headword) { return QStringLiteral("\u2192 ") + headword; }

// The headword of the entry a row with this category leads to; empty for an entry's own row.
inline QString aliasTarget(const QString& category)
{
    const QString arrow = QStringLiteral("\u2192 ");
    return category.startsWith(arrow) ? category.mid(arrow.size()).trimmed() : QString();
}
}
