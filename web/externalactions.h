// Requests of the page that leave the program: the mail client, the browser (web links, the
// store's purchase, password and account pages) and the desktop's application for an engine
// file. What the user is told goes out through signals: a status-bar message while the desktop
// starts something, a warning box when nothing can handle the request.
#pragma once

#include <QObject>
#include <QString>

class QUrl;

class ExternalActions : public QObject
{
    Q_OBJECT
public:
    explicit ExternalActions(QObject* parent = nullptr);

    void mail(const QString& subject, const QString& text);
    // The purchase page of dictionary `sku`: `address` as the library gives it or, when the
    // library knows the dictionary (`known`) but names no address, the store's own page for it.
    void purchase(const QString& sku, const QString& address, bool known);
    void passwordLost();
    void createAccount();
    // A web or mail address, or a file of the engine (a path relative to the engine folder).
    void openLink(const QString& link);
    // A web address in the desktop's browser, a mail address in its mail client.
    void openOutside(const QUrl& url);

signals:
    void statusMessage(const QString& text, int timeout);
    // The text of the user's warning box.
    void warning(const QString& text);

private:
    // Tells the user whether the desktop's default application is being started.
    void reportOpened(bool opened, const QString& startMessage, const QString& failureText);
    void openExternally(const QUrl& url, const QString& startMessage, const QString& failureText);
};
