// Dictionary downloads as the page drives them through the bridge, against a scripted server:
// what the page hears (progress, failure, wait, completion), the files left in the books
// folder, the installed book and its STATUS, cancelling, replacing and overlapping downloads,
// and identifiers that are not plain names.
#include "app/mainwindow.h"
#include "library/librarysync.h"
#include "base/appsettings.h"
#include "base/datapaths.h"
#include "hostilearchives.h"
#include "packages/bookinstaller.h"
#include "packages/diskspace.h"
#include "packages/download.h"
#include "store/webstore.h"
#include "tests/support/httptestserver.h"
#include "tests/support/testsupport.h"
#include "web/customagentwebview.h"
#include "web/pageservices.h"
#include "web/qtjavascriptinteraction.h"

#include <QPointer>
#include <QRegularExpression>
#include <QStatusBar>
#include <QTimer>
#include <QWebFrame>
#include <QWebPage>

using TestSupport::heard;
using TestSupport::noise;

namespace {
const QString cancelledText = QStringLiteral("Download interrotto dall'utente");

QString books() { return TestSupport::dataDirectory() + QStringLiteral("/engine/books"); }
QString status(const QString& sku) { return TestSupport::storeValue(sku, QStringLiteral("STATUS")); }

// The statements of the download callback: queued or installing ("wait"), then installed.
QString pending(const QString& callback, const char* state = "wait")
{
    return QStringLiteral("SignalQt('%1', '{result:false, progress:\"%2\"}', 'true')").arg(callback, state);
}

QString finished(const QString& callback)
{
    return QStringLiteral("SignalQt('%1', '{result:true,error:\\'\\',progress:\\'100\\'}')").arg(callback);
}

// The failure statement of `callback` for `message` (apostrophes as the page receives them).
QString failed(const QString& callback, QString message)
{
    return QStringLiteral("SignalQt('%1', '{result:false,error:\"%2\"}')")
        .arg(callback, message.replace('\'', "&apos;"));
}

QString installFailed(const QString& callback, const QString& reason)
{
    return failed(
        callback, "Installazione non riuscita: " + reason + ". Scarica di nuovo il dizionario per riprovare.");
}

QString packageOf(const QString& sku) { return DataPaths::packageFile(books() + '/' + sku); }

QByteArray head(const QByteArray& headers)
{
    return "HTTP/1.1 200 OK\r\nContent-Type: application/zip\r\n" + headers + "\r\n";
}

QByteArray package(int extraFiles = 0, const QByteArray& database = HostileArchives::dictionaryDatabase(noise(20000)))
{
    QList<QPair<QString, QByteArray>> entries { { "database.db", database }, { "voci/", {} } };
    for (int i = 0; i < extraFiles; ++i)
        entries << qMakePair(QStringLiteral("voci/v%1.html.zip").arg(i), "voce " + QByteArray::number(i));
    QTemporaryDir dir;
    QFile file(dir.filePath("p.zip"));
    if (!TestSupport::writeZip(file.fileName(), entries) || !file.open(QIODevice::ReadOnly))
        return QByteArray();
    return file.readAll();
}

// Each entry of the books folder, a working name by what it is for: "ZA [package]".
QStringList booksEntries()
{
    QStringList out;
    for (QString name : QDir(books()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot)) {
        if (name.endsWith(DataPaths::packageFile(QString())))
            name = name.chopped(DataPaths::packageFile(QString()).size()) + " [package]";
        if (name.endsWith(DataPaths::unpackFolder(QString())))
            name = name.chopped(DataPaths::unpackFolder(QString()).size()) + " [unpack]";
        out << name;
    }
    return out;
}

// The statements of `callback` without its progress notifications.
QStringList outcomes(const QString& callback)
{
    QStringList out;
    for (const QString& s : heard(callback))
        if (!s.contains("progress:\"") || s.contains("\"wait\"") || s.contains("\"queued\""))
            out << s;
    return out;
}

bool waitForOutcomes(const QString& callback, int count = 2)
{
    return QTest::qWaitFor([&] { return outcomes(callback).size() == count; }, 10000);
}

// A table of one flag: the row where it is set and the row where it is not.
void flagRows(const char* column, const char* set, const char* unset)
{
    QTest::addColumn<bool>(column);
    QTest::newRow(set) << true;
    QTest::newRow(unset) << false;
}
}

