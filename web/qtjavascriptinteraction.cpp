#include "web/qtjavascriptinteraction.h"

#include "app/datadirectory.h"
#include "app/dialogs.h"
#include "app/mainwindow.h"
#include "app/statusindicators.h"
#include "base/charnormalizer.h"
#include "base/datapaths.h"
#include "base/diagnostics.h"
#include "base/scriptliteral.h"
#include "search/resultliteral.h"
#include "search/scopelist.h"
#include "services/httpconnection.h"
#include "services/serviceendpoint.h"
#include "web/customagentwebview.h"
#include "web/engineurls.h"
#include "pages/entrycleaner.h"
#include "pages/pageloader.h"
#include "web/pageservices.h"
#include "web/scriptcall.h"
#include "web/webpage.h"

#include <QDesktopServices>
#include <QStatusBar>
#include <QUrl>
#include <QUrlQuery>
#include <QWebFrame>
#include <QWebPage>

static void warnDatabaseOpenFailed()
{
    Dialogs::warning(mainWindowInstance, QStringLiteral("Vocalume"), databaseOpenFailedText());
}

QtJavascriptInteraction::QtJavascriptInteraction(QObject* parent)
    : QObject(parent)
{
    services = new PageServices(this);
    services->followDownloads(&downloads.inProgress());
    connect(&downloads, &DownloadService::pageStatement, this, &QtJavascriptInteraction::callPage);
    // The dictionary just installed is the one open for reading.
    connect(&downloads, &DownloadService::bookInstalled, this, [this](const QString& id) {
        bookId = id;
        Diagnostics::debug("goToReading bookID %s", qPrintable(bookId));
    });
    connect(services, &PageServices::pageStatement, this, &QtJavascriptInteraction::callPage);
    connect(&searchService, &SearchService::pageStatement, this, &QtJavascriptInteraction::callPage);
    connect(&searchService, &SearchService::databaseOpenFailed, this, &warnDatabaseOpenFailed);
    connect(&searchService, &SearchService::working, this, &QtJavascriptInteraction::showWorking);
    connect(&searchService, &SearchService::workingEnded, this, &QtJavascriptInteraction::hideWorking);
}

QtJavascriptInteraction::~QtJavascriptInteraction() = default;

void QtJavascriptInteraction::attach(CustomAgentWebView* webView)
{
    view = webView;
    frame = view->page()->mainFrame();
    attachObject();
    connect(frame, &QWebFrame::javaScriptWindowObjectCleared, this, &QtJavascriptInteraction::attachObject);
    if (webPage* page = qobject_cast<webPage*>(view->page()))
        connect(page, &webPage::externalLinkClicked, this, &QtJavascriptInteraction::openOutside);
}

void QtJavascriptInteraction::attachObject()
{
    // The bridge can delete the user's data: no document but the engine's own pages may hold it.
    if (!EngineUrls::isEnginePage(frame->url())) {
        Diagnostics::debug("Oggetti non pubblicati in %s", qPrintable(frame->url().toString()));
        return;
    }
    frame->addToJavaScriptWindowObject(QStringLiteral("QtJavascriptInteraction"), this);
    frame->addToJavaScriptWindowObject(QStringLiteral("VocalumeNative"), services);
}

void QtJavascriptInteraction::callPage(const QString& statement)
{
    ScriptCall::run(view, statement);
}

void QtJavascriptInteraction::parsePageParameters(const QString& query)
{
    Diagnostics::debug("Parametri: %s", qPrintable(query));
    pageParameters.clear();
    if (query.isEmpty())
        return;
    for (const QString& part : query.split(QLatin1Char('&'))) {
        const QStringList pieces = part.split(QLatin1Char('='));
        const QString name = pieces.value(0);
        const QString value = pieces.value(1);
        pageParameters[name] = value;
        if (name == QLatin1String("idbook"))
            bookId = value;
    }
}

void QtJavascriptInteraction::setUsernamePassword(QString username, QString password, QString callback)
{
    Diagnostics::debug("setUsernamePassword\n");
    loginCallback = callback;
    mainWindowInstance->startLogin(username, password);
}

// The package of book `id` in the engine's books folder, unpacked when the book is first opened.
static QString bookPackage(const QDir& engine, const QString& id)
{
    return DataPaths::packageFile(engine.absoluteFilePath(DataPaths::booksName() + QLatin1Char('/') + id));
}

