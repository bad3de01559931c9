// Feeds a dictd dictionary into the package builder: one entry per article, formatted as an
// entry page whose cross-references open the entries they name; the other index headwords of an
// article and, with a spelling dictionary, the inflected forms of its headword become the
// entry's forms.
#pragma once

#include <QString>

class AffixExpander;
class DictionaryBuilder;
class WordExceptions;

class DictdImporter {
public:
    // `basePath` names `<base>.index` and `<base>.dict.dz`; `affixes` and `exceptions` (the
    // irregular forms of English words) may be null. The builder must be open and empty, so that
    // entry numbers and content files follow the article order.
    bool import(const QString& basePath, const QString& language, const AffixExpander* affixes,
        DictionaryBuilder& builder, const WordExceptions* exceptions = nullptr);
    QString errorString() const { return error; }

private:
    QString error;
};
