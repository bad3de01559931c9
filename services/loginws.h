// The login service: checks a user name and password against the store. An accepted login is
// answered with the password itself, which the rest of the program uses as the session.
#pragma once

#include <QObject>
#include <QString>

class HttpConnection;

class LoginWS : public QObject
{
    Q_OBJECT
public:
    explicit LoginWS(QObject* parent = nullptr);
    ~LoginWS() override;

    // Sends the request; the outcome arrives as replySession or errorMessage. A second call
    // before the first reply replaces the first request, which then reports nothing.
    void login(const QString& username, const QString& password);
    // Cancels the request waiting for its reply, which reports "Errore di rete".
    void abort();

signals:
    void replySession(QString sessionID);
    void errorMessage(QString error);

public slots:
    void loginReply();

private:
    HttpConnection* connection;
    QString password;
};
