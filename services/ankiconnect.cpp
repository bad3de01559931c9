#include "services/ankiconnect.h"

#include "services/httpconnection.h"
#include "services/serviceendpoint.h"

#include <QJsonDocument>
#include <QJsonObject>

namespace {
// The version of the add-on's protocol these requests are written for.
constexpr int ProtocolVersion = 6;
// AnkiConnect answers at once or not at all: a long wait only hides a stopped Anki.
constexpr int Timeout = 15000;
}

AnkiConnect::AnkiConnect(QObject* parent)
    : QObject(parent)
    , http(new HttpConnection(this))
{
    setPort(DefaultPort);
    http->setTimeout(Timeout);
    connect(http, &HttpConnection::finished, this, &AnkiConnect::onReply);
}

AnkiConnect::~AnkiConnect() = default;

void AnkiConnect::setPort(quint16 port) { http->setServer({ QStringLiteral("127.0.0.1"), port, false }); }

bool AnkiConnect::send(const FlashCards& cards, const QString& deck)
{
    if (step != Step::Idle)
        return false;
    sending = cards;
    deckName = deck;
    addable.clear();
    addedCount = 0;
    presentCount = 0;
    failure = Error::None;
    failureDetail.clear();
    request(Step::Deck, QStringLiteral("createDeck"), { { QStringLiteral("deck"), deck } });
    return true;
}

QString AnkiConnect::errorString() const
{
    switch (failure) {
    case Error::None:
        return QString();
    case Error::Unreachable:
        return QStringLiteral("Anki non risponde: avvia Anki con il componente AnkiConnect e riprova.");
    case Error::Refused:
        break;
    }
    return QStringLiteral("Anki non ha accettato le schede (%1): controlla che il componente AnkiConnect sia "
                          "aggiornato e che esista il tipo di nota «Basic», poi riprova.")
        .arg(failureDetail);
}

void AnkiConnect::request(Step next, const QString& action, const QJsonObject& params)
{
    step = next;
    const QJsonObject body { { QStringLiteral("action"), action }, { QStringLiteral("version"), ProtocolVersion },
        { QStringLiteral("params"), params } };
    http->post(QStringLiteral("/"), QJsonDocument(body).toJson(QJsonDocument::Compact),
        { { "Content-Type", "application/json" } });
}

QJsonArray AnkiConnect::notes(const QList<int>& which) const
{
    QJsonArray out;
    for (const int i : which) {
        const FlashCard& card = sending.at(i);
        out.append(QJsonObject { { QStringLiteral("deckName"), deckName },
            { QStringLiteral("modelName"), QStringLiteral("Basic") },
            { QStringLiteral("fields"),
                QJsonObject { { QStringLiteral("Front"), card.front }, { QStringLiteral("Back"), card.back } } },
            { QStringLiteral("tags"), QJsonArray::fromStringList(card.tags) },
            { QStringLiteral("options"),
                QJsonObject { { QStringLiteral("allowDuplicate"), false },
                    { QStringLiteral("duplicateScope"), QStringLiteral("deck") } } } });
    }
    return out;
}

// The reply's result; false (the sending ended) when the transfer failed, the reply is not the
// add-on's, or the add-on reports an error.
bool AnkiConnect::readResult(QJsonValue* result)
{
    if (http->error() != HttpConnection::Error::None || http->statusCode() != 200) {
        end(Error::Unreachable);
        return false;
    }
    const QJsonDocument reply = QJsonDocument::fromJson(http->readAll());
    const QJsonObject answer = reply.object();
    if (!reply.isObject() || !answer.contains(QStringLiteral("result")) || !answer.contains(QStringLiteral("error"))) {
        end(Error::Unreachable);
        return false;
    }
    const QJsonValue error = answer.value(QStringLiteral("error"));
    if (!error.isNull()) {
        end(Error::Refused, error.toString().left(300));
        return false;
    }
    *result = answer.value(QStringLiteral("result"));
    return true;
}

void AnkiConnect::onReply()
{
    QJsonValue result;
    if (step == Step::Idle || !readResult(&result))
        return;
    QList<int> all;
    switch (step) {
    case Step::Deck:
        for (int i = 0; i < sending.size(); ++i)
            all << i;
        request(Step::Check, QStringLiteral("canAddNotes"), { { QStringLiteral("notes"), notes(all) } });
        break;
    case Step::Check:
        checked(result.toArray());
        break;
    case Step::Add:
        for (const QJsonValue id : result.toArray())
            addedCount += id.isNull() ? 0 : 1;
        presentCount = sending.size() - addedCount;
        end(Error::None);
        break;
    case Step::Idle:
        break;
    }
}

void AnkiConnect::checked(const QJsonArray& answers)
{
    for (int i = 0; i < sending.size(); ++i)
        if (answers.at(i).toBool())
            addable << i;
    if (addable.isEmpty()) {
        presentCount = sending.size();
        end(Error::None);
        return;
    }
    request(Step::Add, QStringLiteral("addNotes"), { { QStringLiteral("notes"), notes(addable) } });
}

void AnkiConnect::end(Error why, const QString& detail)
{
    step = Step::Idle;
    failure = why;
    failureDetail = detail;
    emit finished();
}
