// Per-language normalisation of search input: the character tables delivered with the account's
// library are applied to what the user typed, so that it compares with the normalised headwords
// and keywords of the dictionaries.
#pragma once

#include <QString>

// Replaces, pair by pair and in table order, every element of the language's start list by the
// element at the same position of its end list. The table is the settings' as they stand at the
// call (kept while their file is unchanged); any thread may call it.
QString normalizeText(const QString& languageId, const QString& text);
