// One dictionary entry as the package builder takes it in.
#pragma once

#include <QString>
#include <QStringList>

struct DictionaryEntry {
    QString headword;
    QString omo; // homograph number, passed through to the page
    QString pos; // grammatical category, stored as hwgram
    QString definition; // plain text; its words also become full-text keywords
    QString html; // the entry's formatted body (XHTML, escaped); empty: the definition as one paragraph
    QString source; // language code of the entry
    QStringList forms; // inflected forms, found by the headword search and listed on the entry page
    QStringList unlistedForms; // forms the headword search finds but the page does not list
    QStringList aliases; // further headwords that open this entry (its source's other index names)
    QStringList keywords; // extra full-text keywords besides the definition's words
    QStringList scopes; // subject scope names
};
