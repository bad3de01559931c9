// The main window: start-up (data directory, web database, engine, migration), the reset, the running
// copy, and its part in sign-in and synchronisation: what the page hears and which page it shows.
#include "base/directorytree.h"
#include "app/mainwindow.h"
#include "app/runninginstance.h"
#include "base/appsettings.h"
#include "base/datapaths.h"
#include "base/fileclaim.h"
#include "base/processexit.h"
#include "packages/partialpackage.h"
#include "pages/pageloader.h"
#include "tests/support/catalogservice.h"
#include "tests/support/testsupport.h"
#include "web/customagentwebview.h"
#include "web/qtjavascriptinteraction.h"

#include <QAbstractButton>
#include <QApplication>
#include <QKeyEvent>
#include <QMessageBox>
#include <QProcess>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QScreen>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QSignalSpy>
#include <unistd.h>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QWebFrame>
#include <QWebPage>
#include <QWebSettings>
#include <memory>
#include <vector>

namespace {
QString data(const QString& rel = QString())
{
    return TestSupport::dataDirectory() + (rel.isEmpty() ? QString() : QLatin1Char('/') + rel);
}

// Read and written by its owner, nothing at all by the group and others (the store holds the session).
bool ownerOnly(const QString& path) { return (QFile::permissions(path) & 0x6077) == 0x6000; }

// The database's tables and its page size, sorted.
QStringList tables(const QString& path)
{
    QStringList names;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "inspect");
        db.setDatabaseName(path);
        QSqlQuery q(db);
        if (db.open() && q.exec("select name from sqlite_master where type='table'"
                                " union all select 'page_size=' || page_size from pragma_page_size"))
            while (q.next())
                names << q.value(0).toString();
    }
    QSqlDatabase::removeDatabase("inspect");
    names.sort();
    return names;
}
}

class TestStartup : public QObject
{
    Q_OBJECT
private:
    int exitCode = -1;
    QScopedPointer<CatalogService> service;
    QScopedPointer<MainWindow> window;
    QStringList messages; // status-bar texts

    QVariant js(const QString& script) { return window->webView->page()->mainFrame()->evaluateJavaScript(script); }
    QString url() { return window->webView->page()->mainFrame()->url().toString(); }
    int completed() const { return messages.count(QStringLiteral("Sincronizzazione completata")); }

    // Past the first-page timer and done loading, so later page loads are the synchronisation's own.
    void waitForThePage()
    {
        QTest::qWait(150);
        QTRY_VERIFY(window->webView->page()->mainFrame()->url().isValid());
        QTRY_COMPARE(js(QStringLiteral("document.readyState")).toString(), QStringLiteral("complete"));
    }

    // Runs a synchronisation of a changed library and counts the page loads it brings.
    int loadsOfASynchronisation(const std::function<void()>& start)
    {
        waitForThePage();
        QSignalSpy loads(window->webView->page(), &QWebPage::loadFinished);
        service->catalog << CatalogService::Entry { QString::number(20 + service->catalog.size()), "true", "1", "a.png" };
        const int before = completed();
        start();
        if (!QTest::qWaitFor([&] { return completed() == before + 1; }, 5000))
            return -1;
        QTest::qWait(300);
        return loads.count();
    }

private slots:
    void init()
    {
        TestSupport::resetHome();
        exitCode = -1;
        messages.clear();
        ProcessExit::setHandler([this](int code) { exitCode = code; });
    }

    void cleanup()
    {
        window.reset();
        service.reset();
    }

