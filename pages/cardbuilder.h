// Flash cards made of the user's favourites and notes: one card per entry, whichever of them
// keep it. The front names the entry (headword, homograph number, dictionary); the back holds
// the first senses of the entry as the page shows it, then the user's note. Both sides are
// HTML of a few plain tags (b, i, em, strong, br, p, span, ul, ol, li), with no attribute but a
// class; every text is escaped.
#pragma once

#include "base/flashcard.h"

#include <QHash>
#include <QString>

class CardBuilder {
public:
    // An entry the user keeps: the dictionary (its sku and title), the entry's place (its id in
    // content file `file`), its headword and homograph number, and the note or the favourite.
    struct Saved {
        QString sku;
        QString dictionary;
        QString entryId;
        QString file;
        QString headword;
        QString homograph;
        QString note;
        bool favourite = false;
    };

    // Most sense blocks and letters of the entry's text a card's back keeps.
    static constexpr int MaxSenses = 3;
    static constexpr int MaxLetters = 500;

    // Adds `saved` with its entry's cleaned HTML (empty when it could not be read); a second row
    // of the same entry joins the first one's card.
    void add(const Saved& saved, const QString& entryHtml);
    // The cards in the order their entries were first added.
    FlashCards cards() const;

    // The same for the same entry of the same dictionary, whatever its headword or note.
    static QString cardId(const QString& sku, const QString& file, const QString& entryId);
    // The first sense blocks of `entryHtml`: its paragraphs of class "def" or, in an entry
    // without them, its first paragraphs and list items; at most MaxSenses of them and
    // MaxLetters letters, on the tags allowed.
    static QString firstSenses(const QString& entryHtml);

private:
    struct Entry {
        Saved saved;
        QString senses;
        bool favourite = false;
        QString note;
    };
    static FlashCard card(const Entry& entry);

    QList<Entry> entries;
    QHash<QString, int> byId;
};
