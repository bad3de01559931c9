#include "web/qtjavascriptinteraction.h"

#include "base/charnormalizer.h"
#include "base/diagnostics.h"
#include "base/scriptliteral.h"
#include "library/librarysync.h"
#include "web/customagentwebview.h"
#include "web/engineurls.h"
#include "web/librarystatements.h"
#include "web/pageservices.h"
#include "web/scriptcall.h"
#include "web/webpage.h"

#include <QUrl>
#include <QWebFrame>
#include <QWebPage>

QtJavascriptInteraction::QtJavascriptInteraction(QObject* parent)
    : QObject(parent)
    , downloadAnswers(&downloads)
{
    services = new PageServices(this);
    services->followDownloads(&downloads.inProgress());
    services->followSearches(&searchAnswers);
    connect(services, &PageServices::pageStatement, this, &QtJavascriptInteraction::callPage);
    connect(&searchAnswers, &SearchAnswers::pageStatement, this, &QtJavascriptInteraction::callPage);
    connect(&downloadAnswers, &DownloadAnswers::pageStatement, this, &QtJavascriptInteraction::callPage);
    connect(&reader, &PageReader::pageStatement, this, &QtJavascriptInteraction::callPage);
    // A dictionary opened by a page, or just installed, is the one open for reading.
    const auto bookOpened = [this](const QString& id) {
        bookId = id;
        Diagnostics::debug("goToReading bookID %s", qPrintable(bookId));
    };
    connect(&reader, &PageReader::bookOpened, this, bookOpened);
    connect(&downloads, &DownloadService::bookInstalled, this, bookOpened);
}

QtJavascriptInteraction::~QtJavascriptInteraction() = default;

PageTheme& QtJavascriptInteraction::pageTheme() { return services->theme(); }

void QtJavascriptInteraction::attach(CustomAgentWebView* webView)
{
    view = webView;
    frame = view->page()->mainFrame();
    attachObject();
    connect(frame, &QWebFrame::javaScriptWindowObjectCleared, this, &QtJavascriptInteraction::attachObject);
    if (webPage* page = qobject_cast<webPage*>(view->page()))
        connect(page, &webPage::externalLinkClicked, &external, &ExternalActions::openOutside);
}

void QtJavascriptInteraction::useLibrary(LibrarySync* sync)
{
    library = sync;
    connect(library, &LibrarySync::signInAnswered, this, [this](SignIn::Answer answer, const QString& error) {
        callPage(ScriptLiteral::singleQuoted(loginCallback, LibraryStatements::signIn(answer, error)));
    });
    connect(library, &LibrarySync::syncProblem, this, [this] { callPage(LibraryStatements::syncProblem()); });
    connect(library, &LibrarySync::syncStopped, this, [this] { callPage(LibraryStatements::syncStopped()); });
}

