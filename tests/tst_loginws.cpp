// The login service and, through it, the reply frame that every service client shares.
#include "services/loginws.h"
#include "tests/support/httptestserver.h"
#include "tests/support/testsupport.h"

namespace {
// Every byte of a literal that holds zero bytes, without its terminator.
template <int N> QByteArray withZeros(const char (&text)[N])
{
    return QByteArray(text, N - 1);
}
}

class TestLoginWS : public QObject
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

    void replyFrame_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("error"); // empty: the login is accepted
        const auto ok = [](const QByteArray& body) { return HttpTestServer::reply(body); };
        const QString unreadable = "XML non interpretabile";
        QTest::newRow("not XML") << ok("Service Unavailable") << unreadable;
        QTest::newRow("root differs in case") << ok("<Result/>") << unreadable;
        QTest::newRow("code 0 with a description")
            << ok("<result><field name=\"errorCode\">0</field><field name=\"errorDescription\">Bene</field></result>")
            << "";
        QTest::newRow("no errorCode") << ok("<?xml version=\"1.0\"?><result><field name=\"other\">x</field></result>")
                                      << "";
        QTest::newRow("empty errorCode") << ok("<result><field name=\"errorCode\"></field></result>") << "";
        QTest::newRow("code 7 without description") << ok("<result><field name=\"errorCode\">7</field></result>")
                                                    << "7: ";
        QTest::newRow("later description replaces the earlier")
            << ok("<result><field name=\"errorCode\">2</field><field name=\"errorDescription\">a</field>"
                  "<field name=\"errorDescription\">b</field></result>") << "2: b";
        QTest::newRow("a later 0 does not clear the error")
            << ok("<result><field name=\"errorCode\">7</field><field name=\"errorCode\">0</field>"
                  "<field name=\"errorDescription\">d</field></result>") << "0: d";
        QTest::newRow("error fields only directly under result")
            << ok("<result><other><field name=\"errorCode\">9</field></other></result>") << "";
        QTest::newRow("decoding stops at a zero byte")
            << ok(withZeros("<result><field name=\"errorCode\">0</field></result>\0<junk")) << "";
        QTest::newRow("zero byte inside the document")
            << ok(withZeros("<result><field name=\"errorCode\">0\0</field></result>")) << unreadable;
        QTest::newRow("Latin-1 description")
            << ok("<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><result><field name=\"errorCode\">3</field>"
                  "<field name=\"errorDescription\">La sessione \xe8 scaduta</field></result>")
            << "3: La sessione è scaduta";
        QTest::newRow("dropped connection") << QByteArray() << "Errore di rete";
        QTest::newRow("HTTP failure status") << HttpTestServer::reply("<result/>", 500) << "Errore di rete";
    }

    void replyFrame()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, error);
        server->respondWith(bytes);
        LoginWS login;
        QSignalSpy session(&login, &LoginWS::replySession);
        QSignalSpy errors(&login, &LoginWS::errorMessage);
        login.login("mario", "segreta");
        QTRY_COMPARE(session.count() + errors.count(), 1);
        QTest::qWait(20);
        QCOMPARE(session.count() + errors.count(), 1);
        if (error.isEmpty())
            QCOMPARE(session.value(0).value(0).toString(), QStringLiteral("segreta"));
        else
            QCOMPARE(errors.value(0).value(0).toString(), error);
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
        QTest::newRow("percent and hex digits")
            << "ab%41cd" << "x%2By" << QByteArray("username=ab%2541cd&password=x%252By") << "";
        QTest::newRow("lone percent") << "100%" << "%zz" << QByteArray("username=100%25&password=%25zz") << "";
        QTest::newRow("non-ASCII and separators")
            << "è#" << "a&b=c" << QByteArray("username=%C3%A8%23&password=a%26b%3Dc") << "";
    }

    void queryValuesAreEncodedOnce()
    {
        QFETCH(QString, username);
        QFETCH(QString, password);
        QFETCH(QByteArray, query);
        QFETCH(QString, logged);
        const QByteArray body = "<result><field name=\"errorCode\">0</field></result>";
        server->respondWith(HttpTestServer::reply(body));
        LoginWS login;
        QSignalSpy session(&login, &LoginWS::replySession);
        login.login(username, password);
        QTRY_COMPARE(session.count(), 1);
        QCOMPARE(session.first().first().toString(), password);
        QCOMPARE(server->targets.value(0), "/api/zenta/login.xml?" + query);
        QCOMPARE(QUrl::fromPercentEncoding(query.split('&').value(1).mid(9)), password);
        const QStringList& diagnostics = TestSupport::recorded().diagnostics;
        if (!logged.isEmpty())
            QVERIFY(diagnostics.contains("login ws: 127.0.0.1/api/zenta/login.xml?" + logged + "\n"));
        QVERIFY(diagnostics.contains("Reply: " + body + "\n"));
    }

    // The second login replaces the first: one answer, the second one's, whatever the first's
    // reply was doing (here it never ends).
    void secondLoginReplacesTheFirst()
    {
        server->respond([](const QByteArray& target) -> HttpTestServer::Answer {
            if (target.contains("username=primo"))
                return { "HTTP/1.1 200 X\r\nContent-Length: 60\r\n\r\n<result>", true };
            return { HttpTestServer::reply("<result><field name=\"errorCode\">0</field></result>") };
        });
        LoginWS login;
        QSignalSpy session(&login, &LoginWS::replySession);
        QSignalSpy errors(&login, &LoginWS::errorMessage);
        login.login("primo", "uno");
        QTRY_COMPARE(server->targets.size(), 1);
        login.login("secondo", "due");
        QTRY_COMPARE(session.count(), 1);
        QTest::qWait(100);
        QCOMPARE(session.count(), 1);
        QCOMPARE(errors.count(), 0);
        QCOMPARE(session.at(0).first().toString(), QStringLiteral("due"));
        QCOMPARE(server->targets.size(), 2);
        QVERIFY(server->targets.at(1).contains("username=secondo"));
    }
};

VOCALUME_TEST_MAIN(TestLoginWS)
#include "tst_loginws.moc"
