// Dictionary downloads as the page drives them through the bridge, against a scripted server:
// what the page hears (progress, failure, wait, completion), the files left in the books
// folder, the installed book and its STATUS, cancelling, replacing and overlapping downloads.
#include "app/appsettings.h"
#include "app/mainwindow.h"
#include "packages/download.h"
#include "store/webstore.h"
#include "tests/support/httptestserver.h"
#include "tests/support/testsupport.h"
#include "web/customagentwebview.h"
#include "web/qtjavascriptinteraction.h"

#include <QApplication>
#include <QPointer>
#include <QScopeGuard>
#include <QRegularExpression>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTimer>
#include <QWebFrame>
#include <QWebPage>
#include <fcntl.h>
#include <unistd.h>

namespace {
const QString failureLiteral = QStringLiteral(
    "{result:false,error:\"Si è verificato un errore nello scaricamento del dizionario\"}");

QByteArray noise(int size, uint seed)
{
    QByteArray bytes(size, Qt::Uninitialized);
    for (int i = 0; i < size; ++i) {
        seed = seed * 1103515245u + 12345u;
        bytes[i] = char(seed >> 16);
    }
    return bytes;
}

QString waitStatement(const QString& callback)
{
    return QStringLiteral("SignalQt('%1', '{result:false, progress:\"wait\"}', 'true')").arg(callback);
}

QString finalStatement(const QString& callback)
{
    return QStringLiteral("SignalQt('%1', '{result:true,error:\\'\\',progress:\\'100\\'}')").arg(callback);
}

QByteArray head(const QByteArray& headers)
{
    return "HTTP/1.1 200 OK\r\nContent-Type: application/zip\r\n" + headers + "\r\n";
}
}

class TestDownload : public QObject
{
    Q_OBJECT
private:
    QScopedPointer<HttpTestServer> server;
    MainWindow* window = nullptr;
    QStringList messages;
    // What the server answers for a package: the head and the first piece at once, the rest
    // one piece every 80 ms (the network stack reports progress at most every 50 ms).
    QHash<QByteArray, QList<QByteArray>> replies;
    QSet<QByteArray> keptOpen; // packages whose one piece is sent and whose connection stays open
    QList<QTimer*> feeders;

    QString books() const { return TestSupport::dataDirectory() + QStringLiteral("/engine/books"); }
    QStringList booksEntries() const { return QDir(books()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot); }

