// Per-language normalisation of search input: the character tables delivered with the account's
// library are applied to what the user typed, so that it compares with the normalised headwords
// and keywords of the dictionaries.
#pragma once

#include <QString>

// Replaces, pair by pair and in table order, every element of the language's start list by the
// element at the same position of its end list. The table is read from the settings at every
// call with a settings object of the call's own, so any thread may call it.
QString normalizeText(const QString& languageId, const QString& text);