class TestDownload : public QObject
{
    Q_OBJECT
private:
    QScopedPointer<HttpTestServer> server;
    MainWindow* window = nullptr;
    QStringList messages;
    // What the server answers for each package; a package it does not know is never answered.
    QHash<QByteArray, HttpTestServer::Answer> replies;

    // Serves `bytes` for `sku`: the head and the first of `pieces` parts at once, the rest
    // trickling in (the network stack reports progress at most every 50 ms).
    void serve(const QByteArray& sku, const QByteArray& bytes, int pieces = 4, bool announce = true)
    {
        QList<QByteArray> parts;
        const int step = (bytes.size() + pieces - 1) / pieces;
        for (int at = 0; at < bytes.size(); at += step)
            parts << bytes.mid(at, step);
        const QByteArray length = announce ? "Content-Length: " + QByteArray::number(bytes.size()) + "\r\n"
                                           : "Connection: close\r\n";
        replies.insert(sku, { head(length) + parts.takeFirst(), false, parts });
    }

    void setLibrary(const QStringList& skus)
    {
        window->library->libraryBooks.clear();
        WebStore store;
        int counter = 0;
        QVERIFY(store.open() && store.maxId(counter));
        for (const QString& sku : skus) {
            window->library->libraryBooks << Book();
            window->library->libraryBooks.last().bookId = sku;
            QVERIFY(store.insert(counter, sku, "STATUS", "0"));
        }
    }

    void download(const QString& sku, const QString& callback) { window->bridge->download(sku, callback); }

    QList<QByteArray> downloadRequests() const
    {
        QList<QByteArray> out;
        for (const QByteArray& target : server->targets)
            if (target.startsWith("/api/zenta/download.xml"))
                out << target;
        return out;
    }

private slots:
    void init()
    {
        TestSupport::resetHome();
        messages.clear();
        replies.clear();
        server.reset(new HttpTestServer);
        server->makeCurrent();
        server->respond([this](const QByteArray& target) {
            if (!target.startsWith("/api/zenta/download.xml"))
                return HttpTestServer::Answer { HttpTestServer::reply("<result/>") };
            return replies.value(target.mid(target.indexOf("&sku=") + 5).replace(".zip", ""), { QByteArray(), true });
        });
        window = new MainWindow;
        connect(window->statusBar(), &QStatusBar::messageChanged, this, [this](const QString& m) { messages << m; });
        QTest::qWait(150);
        QTRY_VERIFY(window->webView->page()->mainFrame()->url().isValid());
        // Signed in only now, so the start-up synchronisation leaves the test's library alone.
        AppSettings settings;
        settings.setUsername("mario");
        settings.setSessionId("segreto");
    }

    void cleanup()
    {
        delete window;
        window = nullptr;
        server.reset();
        DiskSpace::setProbe({});
    }

