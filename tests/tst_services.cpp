// The services layer: the HTTP client against a scripted server; the login, library and version-check
// clients against canned replies; the reference store service with its demo catalog, as far as the
// program's other tests rely on it.
#include "base/appsettings.h"
#include "services/httpconnection.h"
#include "services/libraryws.h"
#include "services/loginws.h"
#include "services/servicerequest.h"
#include "services/updatews.h"
#include "tests/support/httptestserver.h"
#include "tests/support/storeserviceprocess.h"
#include "tests/support/testsupport.h"
#include "vocalumeconfig.h"

#include <QBuffer>
#include <QCryptographicHash>
#include <QElapsedTimer>

namespace {
QByteArray field(const QByteArray& name, const QByteArray& value)
{
    return "<field name=\"" + name + "\">" + value + "</field>";
}
QByteArray result(const QByteArray& inner) { return HttpTestServer::reply("<result>" + inner + "</result>"); }
QByteArray software(const QByteArray& fields) { return "<software>" + fields + "</software>"; }
// A reply of every byte of a literal that holds zero bytes, without its terminator.
template <int N> QByteArray withZeros(const char (&text)[N]) { return HttpTestServer::reply(QByteArray(text, N - 1)); }

struct Outcome {
    QVariantList replied; // the arguments of the reply signal
    QString error; // the error text; "<n> outcomes" when there were not exactly one
};
// Waits for the one outcome of what `ask` asks a new client.
template <typename Client, typename Reply, typename Ask> Outcome ask(Reply reply, Ask ask)
{
    Client client;
    QSignalSpy replies(&client, reply);
    QSignalSpy errors(&client, &Client::errorMessage);
    ask(client);
    if (QTest::qWaitFor([&] { return !replies.isEmpty() || !errors.isEmpty(); }, 5000))
        QTest::qWait(20); // a second outcome would have come by now
    if (replies.count() + errors.count() != 1)
        return { {}, QString::number(replies.count() + errors.count()) + " outcomes" };
    return { replies.value(0), errors.value(0).value(0).toString() };
}

enum Service { Login, Library, Update };
Outcome history(const QString& user, const QString& session)
{
    return ask<LibraryWS>(&LibraryWS::replyLibrary, [&](LibraryWS& c) { c.getHistory(user, session); });
}

// One answer as text: "error <text>", or the reply's arguments (books as their fields) by blanks.
QString answer(Service service, const QString& user = "mario", const QString& secret = "segreta")
{
    const Outcome o = service == Login
        ? ask<LoginWS>(&LoginWS::replySession, [&](LoginWS& c) { c.login(user, secret); })
        : service == Library ? history(user, secret)
                             : ask<UpdateWS>(&UpdateWS::replyUpdate, [](UpdateWS& c) { c.checkVersion(); });
    if (!o.error.isEmpty())
        return "error " + o.error;
    QStringList shown;
    for (const QVariant& value : o.replied)
        if (value.userType() != qMetaTypeId<QVector<Book>>())
            shown << value.toString();
    for (const Book& b : o.replied.value(0).value<QVector<Book>>())
        shown << QStringList { b.bookId, b.title, b.author, b.purchased, b.revision, b.destinationLanguageFlag }
                     .join('/');
    return shown.join(' ');
}

QString downloadPath(const QString& sessionId, const QString& sku)
{
    return ServiceRequest::url(ServiceRequest::accountPath("/download.xml"),
                               { { "username", "demo" }, { "sessionId", sessionId }, { "sku", sku + ".zip" } })
        .toString(QUrl::FullyEncoded);
}
}

#define WAIT_DONE(n) QTRY_COMPARE_WITH_TIMEOUT(doneSpy->count(), n, 10000)