void QtJavascriptInteraction::useInstaller(BookInstaller* installer)
{
    reader.setInstaller(installer);
    downloads.setInstaller(installer);
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

void QtJavascriptInteraction::callPage(const QString& statement) { ScriptCall::run(view, statement); }

bool QtJavascriptInteraction::goToReading(const QString& archivePath, const QString& id)
{
    return reader.openBook(archivePath, id);
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

bool QtJavascriptInteraction::finishSync()
{
    const bool asked = syncing;
    syncing = false;
    return asked;
}

void QtJavascriptInteraction::setUsernamePassword(QString username, QString password, QString callback)
{
    Diagnostics::debug("setUsernamePassword\n");
    loginCallback = callback;
    if (library)
        library->startLogin(username, password);
}

QString QtJavascriptInteraction::getHtmlPage(QString page) { return reader.getHtmlPage(page); }

void QtJavascriptInteraction::getHtmlFixedPage(QString page, QString params)
{
    PageReader::Page shown;
    if (!reader.readFixedPage(page, params, &shown))
        return;
    parsePageParameters(params);
    Diagnostics::debug("Parametro book id: %s", qPrintable(bookId));
    goToReading(PageReader::bookPackage(bookId), bookId);
    view->setHtml(shown.html, shown.address);
}

QString QtJavascriptInteraction::getBookID()
{
    Diagnostics::debug("Javascript getBookID %s", qPrintable(bookId));
    return bookId;
}

QString QtJavascriptInteraction::getLink() { return link; }

QString QtJavascriptInteraction::getPath() { return path; }

QString QtJavascriptInteraction::getCallbackLogin() { return loginCallback; }

QString QtJavascriptInteraction::getCallbackDownload() { return downloadCallback; }

bool QtJavascriptInteraction::getIsSyncronizing() { return syncing; }

QString QtJavascriptInteraction::getParameter(QString param)
{
    const QString value = pageParameters.value(param);
    Diagnostics::debug("Javascript getParameter %s value: %s", qPrintable(param), qPrintable(value));
    return value;
}

void QtJavascriptInteraction::cancelDownload()
{
    Diagnostics::debug("cancel download %s", qPrintable(currentDownloadSku));
    downloads.cancelDownload(currentDownloadSku);
}

void QtJavascriptInteraction::mail(QString subject, QString text) { external.mail(subject, text); }

void QtJavascriptInteraction::download(QString sku, QString callback)
{
    currentDownloadSku = sku;
    Diagnostics::debug("Javascript download %s", qPrintable(sku));
    downloadCallback = callback;
    downloadAnswers.download(sku, callback, library ? library->libraryBooks : QVector<Book>());
}

void QtJavascriptInteraction::purchase(QString sku)
{
    const auto field
        = [this, &sku](const QString& name) { return library ? library->getBookField(sku, name) : QString(); };
    external.purchase(sku, field(QStringLiteral("buy")), !field(QStringLiteral("bookId")).isEmpty());
}

void QtJavascriptInteraction::passwordLost() { external.passwordLost(); }

void QtJavascriptInteraction::createAccount() { external.createAccount(); }

void QtJavascriptInteraction::synchronize()
{
    syncing = true;
    if (library)
        library->startSync();
}

void QtJavascriptInteraction::onLogout()
{
    if (library)
        library->signOut();
}

void QtJavascriptInteraction::loadUrl(QString url)
{
    PageReader::Page shown;
    if (!reader.readUrl(url, &shown))
        return;
    const QStringList pieces = url.split(QLatin1Char('?'));
    pageParameters.clear();
    if (pieces.size() > 1)
        parsePageParameters(pieces.at(1));
    view->setHtml(shown.html, shown.address);
    Diagnostics::debug("webview->setHtml => loadURL: %s", qPrintable(shown.address.toString()));
}

void QtJavascriptInteraction::getWords(QString sku, QString word, QString from, QString to, QString sourceLanguage,
                                       QString callback)
{
    searchAnswers.getWords(SearchRequest{word, QString(), QString(), sku, from, to, sourceLanguage}, callback);
}

void QtJavascriptInteraction::search(QString sku, QString word, QString type, QString scope, QString start,
                                     QString offset, QString sourceLanguage, QString callback)
{
    Diagnostics::debug("Javascript search\n");
    searchAnswers.search(SearchRequest{word, scope, type, sku, start, offset, sourceLanguage}, callback);
}

// Kept for the page, which sees every public slot. The end of a request reaches the search
// service from its own worker only, so a call from the page does nothing.
void QtJavascriptInteraction::onSearchTerminated() {}

void QtJavascriptInteraction::onAnaliticTerminated() {}

void QtJavascriptInteraction::getHtml(QString sku, QString id, QString file, QString callback)
{
    reader.getHtml(sku, id, file, callback);
}

void QtJavascriptInteraction::getScopes(QString sku, QString callback) { searchAnswers.getScopes(sku, callback); }

QString QtJavascriptInteraction::getNormalized(QString languageId, QString in) { return normalizeText(languageId, in); }

void QtJavascriptInteraction::getFile(QString sku, QString file, QString callback)
{
    reader.getFile(sku, file, callback);
}

bool QtJavascriptInteraction::isXP() { return false; }

void QtJavascriptInteraction::openLink(QString link) { external.openLink(link); }