    // The data folder's databases and engine, the page's storage, and a window that fits its screen.
    void firstStart()
    {
        MainWindow window;
        for (const char* database : { "Databases.db", "file__0/bookmarks.db" })
            QVERIFY2(ownerOnly(data(database)), database);
        for (const char* file : { "login.html.zip", "libreria.html.zip", "js/app.js.zip", "css/style.css" })
            QVERIFY2(QFileInfo(data("engine/") + file).isFile(), file);
        QVERIFY(QFileInfo(data("engine/books")).isDir() && QFileInfo(data("engine/covers")).isDir());
        QVERIFY(!QFile::exists(data("engine.zip")) && !QFile::exists(DataPaths::unpackFolder(data("engine"))));
        QCOMPARE(AppSettings().version(), QStringLiteral("1.1.0"));
        QVERIFY(!TestSupport::diagnosticsContain("Nuovo engine da deployare"));
        QCOMPARE(tables(data("Databases.db")), QStringList({ "Databases", "Origins", "page_size=1024", "sqlite_sequence" }));
        QCOMPARE(tables(data("file__0/bookmarks.db")),
                 QStringList({ "BOOKMARK", "FAVORITE", "NOTE", "SYSTEM", "__WebKitDatabaseInfoTable__", "page_size=1024" }));
        QCOMPARE(QWebSettings::offlineStoragePath(), data());
        QCOMPARE(window.webView->settings()->localStoragePath(), data("file__0"));

        QVERIFY2(window.screen()->availableGeometry().contains(window.geometry()),
                 qPrintable(QStringLiteral("%1x%2").arg(window.width()).arg(window.height())));
    }

    // A second start over what a first start, earlier releases or killed attempts left. Steps and
    // checks are separated by blanks, "B/" standing for the books folder. Steps: "path=text"
    // written ("@path=text": and claimed, as by another process at work; "~path=text": and last
    // written longer ago than a kept transfer is kept), "path/" made, "-path" removed, "#id" a
    // book the web store knows, "*" a start in between; checks: "path=text" read back, "path"
    // there, "!path" gone; a diagnostic "!text" is never logged. The last start never rewrites
    // the web store.
    void secondStart_data()
    {
        QTest::addColumn<QString>("steps");
        QTest::addColumn<QString>("version"); // stored before the second start; null: left as it is
        QTest::addColumn<QString>("checks");
        QTest::addColumn<QString>("storedVersion");
        QTest::addColumn<QString>("diagnostic"); // empty: not looked at
        const auto row = [](const QString& name, const QString& steps, const QString& version, const QString& checks,
                            const QString& diagnostic, const QString& stored = "1.1.0") {
            QTest::newRow(qPrintable(name)) << steps << version << checks << stored << diagnostic;
        };
        const QString deployed = "engine/login.html.zip ";
        const QString same = "già deployato", fresh = "Deploying new engine", migrating = "Nuovo engine da deployare";
        row("ordinary start", "engine/extra.txt=mine", QString(), "engine/extra.txt=mine", same);
        row("empty engine", "-engine engine/", QString(), deployed, fresh);
        // Damaged or from another release: the engine always comes from the program.
        row("missing engine, leftover archive", "-engine engine.zip=another-release", QString(), deployed + "!engine.zip", fresh);
        const QString book = "B/42/database.db=dictionary engine/covers/abc.png=cover ";
        const QString kept = book + deployed + "!books ";
        row("no version recorded keeps the engine", book + "engine/stale.txt=x", "", kept + "engine/stale.txt=x", "!" + migrating);
        for (const char* version : { "1.0.3", "2.0" })
            row(QString("version %1 migrates").arg(version), book + "engine/stale.txt=x", version, kept + "!engine/stale.txt",
                migrating);
        // An engine another build deployed is deployed again, as on a version change.
        for (const char* stamp : { "engine.stamp=another-build", "engine.stamp=" })
            row(QString("engine of another build: ") + stamp, book + "engine/stale.txt=x " + stamp, QString(),
                kept + "!engine/stale.txt", migrating);
        // A books folder left by an earlier attempt stops the migration before anything is lost.
        row("leftover books folder", book + "books/7/database.db=other-dictionary", "1.0.3",
            "B/42/database.db=dictionary books/7/database.db=other-dictionary", QString(), "1.0.3");
        // A migration whose engine cannot be unpacked is done again at the next start, and so is
        // the deployment of an engine that could not replace another build's.
        row("migration finished at the next start", book + "engine..tmp=in-the-way * -engine..tmp B/", "1.0.3",
            kept, migrating);
        row("engine of another build replaced at the next start",
            book + "engine/stale.txt=x engine.stamp=another-build engine..tmp=in-the-way * -engine..tmp", QString(),
            kept + "!engine/stale.txt", migrating);
        // Cut downloads, packages never installed and half-unpacked folders go; a book killed in its
        // replacement is put back. Earlier releases named them otherwise; a book so named stays.
        const auto leftovers = [&](const QString& name, const QString& zip, const QString& old, const QString& tmp,
                                   const QString& steps, const QString& checks) {
            const auto named = [&](QString text) { return text.replace("ZIP", zip).replace("OLD", old).replace("TMP", tmp); };
            row(name, named("B/42ZIP.part=half B/43ZIP=whole B/44OLD/database.db=installed B/45OLD/database.db=previous "
                            "B/45/database.db=new B/46TMP/a.html=half ") + steps, QString(),
                named("!B/42ZIP.part !B/43ZIP B/44/database.db=installed !B/44OLD B/45/database.db=new !B/45OLD !B/46TMP ")
                    + checks, same);
        };
        leftovers("unfinished downloads and replacements", "..zip", "..old", "..tmp", "B/46/database.db=installed",
                  "B/46/database.db=installed");
        const QString bearers = "B/47/database.db=47 B/47_tmp/database.db=47_tmp B/47_old/database.db=47_old "
                                "B/47.zip/database.db=47.zip";
        leftovers("earlier names and the books that bear them", ".zip", "_old", "_tmp", "#47 #47_tmp #47_old #47.zip " + bearers,
                  bearers);
        // A transfer that can be continued stays; an old one, a weak tag or a missing half goes.
        const auto resume = [](int book, const char* tag) {
            return QString("B/%1..zip.resume={\"size\":100,\"etag\":\"%2\\\"v1\\\"\",\"state\":\"running\"} ").arg(book).arg(tag);
        };
        row("transfers kept for resuming",
            "B/40..zip.part=half " + resume(40, "") + "~B/41..zip.part=stale " + resume(41, "") + "B/42..zip.part=weak "
                + resume(42, "W/") + resume(43, ""), QString(),
            "B/40..zip.part=half B/40..zip.resume !B/41..zip.part !B/41..zip.resume !B/42..zip.part !B/42..zip.resume "
            "!B/43..zip.resume", same);
        row("another process at work", "@B/42..zip.part=arriving @B/43..zip=installing B/43..tmp/a.html=half", QString(),
            "B/42..zip.part=arriving B/43..zip=installing B/43..tmp/a.html=half", same);
    }