class TestServices : public QObject
{
    Q_OBJECT
private:
    QScopedPointer<HttpTestServer> server;
    QScopedPointer<HttpConnection> http;
    QScopedPointer<QSignalSpy> doneSpy;
    // Whether each request that ended had failed, in order.
    QList<bool> ends;
    QTemporaryDir packages;
    const QByteArray package = TestSupport::noise(50000);
    RunningService store;

    bool lastError() const { return ends.last(); }
    // Points the clients at the reference service; false when it is not built.
    bool useStore() const
    {
        ServiceEndpoint::setCurrent({ "127.0.0.1", store.port });
        http->setServer(ServiceEndpoint::current());
        return store.port;
    }
    // Waits for the reply to a GET on the reference service; the previous reply is read away.
    void get(const QString& path, const HttpConnection::Headers& headers = {})
    {
        http->readAll();
        const int done = doneSpy->count();
        http->get(path, nullptr, headers);
        WAIT_DONE(done + 1);
    }

private slots:
    void initTestCase()
    {
        // An open dictionary is listed once its package is built, weighing its size in megabytes.
        QVERIFY(TestSupport::writeFile(packages.filePath("ZDEMO001.zip"), package));
        QVERIFY(TestSupport::writeFile(packages.filePath("ZOPEN003.zip"), TestSupport::noise(3 * 1024 * 1024 + 1)));
#ifdef VOCALUME_STORESERVICE
        QVERIFY(store.start(packages.path()));
#endif
    }

    void init()
    {
        TestSupport::resetHome();
        server.reset(new HttpTestServer);
        server->makeCurrent();
        http.reset(new HttpConnection);
        http->setServer({ "127.0.0.1", server->port() });
        doneSpy.reset(new QSignalSpy(http.data(), &HttpConnection::finished));
        ends.clear();
        connect(http.data(), &HttpConnection::finished, this, [this] { ends << (http->error() != HttpConnection::Error::None); });
    }

