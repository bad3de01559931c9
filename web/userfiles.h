// The files the user picks for the page: notes written out whole or read back, an entry
// exported as PDF and the flash cards for Anki. The user chooses each file in the desktop's dialog; the page hears the outcome
// as a JSON object text.
#pragma once

#include "base/flashcard.h"

#include <QString>
#include <functional>

class UserFiles
{
public:
    // Who picks the file: the desktop's file dialog unless a test sets its own. `save` tells a
    // file to write from one to read; the result is the chosen path, empty for none.
    using FileChooser = std::function<QString(bool save, const QString& suggestedPath)>;
    static void setFileChooser(FileChooser chooser);

    // See PageServices, whose slots of the same names hand over here.
    static QString saveTextFile(const QString& suggestedName, const QString& text);
    static QString openTextFile();
    static QString exportEntryPdf(const QString& heading, const QString& source, const QString& html);
    // `cards` as a file for Anki's import into `deck`, the outcome as a JSON object text; see
    // FlashCardAnswers::exportFile.
    static QString exportAnkiCards(const FlashCards& cards, const QString& deck);
};