    void progressLiteral_data()
    {
        QTest::addColumn<int>("done");
        QTest::addColumn<int>("total");
        QTest::addColumn<QString>("literal");
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

    void downloadInstallsTheDictionary_data() { flagRows("announced", "length announced", "size unknown"); }

    void downloadInstallsTheDictionary()
    {
        QFETCH(bool, announced);
        setLibrary({ "ZB", "ZA" });
        QVERIFY(QDir().mkpath(books() + "/ZA/vecchio")); // an earlier installation, replaced
        // Books whose identifiers look like the working names of earlier releases stay.
        const QStringList neighbours { "ZA.zip", "ZA_old", "ZA_tmp" };
        for (const QString& book : neighbours)
            QVERIFY(TestSupport::writeFile(books() + '/' + book + "/database.db", book.toUtf8()));
        const QByteArray database = HostileArchives::dictionaryDatabase(noise(40000, 2));
        const QByteArray zip = package(0, database);
        serve("ZA", zip, 4, announced);
        // A page that asks while it hears the end (a reload of the library) finds nothing under way.
        PageServices* services = window->bridge->findChild<PageServices*>();
        QString statesAtTheEnd;
        connect(&window->bridge->downloadService(), &DownloadService::pageStatement, this,
            [&](const QString& statement) {
                if (statement == finished("onDl"))
                    statesAtTheEnd = services->downloadStates();
            });
        // The book is made current once unpacked, and recorded as installed only after that.
        QString whenCurrent;
        connect(&window->bridge->downloadService(), &DownloadService::bookInstalled, this, [&](const QString& id) {
            whenCurrent = id + " unpacked: " + QString::number(QFile::exists(books() + "/ZA/database.db"))
                + ", package: " + QString::number(QFile::exists(packageOf("ZA"))) + ", status " + status("ZA");
        });
        download("ZA", "onDl");
        QVERIFY(waitForOutcomes("onDl"));
        QCOMPARE(statesAtTheEnd, QStringLiteral("{}"));
        QCOMPARE(whenCurrent, QStringLiteral("ZA unpacked: 1, package: 0, status 0"));
        // The page reads the exact size beside the bridge, as the transfer announced it.
        QCOMPARE(services->downloadSize("ZA"),
            announced ? QString::number(zip.size()) : QString());

        QStringList statements = heard("onDl");
        QCOMPARE(statements.mid(statements.size() - 2), QStringList({ pending("onDl"), finished("onDl") }));
        // Some progress first, never going back, and staying at 0 when the size is unknown.
        QStringList progress = statements.mid(0, statements.size() - 2);
        QVERIFY(!progress.isEmpty());
        progress.replaceInStrings(QRegularExpression(
            "^SignalQt\\('onDl', '\\{result:false,progress:\"(\\d+)\",size:\"0\\.0\"\\}', 'true'\\)$"), "\\1");
        for (int i = 0; i < progress.size(); ++i)
            QVERIFY2(progress[i].toInt() >= progress.value(i - 1).toInt() && progress[i].toInt() <= (announced ? 99 : 0)
                         && progress[i] == QString::number(progress[i].toInt()), qPrintable(progress.join(' ')));

        QCOMPARE(TestSupport::readFile(books() + "/ZA/database.db"), database);
        QVERIFY(!QFile::exists(books() + "/ZA/vecchio"));
        QCOMPARE(booksEntries(), QStringList { "ZA" } + neighbours);
        for (const QString& book : neighbours)
            QCOMPARE(TestSupport::readFile(books() + '/' + book + "/database.db"), book.toUtf8());
        QCOMPARE(status("ZA"), QStringLiteral("1"));
        QCOMPARE(status("ZB"), QStringLiteral("0"));
        QCOMPARE(window->bridge->getBookID(), QStringLiteral("ZA"));
        QVERIFY(!window->installer->unpacking);
    }

    // The STATUS update waits for the page's read to end (it ends only while events run); a store
    // that refuses it tells the user the driver's text, and the page does not hear of an
    // installed dictionary but of the failure.
    void statusWrittenOnceThePageHasRead_data() { flagRows("refused", "refused by the store", "page reading"); }

    void statusWrittenOnceThePageHasRead()
    {
        QFETCH(bool, refused);
        setLibrary({ "ZA" });
        QVERIFY(!refused
                || TestSupport::storeExec("CREATE TRIGGER refuse BEFORE UPDATE ON SYSTEM BEGIN SELECT RAISE(ABORT, 'rifiutato'); END"));
        // Held beyond the end of the transfer: only events run while the update waits end it.
        TestSupport::PageRead read;
        QVERIFY(read.holding);
        // A timer of this case's own: a later case never meets a read that is gone.
        QTimer ending;
        ending.setSingleShot(true);
        connect(&ending, &QTimer::timeout, this, [&read] { read.end(); });
        ending.start(3000);
        serve("ZA", package());
        download("ZA", "onDl");
        QVERIFY(waitForOutcomes("onDl", 2));
        QTest::qWait(100);
        QCOMPARE(TestSupport::recorded().dialogs,
                 refused ? QStringList { "Vocalume|Impossibile registrare il dizionario come installato nel database: "
                                         "rifiutato Unable to fetch row. Riprova a scaricarlo." }
                         : QStringList());
        QVERIFY(heard("onDl").contains(refused ? installFailed("onDl", "la libreria non ha potuto registrarlo come installato")
                                               : finished("onDl")));
        QCOMPARE(status("ZA"), QLatin1String(refused ? "0" : "1"));
    }

    void notInstalled_data()
    {
        QTest::addColumn<QString>("library");
        QTest::addColumn<QByteArray>("reply"); // a package, served in parts
        QTest::addColumn<qint64>("free"); // bytes the disk has left; -1: as it is, and the package arrives
        QTest::addColumn<QString>("error"); // told to the page (and the status bar for a transfer)
        QTest::addColumn<QStringList>("left");
        QTest::addColumn<QStringList>("boxes");
        const QString again = ". Scarica di nuovo il dizionario per riprovare.";
        QTest::newRow("does not fit") << "ZA" << package(0, noise(3 * 1024 * 1024 - 100000, 2)) << qint64(1024 * 1024)
                                      << "Spazio su disco insufficiente per scaricare il dizionario: servono 3 MB, liberi 1 MB"
                                      << QStringList { "ZA" } << QStringList();
        QTest::newRow("dictionary missing from the library")
            << "ZB" << package() << qint64(-1)
            << "Installazione non riuscita: il dizionario non risulta tra quelli del tuo account (sincronizza la libreria)" + again
            << QStringList { "ZA", "ZA [package]" } << QStringList();
        QTest::newRow("package that is no zip") << "ZA" << noise(20000) << qint64(-1)
                                                << "Installazione non riuscita: impossibile aprire il libro" + again
                                                << QStringList { "ZA", "ZA [unpack]", "ZA [package]" }
                                                << QStringList { "Vocalume|Impossibile aprire il libro" };
    }

    // The installed version and the current book stay, nothing is recorded; the page hears why.
    void notInstalled()
    {
        QFETCH(QString, library);
        QFETCH(QByteArray, reply);
        QFETCH(qint64, free);
        QFETCH(QString, error);
        QFETCH(QStringList, left);
        QFETCH(QStringList, boxes);
        const bool arrived = free < 0;
        setLibrary({ library });
        window->bridge->parsePageParameters("idbook=ZB");
        QVERIFY(QDir().mkpath(books() + "/ZA/vecchio"));
        if (!arrived)
            DiskSpace::setProbe([free](const QString&) { return free; });
        serve("ZA", reply);
        download("ZA", "onDl");
        QVERIFY(waitForOutcomes("onDl", arrived ? 2 : 1));
        QTest::qWait(100);
        QCOMPARE(outcomes("onDl"), (arrived ? QStringList { pending("onDl") } : QStringList()) << failed("onDl", error));
        QVERIFY(arrived || messages.contains(error));
        QCOMPARE(booksEntries(), left);
        QVERIFY(QFileInfo(books() + "/ZA/vecchio").isDir());
        QCOMPARE(TestSupport::recorded().dialogs, boxes);
        QCOMPARE(window->bridge->getBookID(), QStringLiteral("ZB"));
        QCOMPARE(status(library), QStringLiteral("0"));
    }

    void cancel_data()
    {
        QTest::addColumn<int>("stage");
        QTest::newRow("before any byte") << 0;
        QTest::newRow("mid-transfer") << 1;
        QTest::newRow("after completion") << 2;
    }

    void cancel()
    {
        QFETCH(int, stage);
        window->bridge->cancelDownload(); // nothing to cancel yet
        QVERIFY(TestSupport::diagnosticsContain("cancel download "));
        QVERIFY(!messages.contains(cancelledText));

        setLibrary({ "ZA" });
        if (stage > 0)
            serve("ZA", stage == 1 ? package(0, noise(400000)) : package(), stage == 1 ? 40 : 1);
        download("ZA", "onDl");
        QTRY_COMPARE(downloadRequests().size(), 1);
        if (stage == 1)
            QTRY_VERIFY(QFileInfo(DataPaths::partFile(packageOf("ZA"))).size() > 20000);
        if (stage == 2)
            QVERIFY(waitForOutcomes("onDl"));
        const int before = heard("onDl").size();
        window->bridge->cancelDownload();
        QTest::qWait(300);
        QVERIFY(TestSupport::diagnosticsContain("cancel download ZA"));
        QCOMPARE(heard("onDl").size(), before);
        // Once installed, a cancel changes nothing; before, nothing of the transfer stays.
        QCOMPARE(messages.contains(cancelledText), stage < 2);
        QCOMPARE(booksEntries(), stage == 2 ? QStringList { "ZA" } : QStringList());
        QCOMPARE(status("ZA"), QLatin1String(stage == 2 ? "1" : "0"));
    }

    void pauseAndResume_data() { flagRows("resumed", "resumed", "removed while paused"); }

    // A paused transfer keeps what arrived and a page asking learns how far it got; asked for
    // again, it goes on from there; removed while paused, nothing of it stays.
    void pauseAndResume()
    {
        QFETCH(bool, resumed);
        setLibrary({ "ZA" });
        const QByteArray zip = package(0, HostileArchives::dictionaryDatabase(noise(400000)));
        QList<QByteArray> pieces;
        for (int at = 0; at < zip.size(); at += 10000)
            pieces << zip.mid(at, 10000);
        replies.insert("ZA", { head("Content-Length: " + QByteArray::number(zip.size()) + "\r\nETag: \"v1\"\r\n")
                                   + pieces.takeFirst(), false, pieces });
        download("ZA", "onDl");
        const QString part = DataPaths::partFile(packageOf("ZA"));
        QTRY_VERIFY(QFileInfo(part).size() > 20000);
        PageServices* services = window->bridge->findChild<PageServices*>();
        QVERIFY(services->pauseDownload("ZA"));
        const qint64 kept = QFileInfo(part).size();
        const int said = heard("onDl").size();
        QTest::qWait(300);
        QCOMPARE(QFileInfo(part).size(), kept);
        QCOMPARE(heard("onDl").size(), said);
        QCOMPARE(services->downloadStates(), QStringLiteral("{}"));
        QCOMPARE(services->keptDownloads(),
                 QStringLiteral("{\"ZA\":{\"bytes\":%1,\"percent\":%2,\"size\":\"%3\",\"state\":\"paused\"}}")
                     .arg(zip.size())
                     .arg(Download::percentOf(kept, zip.size()))
                     .arg(Download::sizeText(zip.size())));
        if (!resumed) {
            QVERIFY(services->discardDownload("ZA"));
            QCOMPARE(booksEntries(), QStringList());
            return;
        }
        replies.insert("ZA", { "HTTP/1.1 206 Partial Content\r\nContent-Range: bytes " + QByteArray::number(kept) + '-'
                               + QByteArray::number(zip.size() - 1) + '/' + QByteArray::number(zip.size())
                               + "\r\nContent-Length: " + QByteArray::number(zip.size() - kept) + "\r\n\r\n" + zip.mid(kept) });
        download("ZA", "onAgain");
        QVERIFY(waitForOutcomes("onAgain"));
        // The progress counts what was there already.
        QVERIFY(heard("onAgain").first().contains(QString("progress:\"%1\"").arg(Download::percentOf(kept, zip.size()))));
        QCOMPARE(outcomes("onAgain"), QStringList({ pending("onAgain"), finished("onAgain") }));
        QCOMPARE(booksEntries(), QStringList { "ZA" });
        QCOMPARE(status("ZA"), QStringLiteral("1"));
    }

    void secondDownloadOfTheSameDictionary_data()
    {
        flagRows("installing", "while the first installs", "while the first transfers");
    }

    // Asked again while its package arrives, a download starts over (the first is dropped at
    // once, unheard); while its package is being installed, the installation goes on with its
    // package and the second caller hears how it ends.
    void secondDownloadOfTheSameDictionary()
    {
        QFETCH(bool, installing);
        setLibrary({ "ZA" });
        if (installing)
            serve("ZA", package(3000), 1); // otherwise never answered
        QTimer again;
        connect(&again, &QTimer::timeout, this, [&] {
            if (installing ? !window->installer->unpacking : downloadRequests().isEmpty())
                return;
            again.stop();
            if (!installing)
                serve("ZA", package());
            download("ZA", "onSecond");
        });
        again.start(1);
        download("ZA", "onFirst");
        QPointer<Download> first = window->bridge->downloadService().inProgress().value("ZA");
        QVERIFY(waitForOutcomes("onSecond"));
        QCOMPARE(outcomes("onSecond"), QStringList({ pending("onSecond"), finished("onSecond") }));
        QCOMPARE(outcomes("onFirst"), installing ? QStringList { pending("onFirst") } : QStringList());
        QCOMPARE(bool(first), installing);
        QCOMPARE(window->bridge->downloadService().inProgress().size(), 1);
        QCOMPARE(downloadRequests().size(), installing ? 1 : 2);
        QVERIFY(QFile::exists(books() + (installing ? "/ZA/voci/v2999.html.zip" : "/ZA/database.db")));
        QCOMPARE(booksEntries(), QStringList { "ZA" });
        QCOMPARE(status("ZA"), QStringLiteral("1"));
    }

    // A package that arrives while another is unpacked waits for its turn, and a page asking
    // meanwhile learns which is installed and which waits.
    void packageArrivingDuringAnUnpackWaits()
    {
        setLibrary({ "ZA", "ZB" });
        serve("ZA", package(3000), 1);
        // ZB's last bytes are held back until ZA is being unpacked.
        const QByteArray second = package();
        const QByteArray length = "Content-Length: " + QByteArray::number(second.size()) + "\r\n";
        replies.insert("ZB", { head(length) + second.chopped(100), true });
        bool released = false;
        QString states;
        QTimer watch;
        connect(&watch, &QTimer::timeout, this, [&] {
            if (!released && window->installer->unpacking) {
                released = true;
                server->held.last()->write(second.right(100));
                server->held.last()->disconnectFromHost();
            }
            if (states.isEmpty() && !outcomes("onB").isEmpty())
                states = window->bridge->findChild<PageServices*>()->downloadStates();
        });
        download("ZB", "onB");
        QTRY_COMPARE(server->held.size(), 1);
        watch.start(1);
        download("ZA", "onA");
        QVERIFY(waitForOutcomes("onA"));
        QVERIFY(waitForOutcomes("onB", 3));

        QCOMPARE(states, QStringLiteral("{\"ZA\":{\"state\":\"install\"},\"ZB\":{\"state\":\"queued\"}}"));
        QCOMPARE(outcomes("onB"), QStringList({ pending("onB", "queued"), pending("onB"), finished("onB") }));
        const QStringList& all = TestSupport::recorded().statements;
        QVERIFY(all.indexOf(finished("onA")) < all.indexOf(pending("onB")));
        QCOMPARE(booksEntries(), QStringList({ "ZA", "ZB" }));
        QVERIFY(QFile::exists(books() + "/ZA/voci/v2999.html.zip") && QFile::exists(books() + "/ZB/database.db"));
        QCOMPARE(status("ZA"), QStringLiteral("1"));
        QCOMPARE(status("ZB"), QStringLiteral("1"));
        QCOMPARE(TestSupport::recorded().dialogs, QStringList());
    }

    void identifierThatIsNotAPlainNameTouchesNothing()
    {
        const QString victim = TestSupport::dataDirectory() + "/engine/victim.zip";
        QVERIFY(TestSupport::writeZip(victim, {}));
        for (const char* sku : { "../victim", "..", "", "a..b" })
            download(sku, "onDl");
        // "../../../x" from the books folder is the home directory.
        const QString outside = QDir::homePath() + "/x.zip";
        QVERIFY(TestSupport::writeZip(outside, { { "a.txt", "a" } }));
        window->bridge->getHtmlFixedPage("libreria.html", "idbook=../../../x");
        QVERIFY(!window->bridge->goToReading(outside, "../../../x"));
        QTest::qWait(100);
        QVERIFY(downloadRequests().isEmpty());
        QVERIFY(QFile::exists(victim) && QDir(books()).exists() && QFile::exists(outside));
        QVERIFY(window->bridge->downloadService().inProgress().isEmpty());
        QVERIFY(!QFile::exists(QDir::homePath() + "/x") && !QFile::exists(QDir::homePath() + "/x_tmp"));
    }
};

VOCALUME_TEST_MAIN(TestDownload)
#include "tst_download.moc"
