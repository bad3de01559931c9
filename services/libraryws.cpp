#include "services/libraryws.h"

#include "base/appsettings.h"
#include "base/diagnostics.h"
#include "services/httpconnection.h"
#include "services/serviceendpoint.h"
#include "services/servicereply.h"
#include "services/servicerequest.h"

#include <QDomElement>
#include <QSignalBlocker>

LibraryWS::LibraryWS(QObject* parent)
    : QObject(parent)
    , connection(new HttpConnection(this))
{
    Book(); // registers the meta-type before the first list travels
    connect(connection, &HttpConnection::finished, this, &LibraryWS::libraryReply);
}

LibraryWS::~LibraryWS()
{
    delete connection;
}

void LibraryWS::getHistory(const QString& username, const QString& sessionId)
{
    // One history request at a time: a newer one replaces a request still waiting for its reply.
    {
        const QSignalBlocker silent(connection);
        connection->abort();
    }
    const QString url = ServiceRequest::send(connection, ServiceRequest::accountPath(QStringLiteral("/getHistory.xml")),
                                             { { QStringLiteral("username"), username },
                                               { QStringLiteral("sessionId"), sessionId } });
    Diagnostics::output("library ws: %s%s\n", qUtf8Printable(ServiceEndpoint::current().host), qUtf8Printable(url));
}

void LibraryWS::abort()
{
    connection->abort();
}

Book LibraryWS::readBook(const QDomElement& element)
{
    Book book;
    // Only the attribute counts, not the child's tag, and the name must match exactly.
    for (QDomElement child = element.firstChildElement(); !child.isNull(); child = child.nextSiblingElement()) {
        const QString name = child.attribute(QStringLiteral("name"));
        if (Book::fieldNames().contains(name, Qt::CaseSensitive) || name == Book::digestName())
            book.setField(name, child.text());
    }
    return book;
}

void LibraryWS::storeCharset(const QDomElement& field)
{
    const QString name = field.attribute(QStringLiteral("name"));
    const QString langId = field.attribute(QStringLiteral("langId"));
    if (name == QLatin1String("startCharset"))
        AppSettings().setStartCharset(field.text(), langId);
    else if (name == QLatin1String("endCharset"))
        AppSettings().setEndCharset(field.text(), langId);
}

void LibraryWS::libraryReply()
{
    ServiceReply reply(connection, ServiceReply::Encoding::Utf8);
    QVector<Book> books;
    if (reply.arrived() && reply.isResult()) {
        reply.walk([&books](const QDomElement& element) {
            if (element.tagName() == QLatin1String("book"))
                books.append(readBook(element));
            else if (element.tagName() == QLatin1String("field"))
                storeCharset(element);
        });
    }
    const QString failure = reply.errorString();
    if (failure.isEmpty())
        emit replyLibrary(books);
    else
        emit errorMessage(failure);
}