    void secondStart()
    {
        QFETCH(QString, steps);
        QFETCH(QString, version);
        QFETCH(QString, checks);
        QFETCH(QString, storedVersion);
        QFETCH(QString, diagnostic);
        { MainWindow first; }
        if (!version.isNull())
            AppSettings().setVersion(version);
        std::vector<std::unique_ptr<FileClaim>> claims;
        int id = 900;
        for (const QString& step : QString(steps).replace("B/", "engine/books/").split(' ', Qt::SkipEmptyParts)) {
            const QString path = data(step.section('=', 0, 0).remove(QRegularExpression("^[@~]")));
            if (step == "*")
                MainWindow();
            else if (step.startsWith('-'))
                QVERIFY(QFile::remove(data(step.mid(1))) || removeDirectoryTree(data(step.mid(1))));
            else if (step.startsWith('#'))
                QVERIFY(TestSupport::storeExec(
                    QString("INSERT INTO SYSTEM (ID, REFBOOK, VARIABLE, VALUE) VALUES (%1, '%2', 'STATUS', '1')").arg(++id).arg(step.mid(1))));
            else if (step.endsWith('/'))
                QVERIFY(QDir().mkpath(data(step)));
            else
                QVERIFY(TestSupport::writeFile(path, step.section('=', 1).toUtf8()));
            if (step.startsWith('@')) {
                claims.emplace_back(new FileClaim);
                QVERIFY(claims.back()->claim(path));
            }
            QFile aged(path);
            if (step.startsWith('~'))
                QVERIFY(aged.open(QIODevice::Append) && aged.setFileTime(
                            QDateTime::currentDateTime().addDays(-PartialPackage::KeptDays - 1), QFileDevice::FileModificationTime));
        }
        const QDateTime written = QFileInfo(data("file__0/bookmarks.db")).lastModified();
        TestSupport::recorded() = TestSupport::Recorded();
        { MainWindow second; }
        for (const QString& check : QString(checks).replace("B/", "engine/books/").split(' ', Qt::SkipEmptyParts)) {
            if (check.startsWith('!'))
                QVERIFY2(!QFile::exists(data(check.mid(1))), qPrintable(check));
            else if (check.contains('='))
                QCOMPARE(TestSupport::readFile(data(check.section('=', 0, 0))), check.section('=', 1).toUtf8());
            else
                QVERIFY2(QFile::exists(data(check)), qPrintable(check));
        }
        QCOMPARE(AppSettings().version(), storedVersion);
        const bool never = diagnostic.startsWith('!');
        if (!diagnostic.isEmpty())
            QCOMPARE(TestSupport::diagnosticsContain(diagnostic.mid(never ? 1 : 0)), !never);
        QCOMPARE(TestSupport::recorded().dialogs, QStringList());
        QCOMPARE(QFileInfo(data("file__0/bookmarks.db")).lastModified(), written);
    }

