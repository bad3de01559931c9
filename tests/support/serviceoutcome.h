// A service client's one answer, and the pieces that canned replies of an HttpTestServer are
// written with.
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
// Waits for the outcome of what `ask` asks a new client.
template <typename Client, typename Reply, typename Ask> Outcome ask(Reply reply, Ask ask)
{
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
