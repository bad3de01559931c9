// The login, library and version-check clients against canned replies: the reply frame they
// share, what each reads from it, and the request each sends.
#include "base/appsettings.h"
#include "services/libraryws.h"
#include "services/loginws.h"
#include "services/updatews.h"
#include "tests/support/serviceoutcome.h"
#include "tests/support/testsupport.h"
#include "vocalumeconfig.h"

using namespace ServiceOutcome;

namespace {
enum Service { Login, Library, Update };

// One answer as text: "error <text>", or the reply's arguments (books as their fields) by blanks.
QString answer(Service service, const QString& user = "mario", const QString& secret = "segreta")
{
    Outcome o;
    if (service == Login)
        o = ask<LoginWS>(&LoginWS::replySession, [&](LoginWS& c) { c.login(user, secret); });
    else if (service == Library)
        o = ask<LibraryWS>(&LibraryWS::replyLibrary, [&](LibraryWS& c) { c.getHistory(user, secret); });
    else
        o = ask<UpdateWS>(&UpdateWS::replyUpdate, [](UpdateWS& c) { c.checkVersion(); });
    if (!o.error.isEmpty())
        return "error " + o.error;
    QStringList shown;
    for (const QVariant& value : o.replied) {
        if (value.userType() != qMetaTypeId<QVector<Book>>())
            shown << value.toString();
        for (const Book& b : value.value<QVector<Book>>())
            shown << QStringList { b.bookId, b.title, b.author, b.purchased, b.revision, b.destinationLanguageFlag }
                         .join('/');
    }
    return shown.join(' ');
}

// A reply of every byte of a literal that holds zero bytes, without its terminator.
template <int N> QByteArray withZeros(const char (&text)[N]) { return HttpTestServer::reply(QByteArray(text, N - 1)); }
QByteArray software(const QByteArray& fields) { return "<software>" + fields + "</software>"; }
}

class TestWebServices : public QObject
{
    Q_OBJECT
private:
    QScopedPointer<HttpTestServer> server;

private slots:
    void init()
    {
        TestSupport::resetHome();
        server.reset(new HttpTestServer);
        server->makeCurrent();
    }

    void replies_data()
    {
        QTest::addColumn<int>("service");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("expected"); // then " charsets <start> <end>" of language 2 when stored
        const auto row = [](const char* name, Service service, const QByteArray& bytes, const QString& expected) {
            QTest::newRow(name) << int(service) << bytes << expected;
        };
        const QString unreadable = "error XML non interpretabile", network = "error Errore di rete";
        const QByteArray code0 = field("errorCode", "0"), current = VOCALUME_VERSION;
        row("not XML", Login, HttpTestServer::reply("Service Unavailable"), unreadable);
        row("root differs in case", Login, HttpTestServer::reply("<Result/>"), unreadable);
        row("code 0 with a description", Login, result(code0 + field("errorDescription", "Bene")), "segreta");
        row("empty errorCode", Login, result(field("errorCode", "")), "segreta");
        row("code 7 without description", Login, result(field("errorCode", "7")), "error 7: ");
        row("later description replaces the earlier", Login,
            result(field("errorCode", "2") + field("errorDescription", "a") + field("errorDescription", "b")),
            "error 2: b");
        row("a later 0 does not clear the error", Login,
            result(field("errorCode", "7") + code0 + field("errorDescription", "d")), "error 0: d");
        row("error fields only directly under result", Login, result("<other>" + field("errorCode", "9") + "</other>"),
            "segreta");
        row("decoding stops at a zero byte", Login,
            withZeros("<result><field name=\"errorCode\">0</field></result>\0<junk"), "segreta");
        row("zero byte inside the document", Login,
            withZeros("<result><field name=\"errorCode\">0\0</field></result>"), unreadable);
        row("Latin-1 description", Login,
            HttpTestServer::reply("<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><result>" + field("errorCode", "3")
                                  + field("errorDescription", "La sessione \xe8 scaduta") + "</result>"),
            "error 3: La sessione è scaduta");
        row("dropped connection", Login, QByteArray(), network);
        row("HTTP failure status", Login, HttpTestServer::reply("<result/>", 500), network);
        row("empty library", Library, result(code0), "");
        // A field counts by its name attribute, matched exactly, whatever the child's tag; the
        // last of a repeated field wins; texts are UTF-8.
        row("books in document order", Library,
            result(code0 + "<book>" + field("bookId", "IT-EN") + field("title", "Voci \xe2\x80\x93 Citt\xc3\xa0")
                   + "<value name=\"author\">Nicol\xc3\xb2</value>" + field("Title", "ignored")
                   + field("purchased", "true") + field("unknown", "x") + field("revision", "3")
                   + field("revision", "4") + "</book><other/><book>" + field("bookId", "IT-EN")
                   + field("destinationLanguageFlag", "en") + "</book><book>" + field("Title", "Maiuscolo")
                   + "</book>"),
            "IT-EN/Voci – Città/Nicolò/true/4/ IT-EN/////en /////");
        row("charsets are stored although the reply is an error", Library,
            result("<field name=\"startCharset\" langId=\"2\">\xc3\xa0\xc3\xa8|\xc3\xa9</field>"
                   "<field name=\"endCharset\" langId=\"2\">a|e</field><book>"
                   + field("bookId", "X") + "</book>" + field("errorCode", "5")
                   + field("errorDescription", "Accesso negato")),
            "error 5: Accesso negato charsets àè|é a|e");
        row("same version", Update, result(software(field("version", current) + field("download_url", "http://x/d"))),
            "false http://x/d");
        row("older version is offered too", Update,
            result(software(field("download_url", "http://x/d") + field("version", "0.0.9"))), "true http://x/d");
        row("version compared as exact text", Update, result(software(field("version", current + " "))), "true ");
        row("last of each name wins across software elements", Update,
            result(software(field("version", "9.0") + field("download_url", "http://a"))
                   + software(field("version", current))),
            "false http://a");
        row("errorCode does not apply", Update, result(field("errorCode", "9") + software(field("version", current))),
            "false ");
        row("fields outside software are ignored", Update,
            result(field("version", "2.0") + field("download_url", "http://x")),
            "error Risposta dal server non valida");
    }

