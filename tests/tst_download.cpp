// Dictionary downloads as the page drives them through the bridge, against a scripted server:
// what the page hears, the books folder, the current book and its STATUS.
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
#include <QStatusBar>
#include <QTimer>
#include <QWebFrame>
#include <QWebPage>

using TestSupport::heard;
using TestSupport::noise;

namespace {
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

QString installFailed(const QString& reason)
{
    return "Installazione non riuscita: " + reason + ". Scarica di nuovo il dizionario per riprovare.";
}

QString packageOf(const QString& sku) { return DataPaths::packageFile(books() + '/' + sku); }

// The head of a reply that sends `bytes`, with `headers` too.
QByteArray head(const QByteArray& bytes, const QByteArray& headers = {})
{
    return "HTTP/1.1 200 OK\r\nContent-Type: application/zip\r\nContent-Length: " + QByteArray::number(bytes.size())
        + "\r\n" + headers + "\r\n";
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

    // Serves `bytes` for `sku` with its length and `headers`: the head and the first of `pieces`
    // parts at once, the rest trickling in (progress comes at most every 50 ms).
    void serve(const QByteArray& sku, const QByteArray& bytes, int pieces = 4, const QByteArray& headers = {})
    {
        QList<QByteArray> parts;
        const int step = (bytes.size() + pieces - 1) / pieces;
        for (int at = 0; at < bytes.size(); at += step)
            parts << bytes.mid(at, step);
        replies.insert(sku, { head(bytes, headers) + parts.takeFirst(), false, parts });
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

    int downloadRequests() const
    {
        return int(std::count_if(server->targets.begin(), server->targets.end(),
            [](const QByteArray& target) { return target.startsWith("/api/zenta/download.xml"); }));
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

    void downloads_data()
    {
        QTest::addColumn<QStringList>("library");
        QTest::addColumn<QByteArray>("reply"); // a package, served in parts
        QTest::addColumn<QString>("condition"); // "page reading", "store refuses", "no space"
        QTest::addColumn<QString>("error"); // told to the page (and the status bar for a transfer); empty: installed
        QTest::addColumn<QStringList>("left"); // in the books folder, beside the neighbours
        QTest::addColumn<QStringList>("boxes");
        const QStringList both { "ZB", "ZA" };
        const QByteArray good = package();
        const auto row = [](const char* name, const QStringList& library, const QByteArray& reply,
                             const QString& condition, const QString& error, const QStringList& left,
                             const QStringList& boxes = {}) {
            QTest::newRow(name) << library << reply << condition << error << left << boxes;
        };
        // The STATUS update waits for the page's read to end (it ends only while events run).
        row("page reading", both, good, "page reading", "", { "ZA" });
        // The page hears of the failure, not of an installed dictionary, and the user of the driver's text.
        row("store refuses", both, good, "store refuses",
            installFailed("la libreria non ha potuto registrarlo come installato"), { "ZA" },
            { "Vocalume|Impossibile registrare il dizionario come installato nel database: rifiutato Unable to fetch "
              "row. Riprova a scaricarlo." });
        row("does not fit", both, package(0, noise(3 * 1024 * 1024 - 100000, 2)), "no space",
            "Spazio su disco insufficiente per scaricare il dizionario: servono 3 MB, liberi 1 MB", { "ZA" });
        row("dictionary missing from the library", { "ZB" }, good, "",
            installFailed("il dizionario non risulta tra quelli del tuo account (sincronizza la libreria)"),
            { "ZA", "ZA [package]" });
        // A refused package leaves nothing behind.
        row("package that is no zip", both, noise(20000), "", installFailed("impossibile aprire il libro"), { "ZA" },
            { "Vocalume|Impossibile aprire il libro" });
    }

    // What the page hears, what is left in the books folder (an earlier installation replaced only
    // by a good one, books with look-alike names never touched), the current book and the STATUS.
    void downloads()
    {
        QFETCH(QStringList, library);
        QFETCH(QByteArray, reply);
        QFETCH(QString, condition);
        QFETCH(QString, error);
        QFETCH(QStringList, left);
        QFETCH(QStringList, boxes);
        const bool arrived = condition != "no space";
        // Unpacked and current, though maybe not recorded.
        const bool unpacked = error.isEmpty() || condition == "store refuses";
        setLibrary(library);
        window->bridge->parsePageParameters("idbook=ZB");
        QVERIFY(QDir().mkpath(books() + "/ZA/vecchio"));
        const QStringList neighbours { "ZA.zip", "ZA_old", "ZA_tmp" };
        for (const QString& book : neighbours)
            QVERIFY(TestSupport::writeFile(books() + '/' + book + "/database.db", book.toUtf8()));
        serve("ZA", reply);
        if (!arrived)
            DiskSpace::setProbe([](const QString&) { return qint64(1024 * 1024); });
        QVERIFY(condition != "store refuses"
                || TestSupport::storeExec("CREATE TRIGGER refuse BEFORE UPDATE ON SYSTEM BEGIN SELECT RAISE(ABORT, 'rifiutato'); END"));
        TestSupport::PageRead read;
        QVERIFY(read.holding);
        // Held beyond the end of the transfer; a timer of this case's own, so a later case never meets it.
        QTimer ending;
        ending.setSingleShot(true);
        connect(&ending, &QTimer::timeout, this, [&read] { read.end(); });
        ending.start(condition == "page reading" ? 3000 : 0);
        // A page that asks while it hears the end (a reload of the library) finds nothing under way.
        PageServices* services = window->bridge->findChild<PageServices*>();
        QString statesAtTheEnd;
        connect(&window->bridge->downloadStatements(), &DownloadAnswers::pageStatement, this, [&](const QString& statement) {
            if (!statement.contains("progress:\""))
                statesAtTheEnd = services->downloadStates();
        });
        // The book is made current once unpacked and recorded, before the page hears the end.
        QString whenCurrent;
        connect(&window->bridge->downloadService(), &DownloadService::bookInstalled, this, [&](const QString& id) {
            whenCurrent = id + " unpacked: " + QString::number(QFile::exists(books() + "/ZA/database.db"))
                + ", package: " + QString::number(QFile::exists(packageOf("ZA"))) + ", status " + status("ZA");
        });
        download("ZA", "onDl");
        QVERIFY(waitForOutcomes("onDl", arrived ? 2 : 1));
        QTest::qWait(100);

        QCOMPARE(outcomes("onDl"), (arrived ? QStringList { pending("onDl") } : QStringList())
                << (error.isEmpty() ? finished("onDl") : failed("onDl", error)));
        QVERIFY(arrived || messages.contains(error));
        QCOMPARE(statesAtTheEnd, QStringLiteral("{}"));
        QCOMPARE(whenCurrent, unpacked ? "ZA unpacked: 1, package: 0, status " + status("ZA") : QString());
        QCOMPARE(window->bridge->getBookID(), QLatin1String(unpacked ? "ZA" : "ZB"));
        QCOMPARE(status("ZA"), library.contains("ZA") ? QLatin1String(error.isEmpty() ? "1" : "0") : QString());
        QCOMPARE(status("ZB"), QStringLiteral("0"));
        QCOMPARE(booksEntries(), left + neighbours);
        for (const QString& book : neighbours)
            QCOMPARE(TestSupport::readFile(books() + '/' + book + "/database.db"), book.toUtf8());
        QCOMPARE(QFileInfo(books() + "/ZA/vecchio").isDir(), !unpacked);
        QVERIFY(!unpacked
            || TestSupport::readFile(books() + "/ZA/database.db") == HostileArchives::dictionaryDatabase(noise(20000)));
        QCOMPARE(TestSupport::recorded().dialogs, boxes);
        QVERIFY(!window->installer->isUnpacking());
        // The page heard some progress first.
        QVERIFY(!arrived || heard("onDl").size() > outcomes("onDl").size());
    }

    void interrupted_data()
    {
        QTest::addColumn<int>("stage"); // 1: mid-transfer, 2: after completion
        QTest::addColumn<bool>("paused"); // otherwise cancelled
        QTest::newRow("cancelled mid-transfer") << 1 << false;
        QTest::newRow("cancelled after completion") << 2 << false;
        QTest::newRow("paused mid-transfer") << 1 << true;
    }

    // The page hears nothing more. Cancelled, nothing of the transfer stays (once installed, a
    // cancel changes nothing); paused, what arrived stays and a page asking learns how far it
    // got, until it is removed. (Continuing a kept transfer is the download manager's.)
    void interrupted()
    {
        QFETCH(int, stage);
        QFETCH(bool, paused);
        window->bridge->cancelDownload(); // nothing to cancel yet
        setLibrary({ "ZA" });
        const QByteArray zip = package(0, HostileArchives::dictionaryDatabase(noise(stage == 1 ? 400000 : 20000)));
        serve("ZA", zip, stage == 1 ? zip.size() / 10000 : 1, "ETag: \"v1\"\r\n");
        download("ZA", "onDl");
        QTRY_COMPARE(downloadRequests(), 1);
        const QString part = DataPaths::partFile(packageOf("ZA"));
        // Some way into the transfer, or installed.
        QTRY_VERIFY_WITH_TIMEOUT(stage == 1 ? QFileInfo(part).size() > 20000 : outcomes("onDl").size() == 2, 10000);
        PageServices* services = window->bridge->findChild<PageServices*>();
        if (paused)
            QVERIFY(services->pauseDownload("ZA"));
        else
            window->bridge->cancelDownload();
        const qint64 kept = QFileInfo(part).size();
        const int said = heard("onDl").size();
        QTest::qWait(300);
        QCOMPARE(heard("onDl").size(), said);
        QCOMPARE(QFileInfo(part).size(), paused ? kept : 0);
        QCOMPARE(services->downloadStates(), QStringLiteral("{}"));
        QCOMPARE(status("ZA"), QLatin1String(stage == 2 ? "1" : "0"));
        if (paused) {
            QCOMPARE(services->keptDownloads(),
                QStringLiteral("{\"ZA\":{\"bytes\":%1,\"percent\":%2,\"size\":\"%3\",\"state\":\"paused\"}}")
                    .arg(zip.size())
                    .arg(Download::percentOf(kept, zip.size()))
                    .arg(Download::sizeText(zip.size())));
            QVERIFY(services->discardDownload("ZA"));
        }
        QCOMPARE(messages.contains("Download interrotto dall'utente"), stage < 2);
        QCOMPARE(booksEntries(), stage == 2 ? QStringList { "ZA" } : QStringList());
    }

    // The page hears how an installation ended while the installation is still on the stack, and
    // may ask for the same dictionary at once ("Riprova", Enter on the button that has the focus
    // again): the new download takes over and the ended one goes without being touched again
    // (an AddressSanitizer build fails here otherwise).
    void askedAgainAsItHearsTheEnd()
    {
        setLibrary({ "ZA" });
        serve("ZA", noise(20000), 1); // refused: no zip
        bool asked = false;
        connect(&window->bridge->downloadStatements(), &DownloadAnswers::pageStatement, this, [&](const QString& statement) {
            if (!asked && statement.startsWith("SignalQt('onFirst'") && statement.contains("result:false,error"))
                download("ZA", "onAgain"), asked = true;
        });
        download("ZA", "onFirst");
        QTRY_VERIFY(asked);
        QVERIFY(waitForOutcomes("onAgain"));
        QCOMPARE(outcomes("onFirst").size(), 2);
        QCOMPARE(downloadRequests(), 2);
    }

    // Asked again while its package arrives, a download starts over (the first dropped, unheard);
    // while it is installed, the installation goes on and the second caller hears the end. A package
    // arriving during another's unpack waits, and a page asking learns which installs and which waits.
    void concurrentDownloads()
    {
        setLibrary({ "ZA", "ZB" });
        serve("ZA", package(3000), 1);
        // ZB's last bytes are held back until ZA is being unpacked.
        const QByteArray second = package();
        replies.insert("ZB", { head(second) + second.chopped(100), true });
        download("ZB", "onDropped");
        QTRY_COMPARE(server->held.size(), 1);
        QPointer<Download> dropped = window->bridge->downloadService().inProgress().value("ZB");
        download("ZB", "onB");
        // Its transfer stops at once (the new one writes the same files); the download goes later.
        QVERIFY(!dropped || !dropped->manager);
        QTRY_VERIFY(!dropped);
        QTRY_COMPARE(server->held.size(), 2);
        bool released = false;
        QString states;
        QTimer watch;
        connect(&watch, &QTimer::timeout, this, [&] {
            if (!released && window->installer->isUnpacking()) {
                released = true;
                server->held.last()->write(second.right(100));
                server->held.last()->disconnectFromHost();
                download("ZA", "onSecond");
                // Once its package is there, a dictionary is installed whatever the page says.
                window->bridge->cancelDownload();
            }
            if (states.isEmpty() && !outcomes("onB").isEmpty())
                states = window->bridge->findChild<PageServices*>()->downloadStates();
        });
        watch.start(1);
        download("ZA", "onA");
        QVERIFY(waitForOutcomes("onSecond"));
        QVERIFY(waitForOutcomes("onB", 3));

        QCOMPARE(states, QStringLiteral("{\"ZA\":{\"state\":\"install\"},\"ZB\":{\"state\":\"queued\"}}"));
        QCOMPARE(outcomes("onDropped"), QStringList());
        QCOMPARE(outcomes("onA"), QStringList { pending("onA") });
        QCOMPARE(outcomes("onSecond"), QStringList({ pending("onSecond"), finished("onSecond") }));
        QCOMPARE(outcomes("onB"), QStringList({ pending("onB", "queued"), pending("onB"), finished("onB") }));
        const QStringList& all = TestSupport::recorded().statements;
        QVERIFY(all.indexOf(finished("onSecond")) < all.indexOf(pending("onB")));
        QCOMPARE(downloadRequests(), 3);
        QCOMPARE(window->bridge->downloadService().inProgress().size(), 2);
        QCOMPARE(booksEntries(), QStringList({ "ZA", "ZB" }));
        QVERIFY(QFile::exists(books() + "/ZA/voci/v2999.html.zip") && QFile::exists(books() + "/ZB/database.db"));
        QCOMPARE(status("ZA"), QStringLiteral("1"));
        QCOMPARE(status("ZB"), QStringLiteral("1"));
        QCOMPARE(TestSupport::recorded().dialogs, QStringList());
        QVERIFY(!messages.contains("Download interrotto dall'utente"));
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
        QVERIFY(downloadRequests() == 0);
        QVERIFY(QFile::exists(victim) && QDir(books()).exists() && QFile::exists(outside));
        QVERIFY(window->bridge->downloadService().inProgress().isEmpty());
        QVERIFY(!QFile::exists(QDir::homePath() + "/x") && !QFile::exists(QDir::homePath() + "/x_tmp"));
    }
};

VOCALUME_TEST_MAIN(TestDownload)
#include "tst_download.moc"
