// The login service and, through it, the reply frame that every service client shares.
#include "services/loginws.h"
#include "tests/support/serviceoutcome.h"
#include "tests/support/testsupport.h"

using namespace ServiceOutcome;

namespace {
// A reply of every byte of a literal that holds zero bytes, without its terminator.
template <int N> QByteArray withZeros(const char (&text)[N])
{
    return HttpTestServer::reply(QByteArray(text, N - 1));
}
}

class TestLoginWS : public QObject
{
    Q_OBJECT
private:
    QScopedPointer<HttpTestServer> server;

    Outcome login(const QByteArray& bytes, const QString& user = "mario", const QString& password = "segreta")
    {
        server->respondWith(bytes);
        return ask<LoginWS>(&LoginWS::replySession, [&](LoginWS& c) { c.login(user, password); });
    }

private slots:
    void init()
    {
        TestSupport::resetHome();
        server.reset(new HttpTestServer);
        server->makeCurrent();
    }

    void replyFrame_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("error"); // empty: the login is accepted
        const QString unreadable = "XML non interpretabile";
        const QByteArray code0 = field("errorCode", "0");
        QTest::newRow("not XML") << HttpTestServer::reply("Service Unavailable") << unreadable;
        QTest::newRow("root differs in case") << HttpTestServer::reply("<Result/>") << unreadable;
        QTest::newRow("code 0 with a description") << result(code0 + field("errorDescription", "Bene")) << "";
        QTest::newRow("no errorCode")
            << HttpTestServer::reply("<?xml version=\"1.0\"?><result>" + field("other", "x") + "</result>") << "";
        QTest::newRow("empty errorCode") << result(field("errorCode", "")) << "";
        QTest::newRow("code 7 without description") << result(field("errorCode", "7")) << "7: ";
        QTest::newRow("later description replaces the earlier")
            << result(field("errorCode", "2") + field("errorDescription", "a") + field("errorDescription", "b"))
            << "2: b";
        QTest::newRow("a later 0 does not clear the error")
            << result(field("errorCode", "7") + code0 + field("errorDescription", "d")) << "0: d";
        QTest::newRow("error fields only directly under result")
            << result("<other>" + field("errorCode", "9") + "</other>") << "";
        QTest::newRow("decoding stops at a zero byte")
            << withZeros("<result><field name=\"errorCode\">0</field></result>\0<junk") << "";
        QTest::newRow("zero byte inside the document")
            << withZeros("<result><field name=\"errorCode\">0\0</field></result>") << unreadable;
        QTest::newRow("Latin-1 description")
            << HttpTestServer::reply("<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><result>" + field("errorCode", "3")
                                     + field("errorDescription", "La sessione \xe8 scaduta") + "</result>")
            << "3: La sessione è scaduta";
        QTest::newRow("dropped connection") << QByteArray() << "Errore di rete";
        QTest::newRow("HTTP failure status") << HttpTestServer::reply("<result/>", 500) << "Errore di rete";
    }

    void replyFrame()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, error);
        const Outcome answer = login(bytes);
        QCOMPARE(answer.error, error);
        if (error.isEmpty())
            QCOMPARE(answer.replied, QVariantList { "segreta" });
    }

    // What the user typed leaves encoded exactly once: a '%' followed by two hex digits is text.
    void queryValuesAreEncodedOnce_data()
    {
        QTest::addColumn<QString>("username");
        QTest::addColumn<QString>("password");
        QTest::addColumn<QByteArray>("query");
        QTest::addColumn<QString>("logged"); // the request line of the diagnostics (never the password), when checked
        QTest::newRow("as typed") << "mario rossi" << " pà+ss&w=rd "
                                  << QByteArray("username=mario%20rossi&password=%20p%C3%A0%2Bss%26w%3Drd%20")
                                  << "username=mario rossi&password=***";
        QTest::newRow("percent signs, hash") << "ab%41cd#100%" << "x%2By%zz"
                                            << QByteArray("username=ab%2541cd%23100%25&password=x%252By%25zz") << "";
    }

    void queryValuesAreEncodedOnce()
    {
        QFETCH(QString, username);
        QFETCH(QString, password);
        QFETCH(QByteArray, query);
        QFETCH(QString, logged);
        const QByteArray body = "<result>" + field("errorCode", "0") + "</result>";
        QCOMPARE(login(HttpTestServer::reply(body), username, password).replied, QVariantList { password });
        QCOMPARE(server->targets.value(0), "/api/zenta/login.xml?" + query);
        const QStringList& diagnostics = TestSupport::recorded().diagnostics;
        if (!logged.isEmpty())
            QVERIFY(diagnostics.contains("login ws: 127.0.0.1/api/zenta/login.xml?" + logged + "\n"));
        QVERIFY(diagnostics.contains("Reply: " + body + "\n"));
    }

    // The second login replaces the first: one answer, the second one's, while the first's reply
    // never ends.
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

VOCALUME_TEST_MAIN(TestLoginWS)
#include "tst_loginws.moc"
