// The object the page's script calls, published in every page's global scope as
// "QtJavascriptInteraction". A slot answers at once through its result, or later by
// evaluating SignalQt('<callback>', '<literal>') in the page. It is a switchboard: each slot
// hands its work to a service of a lower layer or beside it (page reading, searches, downloads,
// external actions, sign-in and synchronisation), which answers the page through a signal the
// bridge runs in the page; what the user is to see comes from those services' own signals,
// which the window connects. The bridge never names the window.
#pragma once

#include "packages/downloadservice.h"
#include "web/downloadanswers.h"
#include "web/externalactions.h"
#include "web/pagereader.h"
#include "web/searchanswers.h"

#include <QMap>
#include <QObject>
#include <QPointer>
#include <QString>

class BookInstaller;
class CustomAgentWebView;
class LibrarySync;
class PageServices;
class PageTheme;
class QWebFrame;

class QtJavascriptInteraction : public QObject
{
    Q_OBJECT
public:
    explicit QtJavascriptInteraction(QObject* parent = nullptr);
    ~QtJavascriptInteraction() override;

    // Publishes the bridge in `view`'s main frame now and in every page loaded later, as long as
    // the page is one of the engine's own; links the user clicks to web and mail addresses open
    // outside the program.
    void attach(CustomAgentWebView* view);
    // Sign-in, synchronisation and the account's library, which the slots hand over to; the
    // login callback hears the sign-in's answer, and the page what a failed synchronisation
    // asks of it. Owned by the caller.
    void useLibrary(LibrarySync* library);
    // Unpacks the dictionaries read and installed (one extraction at a time in the program).
    void useInstaller(BookInstaller* installer);

    // The services the slots hand over to, whose signals tell what the user is to see.
    SearchService& searches() { return searchAnswers.service(); }
    DownloadService& downloadService() { return downloads; }
    DownloadAnswers& downloadStatements() { return downloadAnswers; }
    PageReader& pageReader() { return reader; }
    ExternalActions& externalActions() { return external; }
    // What the desktop wants of the pages' colours.
    PageTheme& pageTheme();

    // Makes a dictionary ready for reading: unpacks its package into books/<bookId> when that
    // folder is missing and makes it the current book (bookId).
    bool goToReading(const QString& archivePath, const QString& bookId);
    // Fills pageParameters from a query text ("a=1&b=2"); "idbook" also becomes bookId.
    void parsePageParameters(const QString& query);
    // The parameters of the page last loaded with getHtmlFixedPage or loadUrl.
    const QMap<QString, QString>& parameters() const { return pageParameters; }
    // The dictionary the page reads now (what getBookID answers the page).
    const QString& currentBook() const { return bookId; }
    // A synchronisation has ended: the page's request for one, if any, is answered. True when
    // the page had asked for it.
    bool finishSync();

public slots:
    void setUsernamePassword(QString username, QString password, QString callback);
    QString getHtmlPage(QString page);
    void getHtmlFixedPage(QString page, QString params);
    QString getBookID();
    QString getLink();
    QString getPath();
    QString getCallbackLogin();
    QString getCallbackDownload();
    bool getIsSyncronizing();
    QString getParameter(QString param);
    void cancelDownload();
    void mail(QString subject, QString text);
    void download(QString sku, QString callback);
    void purchase(QString sku);
    void passwordLost();
    void createAccount();
    void synchronize();
    void onLogout();
    void loadUrl(QString url);
    void getWords(QString sku, QString word, QString from, QString to, QString sourceLanguage, QString callback);
    void search(QString sku, QString word, QString type, QString scope, QString start, QString offset,
                QString sourceLanguage, QString callback);
    // Names the page may call, kept for it; they do nothing (a request's end reaches the search
    // service from its own worker only).
    void onSearchTerminated();
    void onAnaliticTerminated();
    void getHtml(QString sku, QString id, QString file, QString callback);
    void getScopes(QString sku, QString callback);
    QString getNormalized(QString languageId, QString in);
    void getFile(QString sku, QString file, QString callback);
    bool isXP();
    void openLink(QString link);

private slots:
    void attachObject();

private:
    void callPage(const QString& statement);

    QWebFrame* frame = nullptr;
    CustomAgentWebView* view = nullptr;
    QString bookId;
    QString link;
    QString path;
    QString loginCallback;
    QString downloadCallback;
    QString currentDownloadSku;
    bool syncing = false;
    QMap<QString, QString> pageParameters;

    QPointer<LibrarySync> library;
    SearchAnswers searchAnswers;
    DownloadService downloads;
    DownloadAnswers downloadAnswers;
    PageReader reader;
    ExternalActions external;
    // Published beside the bridge as "VocalumeNative".
    PageServices* services = nullptr;
};