    static QByteArray package(const QByteArray& database, int extraFiles = 0)
    {
        QList<QPair<QString, QByteArray>> entries { { QStringLiteral("database.db"), database },
                                                    { QStringLiteral("voci/"), QByteArray() } };
        for (int i = 0; i < extraFiles; ++i)
            entries << qMakePair(QStringLiteral("voci/v%1.html.zip").arg(i), QByteArray("voce ") + QByteArray::number(i));
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("p.zip"));
        if (!TestSupport::writeZip(path, entries))
            return QByteArray();
        QFile file(path);
        file.open(QIODevice::ReadOnly);
        return file.readAll();
    }

    // Serves `bytes` for `sku` in `pieces` parts, announcing the length unless told not to.
    void serve(const QByteArray& sku, const QByteArray& bytes, int pieces = 4, bool announce = true)
    {
        QList<QByteArray> parts;
        const int step = (bytes.size() + pieces - 1) / pieces;
        for (int at = 0; at < bytes.size(); at += step)
            parts << bytes.mid(at, step);
        parts.first().prepend(head(announce ? "Content-Length: " + QByteArray::number(bytes.size()) + "\r\n"
                                            : "Connection: close\r\n"));
        replies.insert(sku, parts);
    }

    void startServer()
    {
        server.reset(new HttpTestServer);
        server->makeCurrent();
        server->respond([this](const QByteArray& target) -> HttpTestServer::Answer {
            const QByteArray sku = target.mid(target.indexOf("&sku=") + 5).replace(".zip", "");
            if (!target.startsWith("/api/zenta/download.xml"))
                return { HttpTestServer::reply("<result/>"), false };
            if (!replies.contains(sku))
                return { QByteArray(), true }; // never answered
            QList<QByteArray> parts = replies.value(sku);
            const QByteArray first = parts.takeFirst();
            if (parts.isEmpty())
                return { first, keptOpen.contains(sku) };
            feed(parts);
            return { first, true };
        });
    }

    void feed(QList<QByteArray> parts)
    {
        const int socketIndex = server->held.size();
        QTimer* timer = new QTimer(this);
        feeders << timer;
        connect(timer, &QTimer::timeout, this, [this, timer, socketIndex, parts]() mutable {
            QTcpSocket* socket = server->held.value(socketIndex);
            if (!socket) {
                timer->stop();
                return;
            }
            socket->write(parts.takeFirst());
            if (parts.isEmpty()) {
                socket->disconnectFromHost();
                timer->stop();
            }
        });
        timer->start(80);
    }

    void openWindow()
    {
        window = new MainWindow;
        connect(window->statusBar(), &QStatusBar::messageChanged, this, [this](const QString& m) { messages << m; });
        QTest::qWait(150);
        QTRY_VERIFY(window->webView->page()->mainFrame()->url().isValid());
        // Signed in only now, so the start-up synchronisation leaves the test's library alone.
        AppSettings settings;
        settings.setUsername(QStringLiteral("mario"));
        settings.setSessionId(QStringLiteral("segreto"));
    }

    void setLibrary(const QStringList& skus)
    {
        window->libraryBooks.clear();
        WebStore store(window->db, window);
        QVERIFY(store.open({ QStringLiteral("x"), [](const QString&, const QString&) { return QStringLiteral("x"); } }));
        int counter = store.maxId();
        for (const QString& sku : skus) {
            Book book;
            book.bookId = sku;
            window->libraryBooks << book;
            store.insert(counter, sku, QStringLiteral("STATUS"), QStringLiteral("0"));
        }
        store.close();
    }

    QString status(const QString& sku)
    {
        WebStore store(window->db, window);
        if (!store.open({ QStringLiteral("x"), [](const QString&, const QString&) { return QStringLiteral("x"); } }))
            return QStringLiteral("<no store>");
        const QString value = store.value(sku, QStringLiteral("STATUS"));
        store.close();
        return value;
    }

    QList<QByteArray> downloadRequests() const
    {
        QList<QByteArray> out;
        for (const QByteArray& target : server->targets)
            if (target.startsWith("/api/zenta/download.xml"))
                out << target;
        return out;
    }

    static QStringList heard(const QString& callback)
    {
        return TestSupport::recorded().statements.filter(QStringLiteral("SignalQt('") + callback + QLatin1Char('\''));
    }

    // The statements of `callback` without its progress notifications.
    static QStringList outcomes(const QString& callback)
    {
        QStringList out;
        for (const QString& s : heard(callback))
            if (!s.contains(QLatin1String("progress:\"")) || s.contains(QLatin1String("\"wait\"")))
                out << s;
        return out;
    }

    static bool waitForOutcome(const QString& callback, int count = 1)
    {
        return QTest::qWaitFor([&] { return outcomes(callback).size() == count; }, 10000);
    }

