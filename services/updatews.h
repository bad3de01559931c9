// The start-up version check: asks the publisher's version service which release of the desktop
// software is current and tells whether it differs from this build's version.
#pragma once

#include <QObject>
#include <QString>

class HttpConnection;

class UpdateWS : public QObject
{
    Q_OBJECT
public:
    explicit UpdateWS(QObject* parent = nullptr);
    ~UpdateWS() override;

    // Sends the request; the outcome arrives as replyUpdate or errorMessage.
    void checkVersion();

signals:
    // newAvailable is true for any version text other than this build's, older or newer.
    void replyUpdate(bool newAvailable, QString downloadPage);
    void errorMessage(QString error);

public slots:
    void updateReply();

private:
    HttpConnection* connection;
};
