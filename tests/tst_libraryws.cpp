// The library service: the request, the books of the reply and the charsets it carries. The reply
// frame itself is the login's, tested there.
#include "base/appsettings.h"
#include "services/libraryws.h"
#include "tests/support/httptestserver.h"
#include "tests/support/testsupport.h"

class TestLibraryWS : public QObject
{
    Q_OBJECT
private:
    QScopedPointer<HttpTestServer> server;
    QScopedPointer<LibraryWS> library;
    QScopedPointer<QSignalSpy> books;
    QScopedPointer<QSignalSpy> errors;

    // Asks for the library, answered with `inner` inside the reply's root.
    void history(const QByteArray& inner)
    {
        server->respondWith(
            HttpTestServer::reply("<?xml version=\"1.0\" encoding=\"UTF-8\"?><result>" + inner + "</result>"));
        library->getHistory("mario", "pass word");
        QTRY_COMPARE(books->count() + errors->count(), 1);
    }
    QVector<Book> receivedBooks() const { return books->value(0).value(0).value<QVector<Book>>(); }

private slots:
    void init()
    {
        TestSupport::resetHome();
        server.reset(new HttpTestServer);
        server->makeCurrent();
        library.reset(new LibraryWS);
        books.reset(new QSignalSpy(library.data(), &LibraryWS::replyLibrary));
        errors.reset(new QSignalSpy(library.data(), &LibraryWS::errorMessage));
    }

    void emptyLibraryIsASuccess()
    {
        history("<field name=\"errorCode\">0</field>");
        QCOMPARE(books->count(), 1);
        QVERIFY(receivedBooks().isEmpty());
        QCOMPARE(server->targets.value(0), "/api/zenta/getHistory.xml?username=mario&sessionId=pass%20word");
        QVERIFY(TestSupport::recorded().diagnostics.contains(
            "library ws: 127.0.0.1/api/zenta/getHistory.xml?username=mario&sessionId=***\n"));
        // Each value leaves encoded exactly once, as the login's do.
        library->getHistory("ab%41cd", "s%2B1+");
        QTRY_COMPARE(books->count() + errors->count(), 2);
        QCOMPARE(server->targets.value(1), "/api/zenta/getHistory.xml?username=ab%2541cd&sessionId=s%252B1%2B");
    }

    void booksInDocumentOrderWithUtf8Texts()
    {
        // Field names are matched exactly: "Title" is not the title.
        history("<field name=\"errorCode\">0</field>"
                "<book><field name=\"bookId\">IT-EN</field><field name=\"title\">Voci \xe2\x80\x93 Citt\xc3\xa0</field>"
                "<value name=\"author\">Nicol\xc3\xb2</value><field name=\"Title\">ignored</field>"
                "<field name=\"purchased\">true</field><field name=\"unknown\">x</field>"
                "<field name=\"revision\">3</field><field name=\"revision\">4</field></book>"
                "<other/>"
                "<book><field name=\"bookId\">IT-EN</field><field name=\"destinationLanguageFlag\">en</field></book>"
                "<book><field name=\"Title\">Maiuscolo</field></book>");
        // The child's tag is not looked at: a <value> names the author as well.
        QStringList fields;
        for (const Book& b : receivedBooks())
            fields << QStringList { b.bookId, b.title, b.author, b.purchased, b.revision, b.destinationLanguageFlag }
                          .join('/');
        QCOMPARE(fields, QStringList({ "IT-EN/Voci – Città/Nicolò/true/4/", "IT-EN/////en", "/////" }));
    }

    void charsetsAreStoredEvenWhenTheReplyEndsInAnError()
    {
        history("<field name=\"startCharset\" langId=\"2\">\xc3\xa0\xc3\xa8|\xc3\xa9</field>"
                "<field name=\"endCharset\" langId=\"2\">a|e</field>"
                "<book><field name=\"bookId\">X</field></book>"
                "<field name=\"errorCode\">5</field><field name=\"errorDescription\">Accesso negato</field>");
        QCOMPARE(errors->value(0).value(0).toString(), QStringLiteral("5: Accesso negato"));
        QCOMPARE(books->count(), 0);
        QCOMPARE(AppSettings().startCharset("2"), QStringLiteral("àè|é"));
        QCOMPARE(AppSettings().endCharset("2"), QStringLiteral("a|e"));
    }
};

VOCALUME_TEST_MAIN(TestLibraryWS)
#include "tst_libraryws.moc"