    // The store holds the session: one open to others is narrowed; a missing one is made again; a
    // damaged one is kept aside untouched, made again, and the user told where it is.
    void webStoreAtStart_data()
    {
        QTest::addColumn<QByteArray>("content"); // written in place of the store; null: none; "open": kept, open to others
        QTest::addColumn<bool>("setAsideBefore"); // stores set aside earlier, in this second and the next two
        QTest::newRow("open to others") << QByteArray("open") << false;
        QTest::newRow("missing") << QByteArray() << false;
        QTest::newRow("not a database") << TestSupport::noise(4096) << false;
        QTest::newRow("without SYSTEM") << QByteArray("") << false;
        QTest::newRow("damaged again within the second") << TestSupport::noise(4096) << true;
    }

    void webStoreAtStart()
    {
        QFETCH(QByteArray, content);
        QFETCH(bool, setAsideBefore);
        { MainWindow first; }
        const QString store = data("file__0/bookmarks.db");
        QStringList earlier;
        for (int second = 0; setAsideBefore && second < 3; ++second) {
            earlier << "bookmarks.db.danneggiato-" + QDateTime::currentDateTime().addSecs(second).toString("yyyyMMdd-HHmmss");
            QVERIFY(TestSupport::writeFile(data("file__0/" + earlier.last()), "earlier"));
        }
        const bool damaged = !content.isNull() && content != "open";
        QVERIFY(content == "open" ? QFile::setPermissions(store, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadOther)
                                  : QFile::remove(store));
        // Set aside, a damaged store and the files SQLite keeps beside it (its shared memory here:
        // a journal is rolled back, or removed, as the store is opened) still hold the session:
        // they stay the owner's alone.
        const QFile::Permissions open = QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::ReadOther;
        QVERIFY(!damaged
            || (TestSupport::writeFile(store, content) && TestSupport::writeFile(store + "-shm", "memoria")
                && QFile::setPermissions(store, open) && QFile::setPermissions(store + "-shm", open)));
        MainWindow second;
        QTest::qWait(100);
        QVERIFY(tables(store).contains("SYSTEM") && ownerOnly(store));
        QStringList aside = QDir(data("file__0")).entryList({ "bookmarks.db.danneggiato-*" }).filter(QRegularExpression("\\d$"));
        for (const QString& name : earlier) {
            QCOMPARE(TestSupport::readFile(data("file__0/" + name)), QByteArray("earlier"));
            aside.removeOne(name);
        }
        QCOMPARE(aside.size(), damaged ? 1 : 0);
        QCOMPARE(TestSupport::recorded().dialogs.filter("Vocalume|Il database dei preferiti").filter(aside.value(0)).size(), aside.size());
        QCOMPARE(TestSupport::readFile(data("file__0/" + aside.value(0))), damaged ? content : "<missing>");
        QVERIFY(!damaged || (ownerOnly(data("file__0/" + aside.value(0))) && ownerOnly(data("file__0/" + aside.value(0) + "-shm"))));
    }

