#include "services/updatews.h"

#include "services/httpconnection.h"
#include "services/servicereply.h"
#include "services/servicerequest.h"
#include "vocalumeconfig.h"

#include <QDomElement>

UpdateWS::UpdateWS(QObject* parent)
    : QObject(parent)
    , connection(new HttpConnection(this))
{
    connect(connection, &HttpConnection::finished, this, &UpdateWS::updateReply);
}

UpdateWS::~UpdateWS()
{
    delete connection;
}

void UpdateWS::checkVersion()
{
    ServiceRequest::send(connection, QStringLiteral("/rest/server"),
                         { { QStringLiteral("method"), QStringLiteral("getVersion") } });
}

void UpdateWS::updateReply()
{
    ServiceReply reply(connection, ServiceReply::Encoding::Latin1);
    if (!reply.arrived()) {
        emit errorMessage(reply.errorString());
        return;
    }
    if (!reply.isResult()) {
        emit errorMessage(ServiceReply::unreadableXml());
        return;
    }
    // Only fields inside "software" count; the last of each name wins.
    QString version;
    QString address;
    for (QDomElement software = reply.root().firstChildElement(QStringLiteral("software")); !software.isNull();
         software = software.nextSiblingElement(QStringLiteral("software"))) {
        for (QDomElement field = software.firstChildElement(QStringLiteral("field")); !field.isNull();
             field = field.nextSiblingElement(QStringLiteral("field"))) {
            const QString name = field.attribute(QStringLiteral("name"));
            if (name == QLatin1String("version"))
                version = field.text();
            else if (name == QLatin1String("download_url"))
                address = field.text();
        }
    }
    if (version.isEmpty()) {
        emit errorMessage(QStringLiteral("Risposta dal server non valida"));
        return;
    }
    emit replyUpdate(version != QLatin1String(VOCALUME_VERSION), address);
}
