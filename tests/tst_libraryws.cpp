#include "app/appsettings.h"
#include "services/libraryws.h"
#include "tests/support/httptestserver.h"
#include "tests/support/testsupport.h"

#include <QApplication>
#include <QSignalSpy>

namespace {
QByteArray envelope(const QByteArray& inner)
{
    return HttpTestServer::reply("<?xml version=\"1.0\" encoding=\"UTF-8\"?><result>" + inner + "</result>");
}
}

class TestLibraryWS : public QObject
{
    Q_OBJECT
private:
    QScopedPointer<HttpTestServer> server;
    QScopedPointer<LibraryWS> library;
    QScopedPointer<QSignalSpy> books;
    QScopedPointer<QSignalSpy> errors;

    QVector<Book> receivedBooks() const { return books->first().first().value<QVector<Book>>(); }

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

    void requestAndDiagnostic()
    {
        server->respondWith(envelope(""));
        library->getHistory(QStringLiteral("mario"), QStringLiteral("pass word"));
        QTRY_COMPARE(books->count(), 1);
        QCOMPARE(server->targets.value(0), QByteArray("/api/zenta/getHistory.xml?username=mario&sessionId=pass%20word"));
        QVERIFY(TestSupport::recorded().diagnostics.contains(
            QStringLiteral("library ws: 127.0.0.1/api/zenta/getHistory.xml?username=mario&sessionId=pass word\n")));
    }

    void emptyLibraryIsASuccess()
    {
        server->respondWith(envelope("<field name=\"errorCode\">0</field>"));
        library->getHistory(QStringLiteral("mario"), QStringLiteral("s"));
        QTRY_COMPARE(books->count(), 1);
        QVERIFY(receivedBooks().isEmpty());
        QCOMPARE(errors->count(), 0);
    }

    void booksInDocumentOrderWithUtf8Texts()
    {
        server->respondWith(envelope(
            "<field name=\"errorCode\">0</field>"
            "<book><field name=\"bookId\">IT-EN</field><field name=\"title\">Dizionario di Italiano \xe2\x80\x93 Citt\xc3\xa0</field>"
            "<value name=\"author\">Nicol\xc3\xb2</value><field name=\"Title\">ignored</field>"
            "<field name=\"purchased\">true</field><field name=\"unknown\">x</field>"
            "<field name=\"revision\">3</field><field name=\"revision\">4</field></book>"
            "<other/>"
            "<book><field name=\"bookId\">IT-EN</field><field name=\"destinationLanguageFlag\">en</field></book>"));
        library->getHistory(QStringLiteral("mario"), QStringLiteral("s"));
        QTRY_COMPARE(books->count(), 1);
        const QVector<Book> list = receivedBooks();
        QCOMPARE(list.size(), 2);
        QCOMPARE(list.at(0).bookId, QStringLiteral("IT-EN"));
        QCOMPARE(list.at(0).title, QString::fromUtf8("Dizionario di Italiano – Città"));
        QCOMPARE(list.at(0).author, QString::fromUtf8("Nicolò")); // the child's tag is not looked at
        QCOMPARE(list.at(0).purchased, QStringLiteral("true"));
        QCOMPARE(list.at(0).revision, QStringLiteral("4"));
        QCOMPARE(list.at(1).bookId, QStringLiteral("IT-EN"));
        QCOMPARE(list.at(1).destinationLanguageFlag, QStringLiteral("en"));
        QCOMPARE(list.at(1).title, QString());
    }

    void capitalisedNameSetsNothingWhileFieldAccessIgnoresCase()
    {
        server->respondWith(envelope("<book><field name=\"Title\">Maiuscolo</field></book>"));
        library->getHistory(QStringLiteral("mario"), QStringLiteral("s"));
        QTRY_COMPARE(books->count(), 1);
        Book book = receivedBooks().value(0);
        QCOMPARE(book.title, QString());
        book.setField(QStringLiteral("TITLE"), QStringLiteral("Maiuscolo"));
        QCOMPARE(book.title, QStringLiteral("Maiuscolo"));
    }

    void charsetsAreStoredEvenWhenTheReplyEndsInAnError()
    {
        server->respondWith(envelope(
            "<field name=\"startCharset\" langId=\"2\">\xc3\xa0\xc3\xa8|\xc3\xa9</field>"
            "<field name=\"endCharset\" langId=\"2\">a|e</field>"
            "<book><field name=\"bookId\">X</field></book>"
            "<field name=\"errorCode\">5</field><field name=\"errorDescription\">Accesso negato</field>"));
        library->getHistory(QStringLiteral("mario"), QStringLiteral("s"));
        QTRY_COMPARE(errors->count(), 1);
        QCOMPARE(errors->first().first().toString(), QStringLiteral("5: Accesso negato"));
        QCOMPARE(books->count(), 0);
        QCOMPARE(AppSettings().startCharset(QStringLiteral("2")), QString::fromUtf8("àè|é"));
        QCOMPARE(AppSettings().endCharset(QStringLiteral("2")), QStringLiteral("a|e"));
    }

    void zeroByteEndsTheText()
    {
        server->respondWith(HttpTestServer::reply(QByteArray("<result><book><field name=\"bookId\">A</field></book></result>\0\xff\xfe", 64)));
        library->getHistory(QStringLiteral("mario"), QStringLiteral("s"));
        QTRY_COMPARE(books->count(), 1);
        QCOMPARE(receivedBooks().value(0).bookId, QStringLiteral("A"));
    }

    void abortReportsANetworkError()
    {
        server->respond([](const QByteArray&) { return HttpTestServer::Answer { "HTTP/1.1 200 OK\r\nContent-Length: 10\r\n\r\n", true }; });
        library->getHistory(QStringLiteral("mario"), QStringLiteral("s"));
        QTRY_COMPARE(server->targets.size(), 1);
        library->abort();
        QTRY_COMPARE(errors->count(), 1);
        QCOMPARE(errors->first().first().toString(), QStringLiteral("Errore di rete"));
        QCOMPARE(books->count(), 0);
    }

    void unreadableReply()
    {
        server->respondWith(HttpTestServer::reply("<html><body>Errore</body></html>"));
        library->getHistory(QStringLiteral("mario"), QStringLiteral("s"));
        QTRY_COMPARE(errors->count(), 1);
        QCOMPARE(errors->first().first().toString(), QStringLiteral("XML non interpretabile"));
    }
};

VOCALUME_TEST_MAIN(TestLibraryWS)
#include "tst_libraryws.moc"
