// The object the page's script calls, published in every page's global scope as
// "QtJavascriptInteraction". A slot answers at once through its result, or later by
// evaluating SignalQt('<callback>', '<literal>') in the page.
#pragma once

#include "packages/downloadservice.h"
#include "search/searchservice.h"

#include <QMap>
#include <QObject>
#include <QString>

class CustomAgentWebView;
class PageServices;
class QUrl;
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

    // The searches and word lists, their workers and their last results.
    SearchService& searches() { return searchService; }
    // The dictionary downloads, by sku, and their installations.
    DownloadService& downloadService() { return downloads; }

    // Fills pageParameters from a query text ("a=1&b=2"); "idbook" also becomes bookId.
    void parsePageParameters(const QString& query);

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
    // Opens a web address in the desktop's browser, a mail address in its mail client.
    void openOutside(const QUrl& url);
    // Status-bar message (no time-out) and busy indicator while a search or word list is slow.
    void showWorking(const QString& message);
    void hideWorking();
    // Reads content file `file` of dictionary `sku`; false when it cannot be read.
    bool readBookFile(const QString& sku, const QString& file, QString* text, QString* archivePath);

    SearchService searchService;
    DownloadService downloads;
    // Published beside the bridge as "VocalumeNative".
    PageServices* services = nullptr;
};
