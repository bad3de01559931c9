// Cards sent straight into the user's Anki, through the AnkiConnect add-on listening on this
// computer (127.0.0.1, JSON over HTTP). The deck is made when missing, the cards Anki would take
// are asked first (canAddNotes) and only those are added (addNotes): a card already in the deck
// stays as it is. The outcome arrives as finished(); then added(), present(), or the failure's
// error() and errorString(), in Italian.
#pragma once

#include "base/flashcard.h"

#include <QByteArray>
#include <QJsonArray>
#include <QJsonObject>
#include <QJsonValue>
#include <QObject>
#include <QString>

class HttpConnection;

class AnkiConnect : public QObject {
    Q_OBJECT
public:
    static constexpr quint16 DefaultPort = 8765;
    enum class Error {
        None,
        Unreachable, // nothing answers on the port, or not as AnkiConnect does
        Refused // AnkiConnect answered with an error
    };

    explicit AnkiConnect(QObject* parent = nullptr);
    ~AnkiConnect() override;

    // The port on 127.0.0.1 the add-on listens on (tests start their own server).
    void setPort(quint16 port);
    // Sends `cards` into `deck` as notes of the "Basic" type; false when a sending is already
    // under way (nothing else happens then). Ends with finished().
    bool send(const FlashCards& cards, const QString& deck);

    // Of the last sending: the cards added, and those Anki already had (or would not take).
    int added() const { return addedCount; }
    int present() const { return presentCount; }
    Error error() const { return failure; }
    QString errorString() const;

signals:
    void finished();

private:
    enum class Step { Idle, Deck, Check, Add };
    void request(Step next, const QString& action, const QJsonObject& params);
    void onReply();
    bool readResult(QJsonValue* result);
    void checked(const QJsonArray& addable);
    void end(Error why, const QString& detail = QString());
    QJsonArray notes(const QList<int>& which) const;

    HttpConnection* http;
    Step step = Step::Idle;
    FlashCards sending;
    QString deckName;
    QList<int> addable;
    int addedCount = 0;
    int presentCount = 0;
    Error failure = Error::None;
    QString failureDetail;
};
