// The reference store service with its demo catalog, driven by the program's own service clients.
#include "app/appsettings.h"
#include "app/updatews.h"
#include "services/httpconnection.h"
#include "services/libraryws.h"
#include "services/loginws.h"
#include "services/serviceendpoint.h"
#include "services/servicerequest.h"
#include "tests/support/runningservice.h"
#include "tests/support/testsupport.h"

#include <QApplication>
#include <QImage>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>

namespace {
QByteArray package()
{
    QByteArray bytes(50000, Qt::Uninitialized);
    for (int i = 0; i < bytes.size(); ++i)
        bytes[i] = char(i * 31 % 251);
    return bytes;
}

QString downloadPath(const QString& sessionId, const QString& sku)
{
    return ServiceRequest::url(ServiceRequest::accountPath(QStringLiteral("/download.xml")),
                               { { QStringLiteral("username"), QStringLiteral("demo") },
                                 { QStringLiteral("sessionId"), sessionId },
                                 { QStringLiteral("sku"), sku + QStringLiteral(".zip") } })
        .toString(QUrl::FullyEncoded);
}
}

class TestStoreService : public QObject
{
    Q_OBJECT
private:
    QTemporaryDir packages;
    QScopedPointer<RunningService> service;

    void startService(const QStringList& options = {})
    {
        service.reset(new RunningService);
        if (!service->start(packages.path(), options))
            QFAIL("the store service did not start");
    }

    // Fetches `path` from the service (buffered): done's error flag, status and body.
    struct Fetched {
        bool error = true;
        int status = 0;
        QByteArray body;
    };
    Fetched fetch(const QString& path)
    {
        HttpConnection http;
        http.setHost(QStringLiteral("127.0.0.1"), service->port);
        QSignalSpy done(&http, &HttpConnection::done);
        http.get(path);
        Fetched result;
        if (!done.wait(10000))
            return result;
        result.error = done.first().first().toBool();
        result.status = http.statusCode();
        result.body = http.readAll();
        return result;
    }

private slots:
    void initTestCase()
    {
#ifndef VOCALUME_STORESERVICE
        QSKIP("the store service is not built");
#endif
        QFile file(packages.filePath(QStringLiteral("ZDEMO001.zip")));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(package());
    }

    void init() { TestSupport::resetHome(); }
    void cleanup() { service.reset(); }

    void login_data()
    {
        QTest::addColumn<QString>("password");
        QTest::addColumn<QString>("error");
        QTest::newRow("accepted") << "demo" << "";
        QTest::newRow("wrong password") << "Demo" << "1: Nome utente o password non validi";
        QTest::newRow("password with blanks") << " demo " << "1: Nome utente o password non validi";
    }

    void login()
    {
        QFETCH(QString, password);
        QFETCH(QString, error);
        startService();
        LoginWS login;
        QSignalSpy session(&login, &LoginWS::replySession);
        QSignalSpy errors(&login, &LoginWS::errorMessage);
        login.login(QStringLiteral("demo"), password);
        QTRY_COMPARE_WITH_TIMEOUT(session.count() + errors.count(), 1, 10000);
        if (error.isEmpty())
            QCOMPARE(session.first().first().toString(), password);
        else
            QCOMPARE(errors.first().first().toString(), error);
    }

    void historyListsTheCatalogAndStoresTheCharsets()
    {
        startService();
        LibraryWS library;
        QSignalSpy books(&library, &LibraryWS::replyLibrary);
        library.getHistory(QStringLiteral("demo"), QStringLiteral("demo"));
        QTRY_COMPARE_WITH_TIMEOUT(books.count(), 1, 10000);
        const QVector<Book> list = books.first().first().value<QVector<Book>>();
        QCOMPARE(list.size(), 3);
        QStringList ids, purchased;
        for (const Book& book : list) {
            ids << book.bookId;
            purchased << book.purchased;
            QCOMPARE(book.image, service->base() + QStringLiteral("/media/covers/") + book.bookId + QStringLiteral(".png"));
            QVERIFY(!book.title.isEmpty());
        }
        QCOMPARE(ids, QStringList({ "ZDEMO001", "ZDEMO002", "ZDEMO003" }));
        QCOMPARE(purchased, QStringList({ "true", "true", "false" }));
        QCOMPARE(list.at(0).subtitle, QString::fromUtf8("Edizione dimostrativa, più di cento voci"));
        QVERIFY(AppSettings().startCharset(QStringLiteral("it")).startsWith(QString::fromUtf8("à|")));
        QCOMPARE(AppSettings().startCharset(QStringLiteral("it")).count(QLatin1Char('|')),
                 AppSettings().endCharset(QStringLiteral("it")).count(QLatin1Char('|')));

        const Fetched cover = fetch(QUrl(list.at(2).image).path());
        QCOMPARE(cover.status, 200);
        const QImage image = QImage::fromData(cover.body);
        QVERIFY(!image.isNull());

        QSignalSpy errors(&library, &LibraryWS::errorMessage);
        library.getHistory(QStringLiteral("demo"), QStringLiteral("scaduta"));
        QTRY_COMPARE_WITH_TIMEOUT(errors.count(), 1, 10000);
        QVERIFY(errors.first().first().toString().startsWith(QStringLiteral("2: ")));
    }

