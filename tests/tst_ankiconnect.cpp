// Cards sent to Anki through AnkiConnect, against a fake add-on on a port of the test's own.
#include "services/ankiconnect.h"
#include "tests/support/httptestserver.h"
#include "tests/support/testsupport.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace {
const QString unreachable = QStringLiteral("Anki non risponde: avvia Anki con il componente AnkiConnect e riprova.");

QByteArray answer(const QJsonValue& result, const QJsonValue& error = QJsonValue::Null)
{
    return HttpTestServer::reply(QJsonDocument(QJsonObject { { "result", result }, { "error", error } }).toJson(), 200,
                                 "Content-Type: application/json\r\n");
}

FlashCards threeCards()
{
    return { { "id-0", "front 0", "back 0", { "vocalume" } },
             { "id-1", "front 1", "back 1", { "vocalume", "nota" } },
             { "id-2", "front 2", "back 2", { "vocalume" } } };
}

// A fake add-on: the deck is made, canAddNotes answers `addable`, addNotes gives every note an id.
struct FakeAnki {
    explicit FakeAnki(const QVariantList& addable)
    {
        server.respond([this, addable](const QByteArray&) {
            const QJsonObject request = QJsonDocument::fromJson(server.bodies.last()).object();
            const QString action = request.value("action").toString();
            actions << action;
            requests << request;
            if (action == "canAddNotes")
                return HttpTestServer::Answer(answer(QJsonArray::fromVariantList(addable)));
            if (action == "addNotes") {
                QJsonArray ids;
                for (int i = 0; i < request.value("params").toObject().value("notes").toArray().size(); ++i)
                    ids.append(1000 + i);
                return HttpTestServer::Answer(answer(ids));
            }
            return HttpTestServer::Answer(answer(1));
        });
    }
    // The fronts of the notes of the last request of `action`.
    QStringList fronts(const QString& action) const
    {
        QStringList out;
        for (const QJsonObject& request : requests)
            if (request.value("action").toString() == action) {
                out.clear();
                for (const QJsonValue note : request.value("params").toObject().value("notes").toArray())
                    out << note.toObject().value("fields").toObject().value("Front").toString();
            }
        return out;
    }
    HttpTestServer server;
    QStringList actions;
    QList<QJsonObject> requests;
};

bool sendAndWait(AnkiConnect* anki, const FlashCards& cards)
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
        QTest::addColumn<QStringList>("actions");
        QTest::addColumn<QStringList>("added");
        QTest::addColumn<int>("present");
        const QStringList all { "createDeck", "canAddNotes", "addNotes" };
        QTest::newRow("all new") << QVariantList { true, true, true } << all << QStringList { "front 0", "front 1", "front 2" } << 0;
        QTest::newRow("one present") << QVariantList { true, false, true } << all << QStringList { "front 0", "front 2" } << 1;
        QTest::newRow("all present") << QVariantList { false, false, false } << QStringList { "createDeck", "canAddNotes" }
                                     << QStringList() << 3;
    }

    void addsOnlyWhatAnkiTakes()
    {
        QFETCH(QVariantList, addable);
        QFETCH(QStringList, actions);
        QFETCH(QStringList, added);
        QFETCH(int, present);
        FakeAnki fake(addable);
        AnkiConnect anki;
        anki.setPort(fake.server.port());
        QVERIFY(sendAndWait(&anki, threeCards()));
        QCOMPARE(anki.error(), AnkiConnect::Error::None);
        QCOMPARE(fake.actions, actions);
        QCOMPARE(fake.fronts("canAddNotes"), QStringList({ "front 0", "front 1", "front 2" }));
        QCOMPARE(fake.fronts("addNotes"), added);
        QCOMPARE(anki.added(), added.size());
        QCOMPARE(anki.present(), present);
        QCOMPARE(fake.requests.first().value("params").toObject().value("deck").toString(), QString("Vocalume"));
        for (const QJsonObject& request : fake.requests)
            QCOMPARE(request.value("version").toInt(), 6);
    }

    // Each note names the deck, the note type, both sides, its tags and refuses duplicates.
    void notesCarryTheCard()
    {
        FakeAnki fake({ true, true, true });
        AnkiConnect anki;
        anki.setPort(fake.server.port());
        QVERIFY(sendAndWait(&anki, threeCards()));
        const QJsonObject note = fake.requests.last().value("params").toObject().value("notes").toArray().at(1).toObject();
        QCOMPARE(note.value("deckName").toString(), QString("Vocalume"));
        QCOMPARE(note.value("modelName").toString(), QString("Basic"));
        QCOMPARE(note.value("fields").toObject().value("Back").toString(), QString("back 1"));
        QCOMPARE(note.value("tags").toArray(), QJsonArray({ "vocalume", "nota" }));
        QCOMPARE(note.value("options").toObject().value("allowDuplicate").toBool(true), false);
    }

    void failuresAreTold_data()
    {
        QTest::addColumn<QByteArray>("reply");
        QTest::addColumn<int>("error");
        QTest::addColumn<QString>("text");
        QTest::newRow("error reply") << answer(QJsonValue::Null, "model was not found: Basic") << int(AnkiConnect::Error::Refused)
                                     << "Anki non ha accettato le schede (model was not found: Basic)";
        QTest::newRow("not the add-on") << HttpTestServer::reply("<html>ciao</html>") << int(AnkiConnect::Error::Unreachable)
                                        << unreachable;
        QTest::newRow("server error") << HttpTestServer::reply("{}", 500) << int(AnkiConnect::Error::Unreachable) << unreachable;
    }

    void failuresAreTold()
    {
        QFETCH(QByteArray, reply);
        QFETCH(int, error);
        QFETCH(QString, text);
        HttpTestServer server;
        server.respondWith(reply);
        AnkiConnect anki;
        anki.setPort(server.port());
        QVERIFY(sendAndWait(&anki, threeCards()));
        QCOMPARE(int(anki.error()), error);
        QVERIFY2(anki.errorString().startsWith(text), qPrintable(anki.errorString()));
        QCOMPARE(server.targets.size(), 1);
        QCOMPARE(anki.added(), 0);
    }

    void noAnkiIsTold()
    {
        quint16 port = 0;
        {
            HttpTestServer closed;
            port = closed.port();
        }
        AnkiConnect anki;
        anki.setPort(port);
        QVERIFY(sendAndWait(&anki, threeCards()));
        QCOMPARE(anki.error(), AnkiConnect::Error::Unreachable);
        QCOMPARE(anki.errorString(), unreachable);
    }

    // A second sending while one is under way is refused, and the first one still ends.
    void oneSendingAtATime()
    {
        FakeAnki fake({ true, true, true });
        AnkiConnect anki;
        anki.setPort(fake.server.port());
        QSignalSpy finished(&anki, &AnkiConnect::finished);
        QVERIFY(anki.send(threeCards(), "Vocalume"));
        QVERIFY(!anki.send(threeCards(), "Vocalume"));
        QVERIFY(finished.wait(20000));
        QCOMPARE(fake.actions, QStringList({ "createDeck", "canAddNotes", "addNotes" }));
        QCOMPARE(anki.added(), 3);
    }
};

VOCALUME_TEST_MAIN(TestAnkiConnect)
#include "tst_ankiconnect.moc"
