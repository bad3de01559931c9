// The desktop's search benchmark: on a generated dictionary of 200 000 entries (or the number
// given), the time from the shell's GetInitialResultSet call to its reply, and from the runner's
// Match call to its reply, as the desktop calls them on the session bus (a bus of the benchmark's
// own), for the first one to four letters of words spread over the dictionary; beside it, the
// same prefix searched directly (the statement on a connection of its own, no bus, no worker).
// Prints medians and 95th percentiles, and how many answers came complete; passes when every
// median is under 10 ms and every 95th percentile under 50 ms.
#include "base/appsettings.h"
#include "base/datapaths.h"
#include "bench/benchsupport.h"
#include "bench/syntheticbook.h"
#include "desktop/desktopbus.h"
#include "search/prefixsearch.h"
#include "tests/support/privatebus.h"
#include "store/webstore.h"

#include <QCoreApplication>
#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <cstdio>

namespace {
const QString sku = QStringLiteral("bench");

double percentile95(QVector<double> values)
{
    std::sort(values.begin(), values.end());
    return values.isEmpty() ? 0 : values.at(qMin(values.size() - 1, int(values.size() * 0.95)));
}

// The number of items in a reply's list: `as` arrives as a string list, a list of structures as a
// D-Bus argument to walk.
int countOf(const QVariant& value)
{
    if (value.userType() != qMetaTypeId<QDBusArgument>())
        return value.toStringList().size();
    const QDBusArgument list = value.value<QDBusArgument>();
    int count = 0;
    list.beginArray();
    for (; !list.atEnd(); ++count)
        list.asVariant();
    list.endArray();
    return count;
}

// Milliseconds from the call to its reply (-1 for an error), and the number of items answered.
double timedCall(QDBusConnection& client, const QString& path, const QString& interfaceAndMethod,
    const QVariant& argument, int* items)
{
    QDBusMessage call = QDBusMessage::createMethodCall(DesktopBus::serviceName(), path,
        interfaceAndMethod.section('.', 0, -2), interfaceAndMethod.section('.', -1));
    call << argument;
    QDBusMessage reply;
    const double ms = BenchSupport::millisecondsOf([&] { reply = client.call(call, QDBus::Block, 5000); });
    *items = countOf(reply.arguments().value(0));
    return reply.type() == QDBusMessage::ReplyMessage ? ms : -1;
}

void print(const char* label, const QVector<double>& times, int complete)
{
    std::printf("%-28s median %6.2f ms  p95 %6.2f ms  complete %d/%d\n", label, BenchSupport::median(times),
        percentile95(times), complete, int(times.size()));
}
}

int main(int argc, char* argv[])
{
    PrivateBus::enter(argc, argv);
    BenchSupport::prepareEnvironment();
    QCoreApplication app(argc, argv);
    BenchSupport::quietProgram();
    const int entries = BenchSupport::countArgument(argc, argv, 1, 200000);
    const int rounds = BenchSupport::countArgument(argc, argv, 2, 100);

    QVector<SearchQuery> queries;
    if (!SyntheticBook::build(DataPaths::booksDirectory() + '/' + sku, entries, rounds, &queries))
        return 1;
    // The dictionary as the library lists it once installed.
    QDir().mkpath(DataPaths::webStorageDirectory());
    WebStore store;
    if (!store.open())
        return BenchSupport::failed("the web database did not open"), 1;
    if (!store.exec("CREATE TABLE SYSTEM (ID INTEGER, REFBOOK TEXT, VARIABLE TEXT, VALUE TEXT)"))
        return BenchSupport::failed("the library table was not created"), 1;
    store.close();
    if (!SyntheticBook::install(sku, QStringLiteral("Dizionario di prova"), QStringLiteral("it")))
        return BenchSupport::failed("the dictionary was not recorded"), 1;

    DesktopBus bus;
    if (!bus.start())
        return BenchSupport::failed("the benchmark's own session bus did not take the name"), 1;
    QCoreApplication::processEvents(); // the bus delivers calls once this loop has run
    QDBusConnection client = QDBusConnection::connectToBus(QDBusConnection::SessionBus, QStringLiteral("desktop"));

    QVector<double> direct, shell, runner;
    int shellComplete = 0, runnerComplete = 0, directComplete = 0;
    for (int i = 0; i < queries.size(); ++i) {
        const QString prefix = queries.at(i).typed.left(1 + i % 4);
        QVector<PrefixSearch::Hit> hits;
        direct << BenchSupport::millisecondsOf([&] { hits = PrefixSearch::inBook({ sku, QString(), "it" }, prefix, 10); });
        directComplete += hits.size() == 10;
        int answered = 0;
        shell << timedCall(client, DesktopBus::searchProviderPath(),
            "org.gnome.Shell.SearchProvider2.GetInitialResultSet", QStringList { prefix }, &answered);
        shellComplete += answered == hits.size();
        runner << timedCall(client, DesktopBus::runnerPath(), "org.kde.krunner1.Match", prefix, &answered);
        runnerComplete += answered == hits.size();
    }
    std::printf("%d entries, %d prefixes of 1 to 4 letters\n", entries, int(queries.size()));
    print("direct statement", direct, directComplete);
    print("shell GetInitialResultSet", shell, shellComplete);
    print("runner Match", runner, runnerComplete);
    const bool pass = BenchSupport::median(shell) < 10 && BenchSupport::median(runner) < 10 && percentile95(shell) < 50
        && percentile95(runner) < 50 && !shell.contains(-1) && !runner.contains(-1);
    std::printf("%s (target: median under 10 ms, p95 under 50 ms)\n", pass ? "PASS" : "FAIL");
    BenchSupport::figure("desktop search, shell provider (median)", BenchSupport::median(shell), "ms",
        BenchSupport::median(direct), "the statement alone", QStringLiteral("< 10 ms"), BenchSupport::median(shell) < 10);
    BenchSupport::figure("desktop search, runner (p95)", percentile95(runner), "ms", -1, "", QStringLiteral("< 50 ms"),
        percentile95(runner) < 50);
    return pass ? 0 : 1;
}
