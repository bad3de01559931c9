// Cards sent to Anki through AnkiConnect, against a fake add-on on a port of the test's own.
#include "services/ankiconnect.h"
#include "tests/support/httptestserver.h"
#include "tests/support/testsupport.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace {
const QString unreachable = QStringLiteral("Anki non risponde: avvia Anki con il componente AnkiConnect e riprova.");
const FlashCards cards { { "id-0", "front 0", "back 0", { "vocalume" } },
    { "id-1", "front 1", "back 1", { "vocalume", "nota" } }, { "id-2", "front 2", "back 2", { "vocalume" } } };

QByteArray answer(const QJsonValue& result, const QJsonValue& error = QJsonValue::Null)
{
    return HttpTestServer::reply(QJsonDocument(QJsonObject { { "result", result }, { "error", error } }).toJson());
}

QJsonArray notesOf(const QJsonObject& request) { return request.value("params").toObject().value("notes").toArray(); }

// A fake add-on: canAddNotes answers `addable`, addNotes gives every note an id, the rest 1.
struct FakeAnki {
    explicit FakeAnki(const QVariantList& addable)
    {
        server.respond([this, addable](const QByteArray&) {
            requests << QJsonDocument::fromJson(server.bodies.last()).object();
            const QString action = requests.last().value("action").toString();
            QJsonArray ids;
            for (int i = 0; i < notesOf(requests.last()).size(); ++i)
                ids.append(1000 + i);
            return HttpTestServer::Answer(answer(action == "canAddNotes" ? QJsonArray::fromVariantList(addable)
                    : action == "addNotes"                               ? QJsonValue(ids)
                                                                         : QJsonValue(1)));
        });
    }
    QStringList actions() const
    {
        QStringList out;
        for (const QJsonObject& request : requests)
            out << request.value("action").toString();
        return out;
    }
    HttpTestServer server;
    QList<QJsonObject> requests;
};

bool sendAndWait(AnkiConnect* anki)
{
    QSignalSpy finished(anki, &AnkiConnect::finished);
    return anki->send(cards, "Vocalume") && (finished.count() == 1 || finished.wait(20000)) && finished.count() == 1;
}
}

class TestAnkiConnect : public QObject {
    Q_OBJECT
private slots:
    void init() { TestSupport::resetHome(); }

    void addsOnlyWhatAnkiTakes_data()
    {
        QTest::addColumn<QVariantList>("addable");
        QTest::addColumn<QStringList>("added");
        QTest::newRow("all new") << QVariantList { true, true, true }
                                 << QStringList { "front 0", "front 1", "front 2" };
        QTest::newRow("one present") << QVariantList { true, false, true } << QStringList { "front 0", "front 2" };
        QTest::newRow("all present") << QVariantList { false, false, false } << QStringList();
    }

    // The deck is made, every card asked about, only those Anki takes added; each request is of
    // the protocol's version 6 and each note names the deck, the type, both sides and its tags.
    void addsOnlyWhatAnkiTakes()
    {
        QFETCH(QVariantList, addable);
        QFETCH(QStringList, added);
        FakeAnki fake(addable);
        AnkiConnect anki;
        anki.setPort(fake.server.port());
        QVERIFY(sendAndWait(&anki));
        QCOMPARE(anki.error(), AnkiConnect::Error::None);
        QCOMPARE(
            fake.actions(), QStringList({ "createDeck", "canAddNotes", "addNotes" }).mid(0, added.isEmpty() ? 2 : 3));
        QCOMPARE(fake.requests.first().value("params").toObject().value("deck").toString(), QString("Vocalume"));
        QCOMPARE(notesOf(fake.requests.at(1)).size(), cards.size());
        QStringList fronts;
        for (const QJsonValue note : notesOf(fake.requests.last()))
            fronts << note.toObject().value("fields").toObject().value("Front").toString();
        QCOMPARE(added.isEmpty() ? QStringList() : fronts, added);
        QCOMPARE(anki.added(), added.size());
        QCOMPARE(anki.present(), cards.size() - added.size());
        for (const QJsonObject& request : fake.requests)
            QCOMPARE(request.value("version").toInt(), 6);
        const QJsonObject note = notesOf(fake.requests.at(1)).at(1).toObject();
        QCOMPARE(
            note.value("deckName").toString() + ' ' + note.value("modelName").toString(), QString("Vocalume Basic"));
        QCOMPARE(note.value("fields").toObject().value("Back").toString(), QString("back 1"));
        QCOMPARE(note.value("tags").toArray(), QJsonArray({ "vocalume", "nota" }));
        QCOMPARE(note.value("options").toObject().value("allowDuplicate").toBool(true), false);
    }

    void failuresAreTold_data()
    {
        QTest::addColumn<QByteArray>("reply"); // empty: no server on the port
        QTest::addColumn<int>("error");
        QTest::addColumn<QString>("text");
        QTest::newRow("error reply") << answer(QJsonValue::Null, "model was not found: Basic")
                                     << int(AnkiConnect::Error::Refused)
                                     << "Anki non ha accettato le schede (model was not found: Basic)";
        QTest::newRow("not the add-on") << HttpTestServer::reply("<html>ciao</html>")
                                        << int(AnkiConnect::Error::Unreachable) << unreachable;
        QTest::newRow("server error") << HttpTestServer::reply("{}", 500) << int(AnkiConnect::Error::Unreachable)
                                      << unreachable;
        QTest::newRow("no server") << QByteArray() << int(AnkiConnect::Error::Unreachable) << unreachable;
    }

    void failuresAreTold()
    {
        QFETCH(QByteArray, reply);
        QFETCH(int, error);
        QFETCH(QString, text);
        QScopedPointer<HttpTestServer> server(new HttpTestServer);
        server->respondWith(reply);
        AnkiConnect anki;
        anki.setPort(server->port());
        if (reply.isEmpty())
            server.reset();
        QVERIFY(sendAndWait(&anki));
        QCOMPARE(int(anki.error()), error);
        QVERIFY2(anki.errorString().startsWith(text), qPrintable(anki.errorString()));
        QCOMPARE(anki.added(), 0);
        QVERIFY(!server || server->targets.size() == 1);
    }

    // A second sending while one is under way is refused, and the first one still ends.
    void oneSendingAtATime()
    {
        FakeAnki fake({ true, true, true });
        AnkiConnect anki;
        anki.setPort(fake.server.port());
        QSignalSpy finished(&anki, &AnkiConnect::finished);
        QVERIFY(anki.send(cards, "Vocalume"));
        QVERIFY(!anki.send(cards, "Vocalume"));
        QVERIFY(finished.wait(20000));
        QCOMPARE(anki.added(), 3);
        QCOMPARE(fake.requests.size(), 3);
    }
};

VOCALUME_TEST_MAIN(TestAnkiConnect)
#include "tst_ankiconnect.moc"
