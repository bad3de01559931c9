// The user's favourites and notes as flash cards for Anki, as the page asks for them: written
// into an import file the user picks, or sent to Anki through AnkiConnect. The page hands over
// the rows it keeps (a JSON array of {table, IDBOOK, REF, NOTE, DIZIONARIO}); each entry is read
// from its dictionary and cleaned as the page would show it, then made a card (CardBuilder).
#pragma once

#include "base/flashcard.h"
#include "services/ankiconnect.h"

#include <QObject>
#include <QString>

class FlashCardAnswers : public QObject
{
    Q_OBJECT
public:
    // The deck the cards go into.
    static const QString Deck;

    explicit FlashCardAnswers(QObject* parent = nullptr);

    // The cards of the page's rows: favourites and notes, one card an entry.
    static FlashCards cards(const QString& rows);
    // Asks the user for a file and writes the cards of `rows` into it; the outcome as a JSON
    // object text: {"result":"saved",path,count}, {"result":"cancelled"}, {"result":"empty"} (no
    // card to write) or {"result":"failed",path,reason}.
    QString exportFile(const QString& rows);
    // Sends the cards of `rows` to Anki; `callback` hears {result:true,added,present} or
    // {result:false,error} (in Italian), or at once {result:false,busy:true} while a sending
    // is under way.
    void send(const QString& rows, const QString& callback);
    // The port AnkiConnect listens on, on 127.0.0.1.
    void setAnkiPort(quint16 port) { anki.setPort(port); }

signals:
    // `statement` answers a callback of the page.
    void pageStatement(const QString& statement);

private:
    void sent();

    AnkiConnect anki;
    QString sendCallback;
};