QString QtJavascriptInteraction::getHtmlPage(QString page)
{
    Diagnostics::debug("Javascript getHtmlPage page: %s", qPrintable(page));
    QDir engine;
    if (!existingEngineDirectory(engine))
        return QString();
    if (!PageLoader::isSafeRelativePath(page))
        return QString();
    const QString base = engine.absolutePath() + QLatin1Char('/') + page;
    const bool pageFile = page.endsWith(QLatin1String(".html")) || page.endsWith(QLatin1String(".js"));
    const QString wanted = pageFile ? base + QStringLiteral(".zip") : base;
    if (!QFile::exists(wanted)) {
        const int first = page.indexOf(QLatin1Char('/'));
        const int second = first < 0 ? -1 : page.indexOf(QLatin1Char('/'), first + 1);
        if (second < 0)
            return QString();
        const QString id = page.mid(first + 1, second - first - 1);
        Diagnostics::debug("Estratto book id: %s", qPrintable(id));
        const QString archive = bookPackage(engine, id);
        if (!QFile::exists(archive))
            return QString();
        mainWindowInstance->goToReading(archive, id);
    }
    QByteArray bytes;
    if (pageFile) {
        if (!PageLoader::readArchive(base + QStringLiteral(".zip"), PageLoader::lastComponent(page), &bytes)) {
            Diagnostics::debug("Errori nella decompressione del file htlm %s", qPrintable(base));
            return QString();
        }
    } else if (!PageLoader::readWholeFile(base, &bytes)) {
        return QString();
    }
    return PageLoader::inlineScripts(engine, QString::fromUtf8(bytes), true);
}

void QtJavascriptInteraction::getHtmlFixedPage(QString page, QString params)
{
    Diagnostics::debug("Javascript getHtmlFixedPage page: %s params: %s", qPrintable(page), qPrintable(params));
    QDir engine;
    if (!existingEngineDirectory(engine))
        return;
    const QString base = engine.absolutePath() + QLatin1Char('/') + page;
    QByteArray bytes;
    if (!PageLoader::isSafeRelativePath(page)
        || !PageLoader::readArchive(base + QStringLiteral(".zip"), PageLoader::lastComponent(page), &bytes)) {
        Diagnostics::debug("Errori nel caricamento del file htlm %s", qPrintable(base));
        return;
    }
    const QString localPath = engine.absoluteFilePath(page) + QLatin1Char('?') + params;
    const QUrl baseUrl = QUrl::fromLocalFile(localPath);
    Diagnostics::debug("Loading %s", qPrintable(localPath));
    parsePageParameters(params);
    Diagnostics::debug("Parametro book id: %s", qPrintable(bookId));
    mainWindowInstance->goToReading(bookPackage(engine, bookId), bookId);
    view->setHtml(PageLoader::inlineScripts(engine, QString::fromUtf8(bytes)), baseUrl);
}

QString QtJavascriptInteraction::getBookID()
{
    Diagnostics::debug("Javascript getBookID %s", qPrintable(bookId));
    return bookId;
}

QString QtJavascriptInteraction::getLink()
{
    return link;
}

QString QtJavascriptInteraction::getPath()
{
    return path;
}

QString QtJavascriptInteraction::getCallbackLogin()
{
    return loginCallback;
}

QString QtJavascriptInteraction::getCallbackDownload()
{
    return downloadCallback;
}

bool QtJavascriptInteraction::getIsSyncronizing()
{
    return syncing;
}

QString QtJavascriptInteraction::getParameter(QString param)
{
    const QString value = pageParameters.value(param);
    Diagnostics::debug("Javascript getParameter %s value: %s", qPrintable(param), qPrintable(value));
    return value;
}

