// The library service: the request, the books of the reply and the charsets it carries. The reply
// frame itself is the login's, tested there.
#include "base/appsettings.h"
#include "services/libraryws.h"
#include "tests/support/serviceoutcome.h"
#include "tests/support/testsupport.h"

using namespace ServiceOutcome;

class TestLibraryWS : public QObject
{
    Q_OBJECT
private:
    QScopedPointer<HttpTestServer> server;

    // Asks for the library, answered with `inner` inside the reply's root.
    Outcome history(const QByteArray& inner, const QString& user = "mario", const QString& session = "pass word")
    {
        server->respondWith(result(inner));
        return ask<LibraryWS>(&LibraryWS::replyLibrary, [&](LibraryWS& c) { c.getHistory(user, session); });
    }
    static QVector<Book> books(const Outcome& outcome) { return outcome.replied.value(0).value<QVector<Book>>(); }

private slots:
    void init()
    {
        TestSupport::resetHome();
        server.reset(new HttpTestServer);
        server->makeCurrent();
    }

    // Each value leaves encoded exactly once, as the login's do; the session is never logged.
    void emptyLibraryIsASuccess()
    {
        const Outcome empty = history(field("errorCode", "0"));
        QCOMPARE(empty.error, QString());
        QVERIFY(books(empty).isEmpty());
        QCOMPARE(server->targets.value(0), "/api/zenta/getHistory.xml?username=mario&sessionId=pass%20word");
        QVERIFY(TestSupport::recorded().diagnostics.contains(
            "library ws: 127.0.0.1/api/zenta/getHistory.xml?username=mario&sessionId=***\n"));
        history(field("errorCode", "0"), "ab%41cd", "s%2B1+");
        QCOMPARE(server->targets.value(1), "/api/zenta/getHistory.xml?username=ab%2541cd&sessionId=s%252B1%2B");
    }

    // Books in document order, UTF-8 texts; a field counts by its name attribute, matched exactly
    // ("Title" is not the title), whatever the child's tag; the last of a repeated field wins.
    void booksInDocumentOrder()
    {
        const Outcome answer = history(
            field("errorCode", "0") + "<book>" + field("bookId", "IT-EN")
            + field("title", "Voci \xe2\x80\x93 Citt\xc3\xa0") + "<value name=\"author\">Nicol\xc3\xb2</value>"
            + field("Title", "ignored") + field("purchased", "true") + field("unknown", "x") + field("revision", "3") + field("revision", "4") + "</book><other/><book>"
            + field("bookId", "IT-EN") + field("destinationLanguageFlag", "en") + "</book><book>"
            + field("Title", "Maiuscolo") + "</book>");
        QStringList fields;
        for (const Book& b : books(answer))
            fields << QStringList { b.bookId, b.title, b.author, b.purchased, b.revision, b.destinationLanguageFlag }
                          .join('/');
        QCOMPARE(fields, QStringList({ "IT-EN/Voci – Città/Nicolò/true/4/", "IT-EN/////en", "/////" }));
    }

    void charsetsAreStoredEvenWhenTheReplyEndsInAnError()
    {
        const Outcome answer = history("<field name=\"startCharset\" langId=\"2\">\xc3\xa0\xc3\xa8|\xc3\xa9</field>"
                                       "<field name=\"endCharset\" langId=\"2\">a|e</field><book>"
                                       + field("bookId", "X") + "</book>" + field("errorCode", "5")
                                       + field("errorDescription", "Accesso negato"));
        QCOMPARE(answer.error, QStringLiteral("5: Accesso negato"));
        QCOMPARE(AppSettings().startCharset("2"), QStringLiteral("àè|é"));
        QCOMPARE(AppSettings().endCharset("2"), QStringLiteral("a|e"));
    }
};

VOCALUME_TEST_MAIN(TestLibraryWS)
#include "tst_libraryws.moc"