private slots:
    void init()
    {
        TestSupport::resetHome();
        messages.clear();
        replies.clear();
        keptOpen.clear();
        startServer();
        openWindow();
    }

    void cleanup()
    {
        qDeleteAll(feeders);
        feeders.clear();
        delete window;
        window = nullptr;
        server.reset();
    }

    void progressLiteral_data()
    {
        QTest::addColumn<int>("done");
        QTest::addColumn<int>("total");
        QTest::addColumn<QString>("literal");
        QTest::newRow("start") << 0 << 1000 << "{result:false,progress:\"0\",size:\"0.0\"}";
        QTest::newRow("99.9 %") << 9990 << 10000 << "{result:false,progress:\"99\",size:\"0.0\"}";
        QTest::newRow("100 %") << 10000 << 10000 << "";
        QTest::newRow("last byte of 200 MiB") << 209715199 << 209715200 << "";
        QTest::newRow("5 MiB") << 2621440 << 5242880 << "{result:false,progress:\"50\",size:\"5.0\"}";
        QTest::newRow("size rounded") << 0 << 1101005 << "{result:false,progress:\"0\",size:\"1.1\"}";
        QTest::newRow("size unknown") << 70000 << 0 << "{result:false,progress:\"0\",size:\"0.0\"}";
    }

    void progressLiteral()
    {
        QFETCH(int, done);
        QFETCH(int, total);
        QFETCH(QString, literal);
        QCOMPARE(Download::progressLiteral(done, total), literal);
    }

    void downloadInstallsTheDictionary()
    {
        setLibrary({ "ZB", "ZA" });
        const QByteArray database = noise(40000, 1);
        serve("ZA", package(database));
        window->bridge->download(QStringLiteral("ZA"), QStringLiteral("onDl"));
        QVERIFY(waitForOutcome(QStringLiteral("onDl"), 2));

        QCOMPARE(downloadRequests(), QList<QByteArray>{"/api/zenta/download.xml?username=mario&sessionId=segreto&sku=ZA.zip"});
        QStringList statements = heard(QStringLiteral("onDl"));
        QCOMPARE(statements.takeLast(), finalStatement(QStringLiteral("onDl")));
        QCOMPARE(statements.takeLast(), waitStatement(QStringLiteral("onDl")));
        QVERIFY(!statements.isEmpty());
        const QRegularExpression progress(QStringLiteral(
            "^SignalQt\\('onDl', '\\{result:false,progress:\"(\\d+)\",size:\"0\\.0\"\\}', 'true'\\)$"));
        int last = -1;
        for (const QString& s : statements) {
            const QRegularExpressionMatch m = progress.match(s);
            QVERIFY2(m.hasMatch(), qPrintable(s));
            QVERIFY(m.captured(1).toInt() >= last && m.captured(1).toInt() <= 99);
            last = m.captured(1).toInt();
        }

        QFile installed(books() + QStringLiteral("/ZA/database.db"));
        QVERIFY(installed.open(QIODevice::ReadOnly));
        QVERIFY(installed.readAll() == database);
        QVERIFY(QFileInfo(books() + QStringLiteral("/ZA/voci")).isDir());
        QCOMPARE(booksEntries(), QStringList{"ZA"});
        QCOMPARE(status(QStringLiteral("ZA")), QStringLiteral("1"));
        QCOMPARE(status(QStringLiteral("ZB")), QStringLiteral("0"));
        QCOMPARE(window->bridge->bookId, QStringLiteral("ZA"));
        QVERIFY(!window->unpacking);
        QVERIFY(TestSupport::diagnosticsContain(QStringLiteral("Libro non trovato ZA!!")));
        QVERIFY(TestSupport::diagnosticsContain(QStringLiteral("Libro trovato!!")));
        QVERIFY(TestSupport::diagnosticsContain(
            QStringLiteral("Query: UPDATE SYSTEM set VALUE='1' where VARIABLE='STATUS' and REFBOOK='ZA'")));
        QVERIFY(TestSupport::diagnosticsContain(QStringLiteral("Done: ") + finalStatement(QStringLiteral("onDl"))));
    }

    void sizeUnknownIsReportedAsZero()
    {
        setLibrary({ "ZA" });
        serve("ZA", package(noise(40000, 2)), 4, false);
        window->bridge->download(QStringLiteral("ZA"), QStringLiteral("onDl"));
        QVERIFY(waitForOutcome(QStringLiteral("onDl"), 2));
        const QStringList statements = heard(QStringLiteral("onDl"));
        QVERIFY(statements.size() > 2);
        for (const QString& s : statements.mid(0, statements.size() - 2))
            QCOMPARE(s, QStringLiteral("SignalQt('onDl', '{result:false,progress:\"0\",size:\"0.0\"}', 'true')"));
        QVERIFY(QFile::exists(books() + QStringLiteral("/ZA/database.db")));
    }

    void failures_data()
    {
        QTest::addColumn<QByteArray>("reply");
        QTest::newRow("404 with a large body") << HttpTestServer::reply(noise(50000, 3), 404);
        QTest::newRow("8192 bytes") << HttpTestServer::reply(noise(8192, 4));
        QTest::newRow("shorter than its length")
            << head("Content-Length: 60000\r\nConnection: close\r\n") + noise(50000, 5);
    }

    void failures()
    {
        QFETCH(QByteArray, reply);
        setLibrary({ "ZA" });
        replies.insert("ZA", { reply });
        window->bridge->download(QStringLiteral("ZA"), QStringLiteral("onDl"));
        QVERIFY(waitForOutcome(QStringLiteral("onDl")));
        QTest::qWait(100);
        QCOMPARE(outcomes(QStringLiteral("onDl")), QStringList{QStringLiteral("SignalQt('onDl', '%1')").arg(failureLiteral)});
        QVERIFY(messages.contains(QStringLiteral("Si è verificato un errore nello scaricamento del dizionario")));
        QCOMPARE(booksEntries(), QStringList());
        QCOMPARE(status(QStringLiteral("ZA")), QStringLiteral("0"));
    }

    void cancel_data()
    {
        QTest::addColumn<bool>("bytesFirst");
        QTest::newRow("before any byte") << false;
        QTest::newRow("mid-transfer") << true;
    }

    void cancel()
    {
        QFETCH(bool, bytesFirst);
        setLibrary({ "ZA" });
        if (bytesFirst)
            serve("ZA", package(noise(400000, 6)), 40);
        window->bridge->download(QStringLiteral("ZA"), QStringLiteral("onDl"));
        QTRY_COMPARE(downloadRequests().size(), 1);
        if (bytesFirst)
            QTRY_VERIFY(QFileInfo(books() + QStringLiteral("/ZA.zip.part")).size() > 20000);
        window->bridge->cancelDownload();
        QTest::qWait(300);
        QCOMPARE(outcomes(QStringLiteral("onDl")), QStringList());
        QVERIFY(messages.contains(QStringLiteral("Download interrotto dall'utente")));
        QCOMPARE(booksEntries(), QStringList());
        QVERIFY(TestSupport::diagnosticsContain(QStringLiteral("cancel download ZA")));
    }

    void cancelWithoutOrAfterADownload()
    {
        window->bridge->cancelDownload();
        QVERIFY(TestSupport::diagnosticsContain(QStringLiteral("cancel download ")));
        QVERIFY(!messages.contains(QStringLiteral("Download interrotto dall'utente")));

        setLibrary({ "ZA" });
        serve("ZA", package(noise(20000, 7)), 1);
        window->bridge->download(QStringLiteral("ZA"), QStringLiteral("onDl"));
        QVERIFY(waitForOutcome(QStringLiteral("onDl"), 2));
        const int before = heard(QStringLiteral("onDl")).size();
        window->bridge->cancelDownload();
        QTest::qWait(100);
        QCOMPARE(heard(QStringLiteral("onDl")).size(), before);
        QCOMPARE(booksEntries(), QStringList{"ZA"});
        QCOMPARE(status(QStringLiteral("ZA")), QStringLiteral("1"));
    }

    void secondDownloadReplacesTheFirst()
    {
        setLibrary({ "ZA" });
        window->bridge->download(QStringLiteral("ZA"), QStringLiteral("onFirst")); // never answered
        QTRY_COMPARE(downloadRequests().size(), 1);
        QPointer<Download> first = window->bridge->downloads.value(QStringLiteral("ZA"));
        QVERIFY(first);

        serve("ZA", package(noise(20000, 8)));
        window->bridge->download(QStringLiteral("ZA"), QStringLiteral("onSecond"));
        QVERIFY(!first);
        QVERIFY(TestSupport::diagnosticsContain(QStringLiteral("deleting download structure for ZA")));
        QCOMPARE(window->bridge->downloads.size(), 1);
        QVERIFY(waitForOutcome(QStringLiteral("onSecond"), 2));
        QCOMPARE(heard(QStringLiteral("onFirst")), QStringList());
        QCOMPARE(booksEntries(), QStringList{"ZA"});
    }

    void bookFolderThatCannotBeRemovedIsKept()
    {
        // A name that is not valid in the file-name encoding can be listed but not removed by
        // name, even by a privileged user.
        const QByteArray stuck = "\xff\xfe";
        if (QFile::encodeName(QFile::decodeName(stuck)) == stuck)
            QSKIP("the file-name encoding takes any byte");
        setLibrary({ "ZA" });
        QVERIFY(QDir().mkpath(books() + QStringLiteral("/ZA")));
        const QByteArray stuckPath = QFile::encodeName(books() + QStringLiteral("/ZA/")) + stuck;
        const int fd = ::open(stuckPath.constData(), O_CREAT | O_WRONLY, 0600);
        QVERIFY(fd >= 0);
        ::close(fd);
        const auto removeStuck = qScopeGuard([&] { ::unlink(stuckPath.constData()); });

        serve("ZA", package(noise(20000, 9)));
        window->bridge->download(QStringLiteral("ZA"), QStringLiteral("onDl"));
        QVERIFY(waitForOutcome(QStringLiteral("onDl"), 2));
        QVERIFY(TestSupport::diagnosticsContain(QStringLiteral("Errori nella rimozione vecchio libro ZA")));
        QCOMPARE(outcomes(QStringLiteral("onDl")).last(), finalStatement(QStringLiteral("onDl")));
        QVERIFY(!QFile::exists(books() + QStringLiteral("/ZA/database.db")));
        QVERIFY(QFile::exists(books() + QStringLiteral("/ZA.zip")));
        QCOMPARE(status(QStringLiteral("ZA")), QStringLiteral("1"));
    }

    void packageArrivingDuringAnUnpackWaits()
    {
        setLibrary({ "ZA", "ZB" });
        serve("ZA", package(noise(20000, 10), 3000), 1);
        // ZB's last piece is held back until ZA is being unpacked.
        const QByteArray second = package(noise(20000, 11));
        replies.insert("ZB", { head("Content-Length: " + QByteArray::number(second.size()) + "\r\n") + second.chopped(100) });
        keptOpen.insert("ZB");
        QTimer release;
        connect(&release, &QTimer::timeout, this, [&] {
            if (!window->unpacking || server->held.isEmpty())
                return;
            release.stop();
            server->held.last()->write(second.right(100));
            server->held.last()->disconnectFromHost();
        });
        window->bridge->download(QStringLiteral("ZB"), QStringLiteral("onB"));
        QTRY_COMPARE(server->held.size(), 1);
        release.start(1);
        // Once ZB has been told, ZA's extraction must still hold the flag that refused ZB.
        QTimer watch;
        int flagAfterB = -1;
        connect(&watch, &QTimer::timeout, this, [&] {
            if (outcomes(QStringLiteral("onB")).size() == 2 && outcomes(QStringLiteral("onA")).size() < 2) {
                flagAfterB = window->unpacking;
                watch.stop();
            }
        });
        watch.start(1);
        window->bridge->download(QStringLiteral("ZA"), QStringLiteral("onA"));
        QVERIFY(waitForOutcome(QStringLiteral("onA"), 2));
        QVERIFY(waitForOutcome(QStringLiteral("onB"), 2));
        QCOMPARE(flagAfterB, 1);

        QCOMPARE(outcomes(QStringLiteral("onB")).last(), finalStatement(QStringLiteral("onB")));
        QVERIFY(QFile::exists(books() + QStringLiteral("/ZB.zip")));
        QVERIFY(!QFile::exists(books() + QStringLiteral("/ZB")));
        QCOMPARE(status(QStringLiteral("ZB")), QStringLiteral("0"));
        QVERIFY(QFile::exists(books() + QStringLiteral("/ZA/voci/v2999.html.zip")));
        QCOMPARE(status(QStringLiteral("ZA")), QStringLiteral("1"));
        QVERIFY(!window->unpacking);
    }

    void sameDictionaryAskedForDuringItsInstallation()
    {
        setLibrary({ "ZA" });
        serve("ZA", package(noise(20000, 13), 3000), 1);
        QTimer again;
        connect(&again, &QTimer::timeout, this, [&] {
            if (!window->unpacking)
                return;
            again.stop();
            replies.remove("ZA"); // the second request stays unanswered
            window->bridge->download(QStringLiteral("ZA"), QStringLiteral("onSecond"));
        });
        again.start(1);
        window->bridge->download(QStringLiteral("ZA"), QStringLiteral("onFirst"));
        QPointer<Download> first = window->bridge->downloads.value(QStringLiteral("ZA"));
        QVERIFY(waitForOutcome(QStringLiteral("onFirst"), 2));
        QCOMPARE(outcomes(QStringLiteral("onFirst")).last(), finalStatement(QStringLiteral("onFirst")));
        QTRY_VERIFY(!first);
        QCOMPARE(window->bridge->downloads.size(), 1);
        QVERIFY(window->bridge->downloads.value(QStringLiteral("ZA")));
        QCOMPARE(downloadRequests().size(), 2);
        QVERIFY(QFile::exists(books() + QStringLiteral("/ZA/voci/v2999.html.zip")));
    }

    void dictionaryMissingFromTheLibraryIsNotInstalled()
    {
        setLibrary({ "ZB" });
        window->bridge->bookId = QStringLiteral("ZB");
        serve("ZA", package(noise(20000, 12)));
        window->bridge->download(QStringLiteral("ZA"), QStringLiteral("onDl"));
        QVERIFY(waitForOutcome(QStringLiteral("onDl"), 2));
        QCOMPARE(outcomes(QStringLiteral("onDl")).last(), finalStatement(QStringLiteral("onDl")));
        QCOMPARE(booksEntries(), QStringList{"ZA.zip"});
        QCOMPARE(window->bridge->bookId, QStringLiteral("ZB"));
    }

    void skuThatIsNotAPlainNameTouchesNothing_data()
    {
        QTest::addColumn<QString>("sku");
        QTest::newRow("parent") << "../victim";
        QTest::newRow("dot-dot") << "..";
        QTest::newRow("empty") << "";
    }

    void skuThatIsNotAPlainNameTouchesNothing()
    {
        QFETCH(QString, sku);
        const QString victim = TestSupport::dataDirectory() + QStringLiteral("/engine/victim.zip");
        QFile file(victim);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.close();
        window->bridge->download(sku, QStringLiteral("onDl"));
        QTest::qWait(100);
        QVERIFY(downloadRequests().isEmpty());
        QVERIFY(QFile::exists(victim));
        QVERIFY(QDir(books()).exists());
        QVERIFY(window->bridge->downloads.isEmpty());
    }
};

VOCALUME_TEST_MAIN(TestDownload)
#include "tst_download.moc"
