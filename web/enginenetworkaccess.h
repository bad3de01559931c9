// The page's network access. The engine never loads anything from the network: only files of
// the engine folder and data: addresses are served, every other request fails at once, so no
// page content can make the program fetch an address by itself.
#pragma once

#include <QNetworkAccessManager>

class EngineNetworkAccess : public QNetworkAccessManager
{
    Q_OBJECT
public:
    explicit EngineNetworkAccess(QObject* parent = nullptr);

protected:
    QNetworkReply* createRequest(Operation operation, const QNetworkRequest& request, QIODevice* data) override;
};
