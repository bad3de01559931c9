// Start-up of the main window: data directory, web-database files, engine deployment,
// migration on a version change, and the reset.
#include "app/datadirectory.h"
#include "app/desktophabits.h"
#include "app/mainwindow.h"
#include "app/runninginstance.h"
#include "base/appsettings.h"
#include "base/datapaths.h"
#include "base/fileclaim.h"
#include "base/processexit.h"
#include "packages/partialpackage.h"
#include "tests/support/testsupport.h"
#include "web/customagentwebview.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMessageBox>
#include <QProcess>
#include <QRegularExpression>
#include <QScreen>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QWebSettings>
#include <memory>
#include <vector>

namespace {
QString data(const QString& rel = QString())
{
    return TestSupport::dataDirectory() + (rel.isEmpty() ? QString() : QLatin1Char('/') + rel);
}

bool ownerOnly(const QString& path)
{
    const QFile::Permissions p = QFile::permissions(path);
    const QFile::Permissions others = QFile::ReadGroup | QFile::WriteGroup | QFile::ExeGroup | QFile::ReadOther
        | QFile::WriteOther | QFile::ExeOther;
    return (p & QFile::ReadOwner) && (p & QFile::WriteOwner) && !(p & others);
}

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

private slots:
    void init()
    {
        TestSupport::resetHome();
        exitCode = -1;
        ProcessExit::setHandler([this](int code) { exitCode = code; });
    }

    // A first start: the data folder's databases (open to the owner only) and the engine, the
    // web engine's storage where the page looks for it; the window fits the screen it opens on,
    // Ctrl+Q closes it, and Qt's own dialogs speak Italian.
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
        window.show();
        QApplication::setActiveWindow(&window);
        QVERIFY(QTest::qWaitForWindowActive(&window));
        QTest::keyClick(window.webView, Qt::Key_Q, Qt::ControlModifier);
        QVERIFY(!window.isVisible());
        QVERIFY2(DesktopHabits::installQtTranslations(qApp), "qttranslations5-l10n is not installed");
        QCOMPARE(QCoreApplication::translate("QPlatformTheme", "Cancel"), QStringLiteral("Annulla"));
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
        // An engine another build deployed (another record, or an empty one) is deployed again, as
        // on a version change.
        for (const char* stamp : { "engine.stamp=another-build", "engine.stamp=" })
            row(QString("engine of another build: ") + stamp, book + "engine/stale.txt=x " + stamp, QString(),
                kept + "!engine/stale.txt", migrating);
        // A books folder left by an earlier attempt stops the migration before anything is lost.
        row("leftover books folder", book + "books/7/database.db=other-dictionary", "1.0.3",
            "B/42/database.db=dictionary books/7/database.db=other-dictionary", QString(), "1.0.3");
        // A migration whose engine cannot be unpacked (a file in the way) is done again at the next
        // start, over a fresh engine that may have been deployed meanwhile.
        row("migration finished at the next start", book + "engine..tmp=in-the-way * -engine..tmp B/", "1.0.3",
            kept, migrating);
        // A download cut short goes, and so do a package never installed and a half-unpacked
        // folder; a book killed between moving the installed version aside and moving the new one
        // in is put back; after the new one moved in, the aside copy goes. Earlier releases named
        // them otherwise; a book whose identifier is such a name stays.
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
        // A transfer that can be continued stays, with the server's word on it; one whose last byte
        // is old, that names no validator (a weak tag) or whose record or part is missing goes.
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

    // The store holds the session: one left open to others (a restored backup) is narrowed. A
    // missing one is made again from its template; a damaged one (not a database, or one without
    // SYSTEM) is kept aside untouched, made again, and the user is told where it is.
    void webStoreAtStart_data()
    {
        QTest::addColumn<QByteArray>("content"); // written in place of the store; null: none; "open": kept, open to others
        QTest::newRow("open to others") << QByteArray("open");
        QTest::newRow("missing") << QByteArray();
        QTest::newRow("not a database") << TestSupport::noise(4096);
        QTest::newRow("without SYSTEM") << QByteArray("");
    }

    void webStoreAtStart()
    {
        QFETCH(QByteArray, content);
        { MainWindow first; }
        const QString store = data("file__0/bookmarks.db");
        const bool damaged = !content.isNull() && content != "open";
        QVERIFY(content == "open" ? QFile::setPermissions(store, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadOther)
                                  : QFile::remove(store));
        QVERIFY(!damaged || TestSupport::writeFile(store, content));
        MainWindow second;
        QTest::qWait(100);
        QVERIFY(tables(store).contains("SYSTEM") && ownerOnly(store));
        const QStringList aside = QDir(data("file__0")).entryList({ "bookmarks.db.danneggiato-*" });
        QCOMPARE(aside.size(), damaged ? 1 : 0);
        QCOMPARE(TestSupport::recorded().dialogs.filter("Vocalume|Il database dei preferiti").filter(aside.value(0)).size(), aside.size());
        QCOMPARE(TestSupport::readFile(data("file__0/" + aside.value(0))), damaged ? content : "<missing>");
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
        QTest::newRow("shift") << int(Qt::ShiftModifier) << int(QMessageBox::Ok) << true << false;
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
        QKeyEvent press(QEvent::KeyPress, Qt::Key_R, Qt::KeyboardModifiers(modifiers));
        QApplication::sendEvent(&window, &press);
        const bool done = asks && answer == QMessageBox::Ok;
        const QStringList& dialogs = TestSupport::recorded().dialogs;
        QCOMPARE(dialogs.size(), asks ? (done ? 2 : 1) : 0);
        if (asks)
            QVERIFY(dialogs.first().startsWith(QStringLiteral("|Resettare i dati dell'applicazione?")));
        QVERIFY(!done || dialogs.last() == "Vocalume|Operazione completata, l'applicazione verrà chiusa");
        QCOMPARE(exitCode, done ? 0 : -1);
        QCOMPARE(QFile::exists(data("file__0/bookmarks.db")), !done && dataPresent);
        QCOMPARE(QFile::exists(data()), !done && dataPresent);
        QCOMPARE(AppSettings().username() + "|" + AppSettings().version(), done ? "|" : "mario|1.1.0");
    }

    // One running copy per data folder. A second start of the program leaves the first one's
    // download alone and ends at once; a lock left by a killed copy is taken over, and the copy
    // holding it gets every request of a later one, however long it has held the lock.
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
};

VOCALUME_TEST_MAIN(TestStartup)
#include "tst_startup.moc"
