// The user's favourites and notes as flash cards for Anki, as the page asks for them: written
// into an import file the user picks, or sent to Anki through AnkiConnect. The page hands over
// the rows it keeps (a JSON array of {table, IDBOOK, REF, NOTE, DIZIONARIO}); each entry is read
// from its dictionary and cleaned as the page would show it, then made a card (CardBuilder), on
// a thread of its own: hundreds of notes mean hundreds of content files read.
#pragma once

#include "base/flashcard.h"
#include "services/ankiconnect.h"

#include <QObject>
#include <QString>
#include <functional>

class FlashCardAnswers : public QObject {
    Q_OBJECT
public:
    // The deck the cards go into.
    static const QString Deck;

    explicit FlashCardAnswers(QObject* parent = nullptr);
    // Waits for the cards being made: their thread reads nothing of this object.
    ~FlashCardAnswers() override;

    // The cards of the page's rows: favourites and notes, one card an entry.
    static FlashCards cards(const QString& rows);
    // Makes the cards of `rows`, asks the user for a file and writes them into it; `callback`
    // hears {result:"saved",path,count}, {result:"cancelled"}, {result:"empty"} (no card to
    // write) or {result:"failed",path,reason}.
    void exportFile(const QString& rows, const QString& callback);
    // Sends the cards of `rows` to Anki; `callback` hears {result:true,added,present} or
    // {result:false,error} (in Italian), or {result:false,busy:true} while a sending is under
    // way.
    void send(const QString& rows, const QString& callback);
    // The port AnkiConnect listens on, on 127.0.0.1.
    void setAnkiPort(quint16 port) { anki.setPort(port); }

signals:
    // `statement` answers a callback of the page.
    void pageStatement(const QString& statement);

private:
    // Makes the cards of `rows` on a thread, then hands them to `then` here.
    void build(const QString& rows, std::function<void(const FlashCards&)> then);
    void sent();

    AnkiConnect anki;
    QString sendCallback;
};