    // A reply that arrived whole is no error whatever its status; its body is what follows the head.
    void outcomes_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<bool>("hold");      // the server keeps the connection open after the bytes
        QTest::addColumn<qint64>("bound");   // of buffered bodies; 0: the default
        QTest::addColumn<int>("timeout");    // 0: the default
        QTest::addColumn<bool>("error");
        QTest::addColumn<int>("status");     // 0 when no reply arrived
        const auto row = [](const char* name, const QByteArray& bytes, bool error, int status, bool hold = false,
                            qint64 bound = 0, int timeout = 0) {
            QTest::newRow(name) << bytes << hold << bound << timeout << error << status;
        };
        const QByteArray body = "<result>corpo</result>";
        const QByteArray small = "HTTP/1.0 200 OK\r\n\r\n" + TestSupport::noise(4096);
        row("ok", HttpTestServer::reply(body), false, 200);
        row("redirect is not followed", HttpTestServer::reply(body, 302, "Location: /\r\n"), false, 302);
        // Statuses the network stack reports as failures of its own (an invalid operation, a proxy).
        for (const int status : { 400, 407, 418 })
            QTest::addRow("%d is a reply", status) << HttpTestServer::reply(body, status) << false << qint64(0) << 0
                                                   << false << status;
        row("closed before any reply", "", true, 0);
        row("body shorter than Content-Length", "HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\n" + body, true, 200);
        row("not HTTP", "220 welcome to something else\r\n", true, 0);
        // Only the announced length can end this one: the connection stays open.
        row("default bound, larger length announced", "HTTP/1.1 200 OK\r\nContent-Length: "
            + QByteArray::number(HttpConnection::DefaultMaximumBufferedBody + 1) + "\r\n\r\n", true, 200, true);
        row("length announced at the bound", HttpTestServer::reply(TestSupport::noise(4096)), false, 200, false, 4096);
        row("no length, body one byte over", small, true, 200, false, 4095);
        row("no length, body at the bound", small, false, 200, false, 4096);
        row("inactivity", "HTTP/1.1 200 OK\r\nContent-Length: 10\r\n\r\nabc", true, 200, true, 0, 300);
    }

    void outcomes()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(bool, hold);
        QFETCH(qint64, bound);
        QFETCH(int, timeout);
        QFETCH(bool, error);
        QFETCH(int, status);
        if (bound)
            http->setMaximumBufferedBody(bound);
        if (timeout)
            http->setTimeout(timeout);
        server->respond([=](const QByteArray&) { return HttpTestServer::Answer(bytes, hold); });
        QElapsedTimer clock;
        clock.start();
        http->get("/api/zenta/login.xml?username=a%20b&password=c%26d");
        WAIT_DONE(1);
        QCOMPARE(lastError(), error);
        QCOMPARE(http->statusCode(), status);
        QVERIFY(clock.elapsed() >= timeout * 4 / 5);
        if (!error) {
            QVERIFY(http->readAll() == bytes.mid(bytes.indexOf("\r\n\r\n") + 4));
            QCOMPARE(server->targets.value(0), "/api/zenta/login.xml?username=a%20b&password=c%26d");
        }
        QCOMPARE(http->bytesAvailable(), qint64(0));
    }

    // Requests go one at a time: the first reply stops three bytes short until the test releases
    // it, and a third request is issued from the slot that reads the second, when the queue is
    // empty. Then abort() ends a held request at once and drops the one queued behind it.
    void requestsQueueOneAtATimeUntilAborted()
    {
        server->respond([](const QByteArray& target) {
            const QByteArray whole = HttpTestServer::reply("body of " + target);
            return target.startsWith("/held") ? HttpTestServer::Answer { whole.chopped(3), true } : whole;
        });
        QList<QByteArray> bodies;
        connect(http.data(), &HttpConnection::finished, this, [&bodies, this] {
            bodies << http->readAll();
            if (bodies.size() == 2)
                http->get("/again");
        });
        http->get("/held1");
        http->get("/second");
        QTRY_COMPARE(server->targets.size(), 1);
        QTest::qWait(200);
        QCOMPARE(server->targets.size(), 1); // the second waits for the first reply
        QCOMPARE(doneSpy->count(), 0);
        server->held.first()->write("ld1"); // the three bytes the reply still owes
        server->held.first()->disconnectFromHost();
        WAIT_DONE(3);
        QCOMPARE(bodies, QList<QByteArray>({ "body of /held1", "body of /second", "body of /again" }));
        QCOMPARE(ends, QList<bool>({ false, false, false }));

        http->get("/held2");
        http->get("/queued");
        QTRY_COMPARE(server->targets.size(), 4);
        http->abort();
        QCOMPARE(ends.size(), 4); // before abort() returns
        QVERIFY(ends.last());
        QCOMPARE(http->bytesAvailable(), qint64(0));
        http->abort(); // nothing pending: no signal
        QCOMPARE(doneSpy->count(), 4);
        http->get("/after");
        WAIT_DONE(5);
        QCOMPARE(bodies.last(), QByteArray("body of /after"));
        QCOMPARE(server->targets, QList<QByteArray>({ "/held1", "/second", "/again", "/held2", "/after" }));
    }

    void streamingWritesIntoTheDeviceAsBytesArrive()
    {
        QBuffer sink;
        QVERIFY(sink.open(QIODevice::WriteOnly));
        const QByteArray body = TestSupport::noise(6 * 1024 * 1024);
        const int half = body.size() / 2;
        const QByteArray head = "HTTP/1.1 200 OK\r\nContent-Length: " + QByteArray::number(body.size()) + "\r\n\r\n";
        server->respond([&](const QByteArray&) { return HttpTestServer::Answer(head + body.left(half), true); });
        QSignalSpy progress(http.data(), &HttpConnection::dataReadProgress);
        http->get("/api/zenta/download.xml?sku=a.zip", &sink);
        // Half the body is written while the reply is still open.
        QTRY_COMPARE_WITH_TIMEOUT(sink.size(), qint64(half), 10000);
        QCOMPARE(doneSpy->count(), 0);
        QCOMPARE(http->bytesAvailable(), qint64(0));
        server->held.first()->write(body.mid(half));
        server->held.first()->disconnectFromHost();
        WAIT_DONE(1);
        QCOMPARE(lastError(), false);
        QVERIFY(sink.data() == body);
        QCOMPARE(progress.last(), QList<QVariant>({ body.size(), body.size() }));

        // A device that refuses the bytes fails the request.
        QBuffer readOnly;
        QVERIFY(readOnly.open(QIODevice::ReadOnly));
        server->respondWith(HttpTestServer::reply(body.left(20000)));
        QTest::ignoreMessage(QtWarningMsg, "QIODevice::write (QBuffer): ReadOnly device");
        http->get("/x", &readOnly);
        WAIT_DONE(2);
        QCOMPARE(lastError(), true);
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
        row("a later 0 does not clear the error, nor name it", Login,
            result(field("errorCode", "7") + code0 + field("errorDescription", "d")), "error 7: d");
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
        // A whole document in a reply that promised more is still a transfer cut short.
        row("reply cut short after a whole document", Login,
            "HTTP/1.1 200 OK\r\nContent-Length: 1000\r\n\r\n<result>" + code0 + "</result>", network);
        row("HTTP failure status", Login, HttpTestServer::reply("<result/>", 500), network);
        row("HTTP refusal status", Login, HttpTestServer::reply("<result/>", 404), network);
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
        row("login", Login, "mario rossi%41#", " pà+ss&w=rd%2B%zz ",
            login + "mario%20rossi%2541%23&password=%20p%C3%A0%2Bss%26w%3Drd%252B%25zz%20",
            "login ws: 127.0.0.1" + login + "mario rossi%2541%23&password=***");
        row("library", Library, "mario", "pass word", "/api/zenta/getHistory.xml?username=mario&sessionId=pass%20word",
            "library ws: 127.0.0.1/api/zenta/getHistory.xml?username=mario&sessionId=***");
    }

    void requests()
    {
        QFETCH(int, service);
        QFETCH(QString, user);
        QFETCH(QString, secret);
        QFETCH(QByteArray, target);
        QFETCH(QString, logged);
        server->respondWith(result(field("errorCode", "0")));
        QVERIFY(!answer(Service(service), user, secret).startsWith("error"));
        QCOMPARE(server->targets, QList<QByteArray> { target });
        QCOMPARE(TestSupport::recorded().diagnostics.filter(" ws: "), QStringList { logged + "\n" });
    }

    // The second login replaces the first, whose reply never ends: one answer, the second one's.
    void secondLoginReplacesTheFirst()
    {
        server->respond([](const QByteArray& target) -> HttpTestServer::Answer {
            if (target.contains("username=primo"))
                return { "HTTP/1.1 200 X\r\nContent-Length: 60\r\n\r\n<result>", true };
            return { result(field("errorCode", "0")) };
        });
        QCOMPARE(ask<LoginWS>(&LoginWS::replySession, [this](LoginWS& login) {
                     login.login("primo", "uno");
                     QTRY_COMPARE(server->targets.size(), 1);
                     login.login("secondo", "due");
                 }).replied,
                 QVariantList { "due" });
        QVERIFY(server->targets.value(1).contains("username=secondo"));
    }

    void storeAnswersTheClients()
    {
        if (!useStore())
            QSKIP("the store service is not built");
        const QVector<Book> list = history("demo", "demo").replied.value(0).value<QVector<Book>>();
        QStringList listed;
        for (const Book& book : list)
            listed << book.bookId + "/" + book.purchased;
        QCOMPARE(listed, QStringList({ "ZDEMO001/true", "ZDEMO002/true", "ZDEMO003/false", "ZOPEN003/true" }));
        QCOMPARE(list.last().weight, QStringLiteral("4"));
        // The digest is of the package the service has; none without one.
        QCOMPARE(list.at(0).sha256, QString(QCryptographicHash::hash(package, QCryptographicHash::Sha256).toHex()));
        QCOMPARE(list.at(1).sha256, QString());
        const AppSettings settings;
        QVERIFY(settings.startCharset("it").startsWith("à|"));
        QCOMPARE(settings.startCharset("it").count('|'), settings.endCharset("it").count('|'));
        QVERIFY(history("demo", "scaduta").error.startsWith("2: "));
        // A demo run offers no update, and a download page it serves itself.
        QCOMPARE(answer(Update), "false " + store.base() + "/software/");
        get("/software/");
        QCOMPARE(http->statusCode(), 200);
    }

    // A package in whole or from a byte on (an interrupted download continues so), or a small XML
    // refusal: the program buffers those, not packages.
    void storeDownload_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QByteArray>("range");
        QTest::addColumn<QByteArray>("ifRange"); // "tag", "date": the package's own ETag, Last-Modified
        QTest::addColumn<int>("status");
        QTest::addColumn<int>("from"); // the body is the package from this byte on
        QTest::addColumn<QByteArray>("errorCode"); // of a refusal
        const auto row = [](const char* name, const QByteArray& range, const QByteArray& ifRange, int status,
                            int from, const QString& session = "demo", const QString& sku = "ZDEMO001",
                            const QByteArray& code = {}) {
            QTest::newRow(name) << downloadPath(session, sku) << range << ifRange << status << from << code;
        };
        row("purchased", "", "", 200, 0);
        row("from a byte on", "bytes=30000-", "", 206, 30000);
        row("if the tag holds", "bytes=30000-", "tag", 206, 30000);
        row("if the date holds", "bytes=49999-", "date", 206, 49999);
        row("if another tag holds: all", "bytes=30000-", "\"x\"", 200, 0);
        row("beyond the end", "bytes=50000-", "", 416, 50000);
        row("not purchased", "", "", 403, 0, "demo", "ZDEMO003", "6");
        row("unknown sku", "", "", 404, 0, "demo", "../ZDEMO001", "5");
        row("bad session", "", "", 403, 0, "x", "ZDEMO001", "2");
    }

    void storeDownload()
    {
        QFETCH(QString, path);
        QFETCH(QByteArray, range);
        QFETCH(QByteArray, ifRange);
        QFETCH(int, status);
        QFETCH(int, from);
        QFETCH(QByteArray, errorCode);
        if (!useStore())
            QSKIP("the store service is not built");
        get(downloadPath("demo", "ZDEMO001"));
        const QByteArray tag = http->replyHeader("ETag"), date = http->replyHeader("Last-Modified");
        QVERIFY(tag.startsWith('"') && !date.isEmpty());
        HttpConnection::Headers headers;
        if (!range.isEmpty())
            headers << qMakePair(QByteArray("Range"), range);
        if (!ifRange.isEmpty())
            headers << qMakePair(QByteArray("If-Range"), ifRange == "tag" ? tag : ifRange == "date" ? date : ifRange);
        get(path, headers);
        QCOMPARE(lastError(), false);
        QCOMPARE(http->statusCode(), status);
        const QByteArray body = http->readAll();
        if (!errorCode.isEmpty()) {
            QVERIFY(body.size() <= 8192 && body.contains(field("errorCode", errorCode)));
            return;
        }
        QCOMPARE(http->replyHeader("ETag"), tag);
        QVERIFY(body == package.mid(from));
        QCOMPARE(http->replyHeader("Content-Range"), status == 206 ? "bytes " + QByteArray::number(from) + "-49999/50000"
                                                 : status == 416 ? QByteArray("bytes */50000") : QByteArray());
    }
};

VOCALUME_TEST_MAIN(TestServices)
#include "tst_services.moc"