    void replies()
    {
        QFETCH(int, service);
        QFETCH(QByteArray, bytes);
        QFETCH(QString, expected);
        server->respondWith(bytes);
        QString got = answer(Service(service));
        const QString start = AppSettings().startCharset("2");
        if (!start.isEmpty())
            got += " charsets " + start + ' ' + AppSettings().endCharset("2");
        QCOMPARE(got, expected);
    }

    // What the user typed leaves encoded exactly once (a '%' and two hex digits are text); the
    // diagnostics show the request line without the secret.
    void requests_data()
    {
        QTest::addColumn<int>("service");
        QTest::addColumn<QString>("user");
        QTest::addColumn<QString>("secret");
        QTest::addColumn<QByteArray>("target");
        QTest::addColumn<QString>("logged");
        const auto row = [](const char* name, Service service, const QString& user, const QString& secret,
                            const QByteArray& target, const QString& logged) {
            QTest::newRow(name) << int(service) << user << secret << target << logged;
        };
        const QByteArray login = "/api/zenta/login.xml?username=";
        row("login", Login, "mario rossi", " pà+ss&w=rd ", login + "mario%20rossi&password=%20p%C3%A0%2Bss%26w%3Drd%20",
            "login ws: 127.0.0.1" + login + "mario rossi&password=***");
        row("percent signs, hash", Login, "ab%41cd#100%", "x%2By%zz",
            login + "ab%2541cd%23100%25&password=x%252By%25zz",
            "login ws: 127.0.0.1" + login + "ab%2541cd%23100%25&password=***");
        row("library", Library, "mario", "pass word", "/api/zenta/getHistory.xml?username=mario&sessionId=pass%20word",
            "library ws: 127.0.0.1/api/zenta/getHistory.xml?username=mario&sessionId=***");
        row("version, not logged", Update, "", "", "/rest/server?method=getVersion", "");
    }

    void requests()
    {
        QFETCH(int, service);
        QFETCH(QString, user);
        QFETCH(QString, secret);
        QFETCH(QByteArray, target);
        QFETCH(QString, logged);
        server->respondWith(result(field("errorCode", "0") + software(field("version", "1"))));
        QVERIFY(!answer(Service(service), user, secret).startsWith("error"));
        QCOMPARE(server->targets, QList<QByteArray> { target });
        QCOMPARE(TestSupport::recorded().diagnostics.filter(" ws: ").join(""), logged.isEmpty() ? "" : logged + "\n");
    }

    // The second login replaces the first, whose reply never ends: one answer, the second one's.
    void secondLoginReplacesTheFirst()
    {
        server->respond([](const QByteArray& target) -> HttpTestServer::Answer {
            if (target.contains("username=primo"))
                return { "HTTP/1.1 200 X\r\nContent-Length: 60\r\n\r\n<result>", true };
            return { result(field("errorCode", "0")) };
        });
        const Outcome answer = ask<LoginWS>(&LoginWS::replySession, [this](LoginWS& login) {
            login.login("primo", "uno");
            QTRY_COMPARE(server->targets.size(), 1);
            login.login("secondo", "due");
        });
        QCOMPARE(answer.replied, QVariantList { "due" });
        QVERIFY(server->targets.value(1).contains("username=secondo"));
    }
};

VOCALUME_TEST_MAIN(TestWebServices)
#include "tst_webservices.moc"