    void download_data()
    {
        QTest::addColumn<QString>("session");
        QTest::addColumn<QString>("sku");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("errorCode");
        QTest::newRow("purchased") << "demo" << "ZDEMO001" << 200 << "";
        QTest::newRow("package file missing") << "demo" << "ZDEMO002" << 404 << "7";
        QTest::newRow("not purchased") << "demo" << "ZDEMO003" << 403 << "6";
        QTest::newRow("unknown sku") << "demo" << "../ZDEMO001" << 404 << "5";
        QTest::newRow("bad session") << "x" << "ZDEMO001" << 403 << "2";
    }

    void download()
    {
        QFETCH(QString, session);
        QFETCH(QString, sku);
        QFETCH(int, status);
        QFETCH(QString, errorCode);
        startService();
        const Fetched reply = fetch(downloadPath(session, sku));
        QCOMPARE(reply.error, false);
        QCOMPARE(reply.status, status);
        if (errorCode.isEmpty()) {
            QVERIFY(reply.body == package());
        } else {
            QVERIFY(reply.body.size() <= 8192); // the program takes small bodies for error replies
            QVERIFY(reply.body.contains("<field name=\"errorCode\">" + errorCode.toLatin1() + "</field>"));
        }
    }

    void streamedDownloadAndCutConnection()
    {
        startService({ QStringLiteral("--cut-after"), QStringLiteral("1000") });
        QTemporaryDir dir;
        QFile file(dir.filePath(QStringLiteral("ZDEMO001.zip")));
        QVERIFY(file.open(QIODevice::WriteOnly));
        HttpConnection http;
        http.setHost(QStringLiteral("127.0.0.1"), service->port);
        QSignalSpy done(&http, &HttpConnection::done);
        http.get(downloadPath(QStringLiteral("demo"), QStringLiteral("ZDEMO001")), &file);
        QVERIFY(done.wait(10000));
        QCOMPARE(done.first().first().toBool(), true);
        QCOMPARE(file.size(), qint64(1000));
    }

    void denyRefusesEverySessionButNotTheLogin()
    {
        startService({ QStringLiteral("--deny") });
        LoginWS login;
        QSignalSpy session(&login, &LoginWS::replySession);
        login.login(QStringLiteral("demo"), QStringLiteral("demo"));
        QTRY_COMPARE_WITH_TIMEOUT(session.count(), 1, 10000);

        LibraryWS library;
        QSignalSpy errors(&library, &LibraryWS::errorMessage);
        library.getHistory(QStringLiteral("demo"), QStringLiteral("demo"));
        QTRY_COMPARE_WITH_TIMEOUT(errors.count(), 1, 10000);
        QVERIFY(errors.first().first().toString().contains(QStringLiteral("Accesso negato")));

        const Fetched reply = fetch(downloadPath(QStringLiteral("demo"), QStringLiteral("ZDEMO001")));
        QVERIFY(reply.body.contains("Accesso negato"));
    }

    void versionAndStorePages()
    {
        startService();
        UpdateWS update;
        QSignalSpy replies(&update, &UpdateWS::replyUpdate);
        update.checkVersion();
        QTRY_COMPARE_WITH_TIMEOUT(replies.count(), 1, 10000);
        QCOMPARE(replies.first().at(0).toBool(), false);
        QCOMPARE(replies.first().at(1).toString(), service->base() + QStringLiteral("/software/"));

        const QList<QPair<QString, QByteArray>> pages = {
            { QStringLiteral("/customer/account/forgotpassword/"), "Password dimenticata" },
            { QStringLiteral("/customer/account/create/"), "Crea un nuovo account" },
            { QStringLiteral("/catalogsearch/result/?q=ZDEMO003"), "Dizionario Italiano-Inglese" },
            { QStringLiteral("/software/"), "1.1.0" },
        };
        for (const auto& page : pages) {
            const Fetched reply = fetch(page.first);
            QCOMPARE(reply.status, 200);
            QVERIFY2(reply.body.contains(page.second), qPrintable(page.first));
        }
    }
};

VOCALUME_TEST_MAIN(TestStoreService)
#include "tst_storeservice.moc"
