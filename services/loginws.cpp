#include "services/loginws.h"

#include "base/diagnostics.h"
#include "services/httpconnection.h"
#include "services/serviceendpoint.h"
#include "services/servicereply.h"
#include "services/servicerequest.h"

#include <QSignalBlocker>

LoginWS::LoginWS(QObject* parent)
    : QObject(parent)
    , connection(new HttpConnection(this))
{
    connect(connection, &HttpConnection::finished, this, &LoginWS::loginReply);
}

LoginWS::~LoginWS()
{
    delete connection;
}

void LoginWS::login(const QString& username, const QString& passwordText)
{
    // A login still waiting for its reply (a stuck one included) gives way without a word.
    {
        const QSignalBlocker silent(connection);
        connection->abort();
    }
    password = passwordText;
    const QString url = ServiceRequest::send(connection, ServiceRequest::accountPath(QStringLiteral("/login.xml")),
                                             { { QStringLiteral("username"), username },
                                               { QStringLiteral("password"), passwordText } });
    Diagnostics::output("login ws: %s%s\n", qUtf8Printable(ServiceEndpoint::current().host), qUtf8Printable(url));
}

void LoginWS::abort()
{
    connection->abort();
}

void LoginWS::loginReply()
{
    ServiceReply reply(connection, ServiceReply::Encoding::Latin1);
    if (reply.arrived())
        Diagnostics::output("Reply: %s\n", qUtf8Printable(reply.text()));
    if (reply.arrived() && reply.isResult())
        reply.walk();
    const QString failure = reply.errorString();
    if (failure.isEmpty())
        emit replySession(password);
    else
        emit errorMessage(failure);
}
