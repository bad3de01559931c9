#include "desktop/desktopbus.h"

#include "base/diagnostics.h"
#include "desktop/desktoprequests.h"
#include "desktop/headwordqueries.h"
#include "desktop/krunnerprovider.h"
#include "desktop/shellsearchprovider.h"

#include <QDBusConnectionInterface>
#include <QDBusMetaType>

DesktopBus::DesktopBus(QObject* parent)
    : QObject(parent)
    , objects(new QObject)
    , connection(QString())
{
    KRunnerProvider::registerTypes();
    qDBusRegisterMetaType<QList<QVariantMap>>();
    auto* queries = new HeadwordQueries(objects.data());
    requests = new DesktopRequests(objects.data());
    shell = new ShellSearchProvider(queries, objects.data());
    runner = new KRunnerProvider(queries, objects.data());
    connect(requests, &DesktopRequests::lookUpWanted, this, &DesktopBus::lookUpWanted);
    connect(requests, &DesktopRequests::selectionLookUpWanted, this, &DesktopBus::selectionLookUpWanted);
    connect(shell, &ShellSearchProvider::lookUpWanted, this, &DesktopBus::lookUpWanted);
    connect(shell, &ShellSearchProvider::entryWanted, this, &DesktopBus::entryWanted);
    connect(runner, &KRunnerProvider::entryWanted, this, &DesktopBus::entryWanted);
    connect(queries, &HeadwordQueries::asked, this, &DesktopBus::used);
    thread.setObjectName(QStringLiteral("desktop bus"));
    objects->moveToThread(&thread);
    thread.start();
}

DesktopBus::~DesktopBus()
{
    if (named)
        connection.unregisterService(serviceName());
    for (const QString& path : { objectPath(), searchProviderPath(), runnerPath() })
        connection.unregisterObject(path);
    // Deleted on their own thread as it ends, with their timers; the searches still running are
    // waited for there.
    objects.take()->deleteLater();
    thread.quit();
    thread.wait();
}

bool DesktopBus::start(const QDBusConnection& bus)
{
    connection = bus;
    if (!connection.isConnected()) {
        Diagnostics::warning("Bus di sessione non disponibile: %s", qPrintable(connection.lastError().message()));
        return false;
    }
    const auto exported = QDBusConnection::ExportAllSlots;
    const bool registered = connection.registerObject(objectPath(), requests, exported)
        && connection.registerObject(searchProviderPath(), shell, exported)
        && connection.registerObject(runnerPath(), runner, exported);
    named = registered && connection.registerService(serviceName());
    if (!named)
        Diagnostics::warning("Impossibile offrire %s sul bus di sessione: %s", qPrintable(serviceName()),
            qPrintable(connection.lastError().message()));
    return named;
}
