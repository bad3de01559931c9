#include "web/externalactions.h"

#include "base/datapaths.h"
#include "base/diagnostics.h"
#include "pages/pageloader.h"
#include "services/serviceendpoint.h"
#include "web/engineurls.h"

#include <QDesktopServices>
#include <QDir>
#include <QUrl>

namespace {
const QString browserStarting = QStringLiteral("Lancio del browser predefinito in corso...");
const QString noBrowser = QStringLiteral("Nessun browser associato per eseguire l'azione richiesta.\n");
const QString mailStarting = QStringLiteral("Lancio del client email predefinito in corso...");
const QString noMailClient = QStringLiteral(
    "Nessun programma di posta elettronica associato per eseguire l'azione richiesta.\n"
    "Installare un programma di posta elettronica oppure, se il programma è già installato,\n"
    "creare un'associazione in Programmi predefiniti nel Pannello di controllo.");

// A page of the publisher's store, reached as the services are (https when TLS is chosen); the
// port is named when it is not the scheme's own.
QUrl storePage(const QString& pathAndQuery)
{
    ServiceEndpoint store = ServiceEndpoint::current();
    store.host = ServiceEndpoint::storeHost();
    return QUrl(store.base() + pathAndQuery, QUrl::TolerantMode);
}
}

ExternalActions::ExternalActions(QObject* parent)
    : QObject(parent)
{
}

void ExternalActions::reportOpened(bool opened, const QString& startMessage, const QString& failureText)
{
    if (opened)
        emit statusMessage(startMessage, 10000);
    else
        emit warning(failureText);
}

void ExternalActions::openExternally(const QUrl& url, const QString& startMessage, const QString& failureText)
{
    reportOpened(QDesktopServices::openUrl(url), startMessage, failureText);
}

void ExternalActions::mail(const QString& subject, const QString& text)
{
    openExternally(QUrl(QStringLiteral("mailto:?subject=") + subject + QStringLiteral("&body=") + text, QUrl::TolerantMode),
                   mailStarting, noMailClient);
}

void ExternalActions::purchase(const QString& sku, const QString& address, bool known)
{
    QUrl url(address, QUrl::TolerantMode);
    // The library names no purchase address: the store's own page for the dictionary serves.
    if (address.isEmpty() && known)
        url = storePage(QStringLiteral("/catalogsearch/result/?q=") + QString::fromLatin1(QUrl::toPercentEncoding(sku)));
    openExternally(url, browserStarting, noBrowser);
}

void ExternalActions::passwordLost()
{
    openExternally(storePage(QStringLiteral("/customer/account/forgotpassword/")), browserStarting, noBrowser);
}

void ExternalActions::createAccount()
{
    openExternally(storePage(QStringLiteral("/customer/account/create/")), browserStarting, noBrowser);
}

void ExternalActions::openOutside(const QUrl& url)
{
    if (url.scheme() == QLatin1String("mailto"))
        openExternally(url, mailStarting, noMailClient);
    else
        openExternally(url, browserStarting, noBrowser);
}

void ExternalActions::openLink(const QString& link)
{
    if (link.left(4) == QLatin1String("http") || link.startsWith(QLatin1String("mailto:"))) {
        // "httpx:" and the like would reach whatever the desktop runs for that scheme.
        const QUrl url(link, QUrl::TolerantMode);
        if (EngineUrls::isOutsideAddress(url))
            openOutside(url);
        else
            Diagnostics::debug("Link non valido %s", qPrintable(link));
        return;
    }
    if (!QDir(DataPaths::dataDirectory()).exists())
        return;
    // Only files of the engine are opened, never a path that climbs out of it.
    if (!PageLoader::isSafeRelativePath(link)) {
        Diagnostics::debug("Link non valido %s", qPrintable(link));
        return;
    }
    QString relative = link;
    relative.replace(QLatin1Char('/'), QDir::separator());
    const QString path = QDir::toNativeSeparators(DataPaths::engineDirectory()) + QDir::separator() + relative;
    const bool opened = QDesktopServices::openUrl(QUrl::fromLocalFile(path));
    Diagnostics::debug("Lancio file %s", qPrintable(path));
    reportOpened(opened, browserStarting, noBrowser);
}