    void dataDirectoryThatCannotBeMadeWritesNothingIntoTheHome()
    {
        QVERIFY(TestSupport::writeFile(data(), "a file in the way"));
        { MainWindow window; }
        const QStringList home = QDir(QDir::homePath()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
        for (const char* name :
            { "Databases.db", "engine", "engine.zip", "engine_tmp", "engine..tmp", "file__0", "books" })
            QVERIFY2(!home.contains(QLatin1String(name)), name);
        QCOMPARE(TestSupport::readFile(data()), QByteArray("a file in the way"));
        QVERIFY(TestSupport::recorded().dialogs.contains(
            "Vocalume|Settaggi non trovati, non posso leggere le informazioni sui libri dal database"));
    }

    // Ctrl+R with any other modifiers asks first; confirmed, it removes data and settings and ends.
    void reset_data()
    {
        QTest::addColumn<int>("modifiers");
        QTest::addColumn<int>("answer");
        QTest::addColumn<bool>("dataPresent");
        QTest::addColumn<bool>("asks");
        const int ctrl = Qt::ControlModifier;
        QTest::newRow("ctrl+shift, refused") << int(ctrl | Qt::ShiftModifier) << int(QMessageBox::No) << true << true;
        QTest::newRow("plain") << int(Qt::NoModifier) << int(QMessageBox::Ok) << true << false;
        QTest::newRow("ctrl, confirmed") << ctrl << int(QMessageBox::Ok) << true << true;
        QTest::newRow("ctrl, confirmed, no data directory") << ctrl << int(QMessageBox::Ok) << false << true;
    }

    void reset()
    {
        QFETCH(int, modifiers);
        QFETCH(int, answer);
        QFETCH(bool, dataPresent);
        QFETCH(bool, asks);
        MainWindow window;
        AppSettings().setUsername(QStringLiteral("mario"));
        if (!dataPresent)
            QVERIFY(removeDirectoryTree(data()));
        TestSupport::answerDialogs(answer);
        QStringList buttons;
        Dialogs::setHandler([&](Dialogs::Kind, const QString& title, const QString& text, QDialog* box) {
            TestSupport::recorded().dialogs << title + '|' + text;
            if (auto* question = qobject_cast<QMessageBox*>(box))
                for (QAbstractButton* b : question->buttons())
                    buttons << b->text();
            return answer;
        });
        QKeyEvent press(QEvent::KeyPress, Qt::Key_R, Qt::KeyboardModifiers(modifiers));
        QApplication::sendEvent(&window, &press);
        const bool done = asks && answer == QMessageBox::Ok;
        const QStringList& dialogs = TestSupport::recorded().dialogs;
        QCOMPARE(dialogs.size(), asks ? (done ? 2 : 1) : 0);
        if (asks)
            QVERIFY(dialogs.first().startsWith(QStringLiteral("Vocalume|Resettare i dati dell'applicazione?")));
        if (asks) {
            buttons.sort();
            QCOMPARE(buttons, QStringList({ "Esporta gli appunti", "No", "Sì" }));
        }
        QVERIFY(!done || dialogs.last() == "Vocalume|Operazione completata, l'applicazione verrà chiusa");
        QCOMPARE(exitCode, done ? 0 : -1);
        QCOMPARE(QFile::exists(data("file__0/bookmarks.db")), !done && dataPresent);
        QCOMPARE(QFile::exists(data()), !done && dataPresent);
        QCOMPARE(AppSettings().username() + "|" + AppSettings().version(), done ? "|" : "mario|1.1.0");
    }

    // One running copy per data folder: a second start leaves the first one's download alone and
    // ends; a killed copy's lock is taken over, and its holder gets a later copy's requests.
    void oneRunningCopyPerDataFolder()
    {
        const QString program = qEnvironmentVariable("VOCALUME_BINARY_DIR") + QStringLiteral("/vocalume");
        if (!QFileInfo(program).isExecutable())
            QSKIP("the program is not built");
        QTemporaryDir home;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("HOME"), home.path());
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), home.filePath(QStringLiteral("config")));
        env.insert(QStringLiteral("VOCALUME_STORE"), QStringLiteral("127.0.0.1:9"));
        QProcess first, second;
        first.setProcessEnvironment(env);
        second.setProcessEnvironment(env);
        first.start(program, QStringList());
        const QString dataDir = home.filePath(QStringLiteral(".vocalumezenta"));
        const QString part = dataDir + "/engine/books/42.zip.part";
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(dataDir + "/file__0/bookmarks.db"), 60000);
        // The first copy's download under way holds its part file, as a transfer does.
        QVERIFY(TestSupport::writeFile(part, "in corso"));
        FileClaim transfer;
        QVERIFY(transfer.claim(part));
        second.start(program, QStringList());
        QVERIFY(second.waitForFinished(30000));
        QCOMPARE(second.exitStatus(), QProcess::NormalExit);
        QCOMPARE(second.exitCode(), 0);
        QCOMPARE(TestSupport::readFile(part), QByteArray("in corso"));
        QCOMPARE(first.state(), QProcess::Running);
        first.kill();
        QVERIFY(first.waitForFinished());

        const QString lock = dataDir + '/' + DataPaths::lockName();
        QVERIFY(QFile::exists(lock));
        RunningInstance running(dataDir);
        QCOMPARE(running.claim(), RunningInstance::Claim::Running);
        QFile lockFile(lock);
        QVERIFY(lockFile.open(QIODevice::ReadWrite)
            && lockFile.setFileTime(QDateTime::currentDateTime().addDays(-1), QFileDevice::FileModificationTime));
        lockFile.close();
        RunningInstance later(dataDir);
        QCOMPARE(later.claim(), RunningInstance::Claim::Other);
        QSignalSpy requests(&running, &RunningInstance::requested);
        QVERIFY(later.send(RunningInstance::raiseVerb()));
        QVERIFY(later.send("cerca", "l'acqua è\nfresca 100% "));
        QTRY_COMPARE(requests.count(), 2);
        QCOMPARE(requests.at(0), QVariantList({ "raise", "" }));
        QCOMPARE(requests.at(1), QVariantList({ "cerca", "l'acqua è\nfresca 100% " }));
    }

    // The socket of the running copy is a path in a folder of the user's alone: the session's
    // runtime folder, else one of its own in the temporary folder (another user's there, or a
    // link, is never used).
    void runningCopySocketIsPrivate()
    {
        const QByteArray runtime = qgetenv("XDG_RUNTIME_DIR");
        const QString name = RunningInstance::serverName(data());
        QVERIFY2(name.startsWith(QString::fromLocal8Bit(runtime) + '/'), qPrintable(name));
        // A runtime folder named relatively, or through a link, is not the session's own.
        const QString link = QString::fromLocal8Bit(runtime) + "/collegamento";
        QVERIFY(QDir().mkpath(QString::fromLocal8Bit(runtime) + "/vera") && QFile::link(QString::fromLocal8Bit(runtime) + "/vera", link));
        for (const QString& other : { QStringLiteral("relativa"), link }) {
            qputenv("XDG_RUNTIME_DIR", QFile::encodeName(other));
            QVERIFY2(!RunningInstance::serverName(data()).startsWith(other), qPrintable(other));
        }
        qputenv("XDG_RUNTIME_DIR", runtime);
        // A temporary folder of the test's own stands for the system's.
        QTemporaryDir temporary;
        const QByteArray systemTemporary = qgetenv("TMPDIR");
        qunsetenv("XDG_RUNTIME_DIR");
        qputenv("TMPDIR", QFile::encodeName(temporary.path()));
        const auto restore = qScopeGuard([&] {
            qputenv("XDG_RUNTIME_DIR", runtime);
            qputenv("TMPDIR", systemTemporary);
        });
        const QString fallback = RunningInstance::serverName(data());
        const QFileInfo folder(QFileInfo(fallback).absolutePath());
        QVERIFY2(folder.absolutePath() == QDir::tempPath() && folder.isDir() && !folder.isSymLink(), qPrintable(fallback));
        QCOMPARE(folder.ownerId(), ::getuid());
        QCOMPARE(int(QFile::permissions(folder.filePath()) & 0x0077), 0);
        // Opened to others meanwhile, it is narrowed again; a link in its place is not followed.
        QVERIFY(QFile::setPermissions(folder.filePath(), QFile::permissions(folder.filePath()) | QFile::ReadOther | QFile::ExeOther));
        QCOMPARE(RunningInstance::serverName(data()), fallback);
        QCOMPARE(int(QFile::permissions(folder.filePath()) & 0x0077), 0);
        QVERIFY(QDir(folder.filePath()).removeRecursively() && QFile::link(data(), folder.filePath()));
        QCOMPARE(RunningInstance::serverName(data()), QString());
    }

    // The page hears one answer, intact; a failure leaves the login page; a completed one shows the
    // library, which a synchronisation redraws only while it is shown (a note being typed stays).
    void signInFromThePage_data()
    {
        QTest::addColumn<QByteArray>("historyError");
        QTest::addColumn<QString>("heard");
        QTest::newRow("completed") << QByteArray() << "";
        QTest::newRow("failed synchronisation")
            << QByteArray("<field name=\"errorCode\">9</field><field name=\"errorDescription\">Servizio \"fuori\" l'uso</field>")
            << "9: Servizio \"fuori\" l'uso";
    }

    void signInFromThePage()
    {
        QFETCH(QByteArray, historyError);
        QFETCH(QString, heard);
        service.reset(new CatalogService); // a scripted store on 127.0.0.1
        service->catalog = {{"10", "true", "1", "a.png"}};
        service->historyError = historyError;
        window.reset(new MainWindow);
        connect(window->statusBar(), &QStatusBar::messageChanged, this, [this](const QString& m) { messages << m; });
        waitForThePage();
        QSignalSpy loginLoads(window->webView->page(), &QWebPage::loadFinished);
        js(QStringLiteral("QtJavascriptInteraction.setUsernamePassword('mario', 'pw', 'onLogin')"));
        QTRY_COMPARE(TestSupport::heard(QStringLiteral("onLogin")).size(), 1);
        QVERIFY(messages.contains(QStringLiteral("Login in corso...")));
        // The answer is evaluated as the page does: no quote of its text ends a string early.
        js(QStringLiteral("function SignalQt(cb, lit) { window.seen = eval('(' + lit + ')').error; }"));
        js(TestSupport::heard(QStringLiteral("onLogin")).first());
        QCOMPARE(js(QStringLiteral("window.seen")).toString(), heard);
        if (!heard.isEmpty()) {
            QTest::qWait(300);
            QCOMPARE(loginLoads.count(), 0);
            return;
        }
        QTRY_VERIFY(url().endsWith(QStringLiteral("libreria.html")));
        // The library shows before its covers arrive; the sign-in's synchronisation ends with them.
        QTRY_COMPARE(completed(), 1);
        QCOMPARE(loadsOfASynchronisation([this] { js(QStringLiteral("QtJavascriptInteraction.synchronize()")); }), 1);
        window->bridge->loadUrl(QStringLiteral("login.html"));
        QCOMPARE(loadsOfASynchronisation([this] { window->startSync(); }), 0);
        QVERIFY(url().endsWith(QStringLiteral("login.html")));
    }

    // Until its script runs, the sign-in form must not send the credentials anywhere.
    void loginFormWaitsForItsScript()
    {
        { MainWindow deploying; }
        const QString engine = TestSupport::dataDirectory() + QStringLiteral("/engine");
        QByteArray html;
        QVERIFY(PageLoader::readArchive(engine + QStringLiteral("/login.html.zip"), QStringLiteral("login.html"), &html));
        html.replace("<script", "<!--").replace("</script>", "-->");
        QWebPage page;
        QSignalSpy loaded(&page, &QWebPage::loadFinished);
        page.mainFrame()->setHtml(QString::fromUtf8(html), QUrl::fromLocalFile(engine + QStringLiteral("/login.html")));
        QTRY_COMPARE(loaded.count(), 1);
        page.mainFrame()->evaluateJavaScript(QStringLiteral(
            "document.getElementById('username').value = 'mario';"
            "document.getElementById('password').value = 'segreto';"
            "document.getElementById('login-submit').click();"));
        QTest::qWait(300);
        QVERIFY(!page.mainFrame()->url().toString().contains(QStringLiteral("segreto")));
        QVERIFY(!page.mainFrame()->requestedUrl().toString().contains(QStringLiteral("segreto")));
        QCOMPARE(loaded.count(), 1);
    }
};

VOCALUME_TEST_MAIN(TestStartup)
#include "tst_startup.moc"
