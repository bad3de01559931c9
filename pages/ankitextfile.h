// Cards as a file Anki imports: UTF-8 text, one card a line, fields separated by tabs, with the
// file headers that tell Anki the separator, that fields are HTML, the note type, the deck, the
// id column (so that importing the file again updates its cards rather than adding twins) and
// the tags column. Written whole or not at all.
#pragma once

#include "base/flashcard.h"

#include <QByteArray>
#include <QString>

class AnkiTextFile {
public:
    // The file's text: the headers, then "id, front, back, tags" a line.
    static QByteArray text(const FlashCards& cards, const QString& deck);
    // A field as the import reads it back: within quotes, its own quotes doubled, when it holds
    // a tab, a line break or a quote.
    static QString field(const QString& value);

    // Writes the cards into `path`; false, with errorString() in Italian, when the file is not
    // written (then it is as it was).
    [[nodiscard]] bool write(const QString& path, const FlashCards& cards, const QString& deck);
    QString errorString() const { return failure; }

private:
    QString failure;
};
