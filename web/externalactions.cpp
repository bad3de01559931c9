#include "web/externalactions.h"

#include "base/datapaths.h"
#include "base/diagnostics.h"
#include "pages/pageloader.h"
#include "services/serviceendpoint.h"
#include "web/engineurls.h"

#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QUrl>
#include <QUrlQuery>

namespace {
const QString browserStarting = QStringLiteral("Lancio del browser predefinito in corso...");
const QString noBrowser = QStringLiteral("Nessun browser associato per eseguire l'azione richiesta.\n");
const QString mailStarting = QStringLiteral("Lancio del client email predefinito in corso...");
const QString noMailClient = QStringLiteral(
    "Nessun programma di posta elettronica associato per eseguire l'azione richiesta.\n"
    "Installare un programma di posta elettronica oppure, se il programma è già installato,\n"
    "creare un'associazione in Programmi predefiniti nel Pannello di controllo.");

// What a mail address may ask of the mail client: a message's subject, text and copies, never a
// file to attach (a link of a dictionary could attach the user's data).
QUrl messageOnly(const QUrl& mail)
{
    static const QStringList allowed { QStringLiteral("subject"), QStringLiteral("body"), QStringLiteral("cc"),
        QStringLiteral("bcc") };
    QUrlQuery kept;
    for (const auto& item : QUrlQuery(mail).queryItems(QUrl::FullyEncoded))
        if (allowed.contains(item.first.toLower()))
            kept.addQueryItem(item.first, item.second);
    QUrl out = mail;
    out.setQuery(kept.isEmpty() ? QString() : kept.query(QUrl::FullyEncoded), QUrl::StrictMode);
    if (kept.isEmpty())
        out.setQuery(QString());
    return out;
}

// Files of the engine and of the packages are opened only when they are documents the user
// expects to read, look at or hear: a page, a program or a script would run or imitate the
// program outside it.
bool isDocument(const QString& path)
{
    static const QStringList kinds { QStringLiteral("pdf"), QStringLiteral("txt"), QStringLiteral("png"),
        QStringLiteral("jpg"), QStringLiteral("jpeg"), QStringLiteral("gif"), QStringLiteral("bmp"),
        QStringLiteral("webp"), QStringLiteral("tif"), QStringLiteral("tiff"), QStringLiteral("mp3"),
        QStringLiteral("ogg"), QStringLiteral("oga"), QStringLiteral("opus"), QStringLiteral("wav"),
        QStringLiteral("flac"), QStringLiteral("m4a"), QStringLiteral("aac"), QStringLiteral("mp4"),
        QStringLiteral("m4v"), QStringLiteral("webm"), QStringLiteral("ogv"), QStringLiteral("mkv"),
        QStringLiteral("avi"), QStringLiteral("mov") };
    return kinds.contains(QFileInfo(path).suffix().toLower());
}

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
        openExternally(messageOnly(url), mailStarting, noMailClient);
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
    if (!isDocument(link)) {
        Diagnostics::debug("Link a un file che non si apre %s", qPrintable(link));
        emit statusMessage(QStringLiteral("«%1» non viene aperto: da un dizionario si aprono solo documenti PDF, "
                                          "testi, immagini, audio e video.")
                               .arg(QFileInfo(link).fileName()),
            10000);
        return;
    }
    QString relative = link;
    relative.replace(QLatin1Char('/'), QDir::separator());
    const QString path = QDir::toNativeSeparators(DataPaths::engineDirectory()) + QDir::separator() + relative;
    const bool opened = QDesktopServices::openUrl(QUrl::fromLocalFile(path));
    Diagnostics::debug("Lancio file %s", qPrintable(path));
    reportOpened(opened, browserStarting, noBrowser);
}