namespace {
const QString browserStarting = QStringLiteral("Lancio del browser predefinito in corso...");
const QString noBrowser = QStringLiteral("Nessun browser associato per eseguire l'azione richiesta.\n");
const QString mailStarting = QStringLiteral("Lancio del client email predefinito in corso...");
const QString noMailClient = QStringLiteral(
    "Nessun programma di posta elettronica associato per eseguire l'azione richiesta.\n"
    "Installare un programma di posta elettronica oppure, se il programma è già installato,\n"
    "creare un'associazione in Programmi predefiniti nel Pannello di controllo.");

// Tells the user whether the desktop's default application is being started.
void reportOpened(bool opened, const QString& startMessage, const QString& failureText)
{
    if (opened)
        mainWindowInstance->statusBar()->showMessage(startMessage, 10000);
    else
        Dialogs::warning(nullptr, QtJavascriptInteraction::tr("Vocalume"), failureText);
}

void openExternally(const QUrl& url, const QString& startMessage, const QString& failureText)
{
    reportOpened(QDesktopServices::openUrl(url), startMessage, failureText);
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

void QtJavascriptInteraction::cancelDownload()
{
    Diagnostics::debug("cancel download %s", qPrintable(currentDownloadSku));
    downloads.cancelDownload(currentDownloadSku);
}

void QtJavascriptInteraction::mail(QString subject, QString text)
{
    openExternally(QUrl(QStringLiteral("mailto:?subject=") + subject + QStringLiteral("&body=") + text, QUrl::TolerantMode),
                   mailStarting, noMailClient);
}

void QtJavascriptInteraction::download(QString sku, QString callback)
{
    currentDownloadSku = sku;
    Diagnostics::debug("Javascript download %s", qPrintable(sku));
    downloadCallback = callback;
    downloads.download(sku, callback, mainWindowInstance->libraryBooks);
}

void QtJavascriptInteraction::purchase(QString sku)
{
    QString address = mainWindowInstance->getBookField(sku, QStringLiteral("buy"));
    // The library names no purchase address: the store's own page for the dictionary serves.
    const bool known = !mainWindowInstance->getBookField(sku, QStringLiteral("bookId")).isEmpty();
    QUrl url(address, QUrl::TolerantMode);
    if (address.isEmpty() && known)
        url = storePage(QStringLiteral("/catalogsearch/result/?q=") + QString::fromLatin1(QUrl::toPercentEncoding(sku)));
    openExternally(url, browserStarting, noBrowser);
}

void QtJavascriptInteraction::passwordLost()
{
    openExternally(storePage(QStringLiteral("/customer/account/forgotpassword/")), browserStarting, noBrowser);
}

void QtJavascriptInteraction::createAccount()
{
    openExternally(storePage(QStringLiteral("/customer/account/create/")), browserStarting, noBrowser);
}

void QtJavascriptInteraction::synchronize()
{
    syncing = true;
    mainWindowInstance->startSync();
}

void QtJavascriptInteraction::onLogout()
{
    mainWindowInstance->logout();
}

void QtJavascriptInteraction::loadUrl(QString url)
{
    Diagnostics::debug("loadURL: URL %s", url.toUtf8().constData());
    QDir engine;
    if (!existingEngineDirectory(engine))
        return;
    const QStringList pieces = url.split(QLatin1Char('?'));
    const QString page = pieces.first();
    const QString base = engine.absolutePath() + QLatin1Char('/') + page;
    QByteArray bytes;
    if (!PageLoader::isSafeRelativePath(page)
        || !PageLoader::readArchive(base + QStringLiteral(".zip"), page, &bytes)) {
        mainWindowInstance->statusBar()->showMessage(QStringLiteral("Errore nell'apertura del file"), 2000);
        Dialogs::warning(mainWindowInstance, tr("Vocalume"), QStringLiteral("Si sono verificati errori aprendo il file ") + base);
        return;
    }
    const QString text = PageLoader::inlineScripts(engine, QString::fromUtf8(bytes));
    pageParameters.clear();
    if (pieces.size() > 1)
        parsePageParameters(pieces.at(1));
    QUrl baseUrl = QUrl::fromLocalFile(base);
    baseUrl.setQuery(QUrl(url).query());
    view->setHtml(text, baseUrl);
    Diagnostics::debug("webview->setHtml => loadURL: %s", qPrintable(baseUrl.toString()));
}

void QtJavascriptInteraction::showWorking(const QString& message)
{
    if (!mainWindowInstance)
        return;
    mainWindowInstance->statusBar()->showMessage(message);
    mainWindowInstance->showBusyIndicator();
}

void QtJavascriptInteraction::hideWorking()
{
    if (!mainWindowInstance)
        return;
    mainWindowInstance->hideBusyIndicator();
    mainWindowInstance->statusBar()->showMessage(QString());
}

void QtJavascriptInteraction::getWords(QString sku, QString word, QString from, QString to, QString sourceLanguage,
                                       QString callback)
{
    searchService.getWords(Analitic::Request{word, from, to, sku, callback, sourceLanguage});
}

void QtJavascriptInteraction::search(QString sku, QString word, QString type, QString scope, QString start,
                                     QString offset, QString sourceLanguage, QString callback)
{
    Diagnostics::debug("Javascript search\n");
    searchService.search(Search::Request{word, scope, type, sku, start, offset, sourceLanguage, callback});
}

// Kept for the page, which sees every public slot. The end of a request reaches the search
// service from its own worker only, so a call from the page does nothing.
void QtJavascriptInteraction::onSearchTerminated() {}

void QtJavascriptInteraction::onAnaliticTerminated() {}

bool QtJavascriptInteraction::readBookFile(const QString& sku, const QString& file, QString* text, QString* archivePath)
{
    const QDir engine = engineDirectory();
    *archivePath = engine.absolutePath() + QStringLiteral("/books/") + sku + QLatin1Char('/') + file;
    QByteArray bytes;
    const bool safe = DataPaths::isPlainName(sku) && PageLoader::isSafeRelativePath(file);
    if (!safe || !PageLoader::readArchive(*archivePath + QStringLiteral(".zip"), PageLoader::lastComponent(file), &bytes))
        return false;
    *text = QString::fromUtf8(bytes);
    return true;
}

static bool engineExists()
{
    QDir engine;
    return existingEngineDirectory(engine);
}

static QString htmlLiteral(const QString& text)
{
    return QStringLiteral("{html:'") + QString::fromLatin1(QUrl::toPercentEncoding(text)) + QStringLiteral("'}");
}

void QtJavascriptInteraction::getHtml(QString sku, QString id, QString file, QString callback)
{
    Diagnostics::debug("Javascript getHTML\n");
    if (!engineExists())
        return;
    QString text;
    QString archivePath;
    if (!readBookFile(sku, file, &text, &archivePath)) {
        Diagnostics::debug("Errori nella decompressione del file htlm %s", qPrintable(archivePath));
        return;
    }
    // Entries come from the package: the page gets them cleaned.
    const QString entry = EntryCleaner::clean(PageLoader::extractDivById(id, text));
    callPage(ScriptLiteral::doubleQuoted(callback, htmlLiteral(entry)));
}

void QtJavascriptInteraction::getScopes(QString sku, QString callback)
{
    Diagnostics::debug("getScopes callback: %s", qPrintable(callback));
    QList<Scope> scopes;
    if (mainWindowInstance && readScopes(mainWindowInstance->db, sku, scopes) == DatabaseAccess::OpenFailed)
        warnDatabaseOpenFailed();
    const QString statement = ScriptLiteral::doubleQuoted(callback, ResultLiteral::scopes(scopes));
    callPage(statement);
    Diagnostics::debug("Risposta getScopes: %s", statement.toUtf8().constData());
}

QString QtJavascriptInteraction::getNormalized(QString languageId, QString in)
{
    return normalizeText(languageId, in);
}

void QtJavascriptInteraction::getFile(QString sku, QString file, QString callback)
{
    Diagnostics::debug("Javascript getFile sku %s file %s", sku.toUtf8().constData(), file.toUtf8().constData());
    if (!engineExists())
        return;
    QString text;
    QString archivePath;
    if (!readBookFile(sku, file, &text, &archivePath)) {
        Diagnostics::debug("Errori nella decompressione del file htlm %s", qPrintable(archivePath));
        callPage(ScriptLiteral::doubleQuoted(callback, QString()));
        return;
    }
    callPage(ScriptLiteral::doubleQuoted(callback, htmlLiteral(text)));
}

bool QtJavascriptInteraction::isXP()
{
    return false;
}

void QtJavascriptInteraction::openOutside(const QUrl& url)
{
    if (url.scheme() == QLatin1String("mailto"))
        openExternally(url, mailStarting, noMailClient);
    else
        openExternally(url, browserStarting, noBrowser);
}

void QtJavascriptInteraction::openLink(QString link)
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
    QDir data(QDir::homePath());
    if (!data.cd(DataPaths::dataDirectoryName()))
        return;
    // Only files of the engine are opened, never a path that climbs out of it.
    if (!PageLoader::isSafeRelativePath(link)) {
        Diagnostics::debug("Link non valido %s", qPrintable(link));
        return;
    }
    QString relative = link;
    relative.replace(QLatin1Char('/'), QDir::separator());
    const QString path = data.absolutePath() + QDir::separator() + DataPaths::engineName() + QDir::separator() + relative;
    const bool opened = QDesktopServices::openUrl(QUrl::fromLocalFile(path));
    Diagnostics::debug("Lancio file %s", qPrintable(path));
    reportOpened(opened, browserStarting, noBrowser);
}
