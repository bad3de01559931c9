// The builder's text source format, one entry per line, fields separated by tabs:
//
//   headword <TAB> omo <TAB> pos <TAB> definition <TAB> forms <TAB> keywords <TAB> scopes
//
// forms, keywords and scopes are comma-separated lists; trailing fields may be left out.
// Empty lines and lines starting with "#" are ignored; a line "@source <code>" sets the language
// code of the entries that follow (initially the reader's default).
#pragma once

#include "tools/packagebuilder/dictionaryentry.h"

#include <QString>
#include <functional>

class DictionarySource {
public:
    using EntryHandler = std::function<bool(const DictionaryEntry&)>;

    // Reads `path` (UTF-8) and hands every entry to `onEntry` in file order; stops at the first
    // malformed line or refused entry. False with errorString() on failure.
    bool read(const QString& path, const QString& defaultSource, const EntryHandler& onEntry);
    QString errorString() const { return error; }

    // Parses one entry line; false when it has no headword or too many fields.
    static bool parseLine(const QString& line, const QString& source, DictionaryEntry& entry);

private:
    QString error;
};
