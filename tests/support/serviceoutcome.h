// A service client's one answer to a canned reply of an HttpTestServer, and the pieces the replies
// are written with.
#pragma once

#include "tests/support/httptestserver.h"

#include <QSignalSpy>
#include <QTest>

namespace ServiceOutcome {
inline QByteArray field(const QByteArray& name, const QByteArray& value)
{
    return "<field name=\"" + name + "\">" + value + "</field>";
}
// A whole reply whose root holds `inner`.
inline QByteArray result(const QByteArray& inner) { return HttpTestServer::reply("<result>" + inner + "</result>"); }

struct Outcome {
    QVariantList replied; // the arguments of the reply signal
    QString error; // the error text; "<n> outcomes" when there were not exactly one
};
// Serves `bytes` and waits for the outcome of what `ask` asks a new client.
template <typename Client, typename Reply, typename Ask>
Outcome ask(HttpTestServer& server, const QByteArray& bytes, Reply reply, Ask ask)
{
    server.respondWith(bytes);
    Client client;
    QSignalSpy replies(&client, reply);
    QSignalSpy errors(&client, &Client::errorMessage);
    ask(client);
    if (QTest::qWaitFor([&] { return !replies.isEmpty() || !errors.isEmpty(); }, 5000))
        QTest::qWait(20); // a second outcome would have come by now
    if (replies.count() + errors.count() != 1)
        return { {}, QString::number(replies.count() + errors.count()) + " outcomes" };
    return { replies.value(0), errors.value(0).value(0).toString() };
}
}
