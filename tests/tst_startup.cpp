// Start-up of the main window: data directory, web-database files, engine deployment,
// migration on a version change, and the reset.
#include "app/datadirectory.h"
#include "app/mainwindow.h"
#include "base/appsettings.h"
#include "base/processexit.h"
#include "tests/support/testsupport.h"
#include "web/customagentwebview.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMessageBox>
#include <QProcess>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QSettings>
#include <QTemporaryDir>
#include <QWebSettings>

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

QStringList tables(const QString& path)
{
    QStringList names;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("inspect"));
        db.setDatabaseName(path);
        if (db.open()) {
            QSqlQuery q(QStringLiteral("select name from sqlite_master where type='table' order by name"), db);
            while (q.next())
                names << q.value(0).toString();
            QSqlQuery pragma(QStringLiteral("pragma page_size"), db);
            pragma.next();
            names << QStringLiteral("page_size=") + pragma.value(0).toString();
        }
        db.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("inspect"));
    return names;
}

bool writeFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    return QDir().mkpath(QFileInfo(path).absolutePath()) && file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

QByteArray readFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

void pressKey(QWidget* w, int key, Qt::KeyboardModifiers mods)
{
    QKeyEvent press(QEvent::KeyPress, key, mods);
    QApplication::sendEvent(w, &press);
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

    void firstStartCreatesTheDataDirectory()
    {
        MainWindow window;
        QCOMPARE(window.windowTitle(), QStringLiteral("Ruvozovor"));
        QCOMPARE(window.minimumSize(), QSize(800, 600));
        QVERIFY(QFile::exists(data("Databases.db")));
        QVERIFY(QFile::exists(data("file__0/bookmarks.db")));
        QVERIFY(ownerOnly(data("Databases.db")));
        QVERIFY(ownerOnly(data("file__0/bookmarks.db")));
        QVERIFY(QFileInfo(data("engine/login.html.zip")).isFile());
        QVERIFY(QFileInfo(data("engine/libreria.html.zip")).isFile());
        QVERIFY(QFileInfo(data("engine/js/app.js.zip")).isFile());
        QVERIFY(QFileInfo(data("engine/css/style.css")).isFile());
        QVERIFY(QFileInfo(data("engine/books")).isDir());
        QVERIFY(QFileInfo(data("engine/covers")).isDir());
        QVERIFY(!QFile::exists(data("engine.zip")));
        QVERIFY(!QFile::exists(data("engine_tmp")));
        QCOMPARE(AppSettings().version(), QStringLiteral("1.1.0"));
        QVERIFY(!TestSupport::diagnosticsContain(QStringLiteral("Nuovo engine da deployare")));

        QCOMPARE(tables(data("Databases.db")),
                 QStringList({"Databases", "Origins", "sqlite_sequence", "page_size=1024"}));
        QCOMPARE(tables(data("file__0/bookmarks.db")),
                 QStringList({"BOOKMARK", "FAVORITE", "NOTE", "SYSTEM", "__WebKitDatabaseInfoTable__", "page_size=1024"}));
        QCOMPARE(QWebSettings::offlineStoragePath(), data());
        QCOMPARE(window.webView->settings()->localStoragePath(), data("file__0"));
        QCOMPARE(QWebSettings::offlineStorageDefaultQuota(), qint64(209715200));
        QVERIFY(QWebSettings::globalSettings()->testAttribute(QWebSettings::OfflineStorageDatabaseEnabled));
        QVERIFY(QWebSettings::globalSettings()->testAttribute(QWebSettings::LocalStorageEnabled));
        QCOMPARE(window.webView->contextMenuPolicy(), Qt::NoContextMenu);
    }

    void ordinaryStartLeavesEverythingAlone()
    {
        { MainWindow first; }
        QFile marker(data("file__0/bookmarks.db"));
        const QDateTime written = QFileInfo(marker).lastModified();
        QFile extra(data("engine/extra.txt"));
        QVERIFY(extra.open(QIODevice::WriteOnly));
        extra.close();
        TestSupport::recorded().diagnostics.clear();
        { MainWindow second; }
        QVERIFY(TestSupport::diagnosticsContain(QStringLiteral("già deployato")));
        QVERIFY(QFile::exists(data("engine/extra.txt")));
        QCOMPARE(QFileInfo(marker).lastModified(), written);
    }

    void emptyOrMissingEngineIsDeployedAgain_data()
    {
        QTest::addColumn<bool>("removeFolder");
        QTest::newRow("empty engine") << false;
        QTest::newRow("missing engine") << true;
    }

    void emptyOrMissingEngineIsDeployedAgain()
    {
        QFETCH(bool, removeFolder);
        { MainWindow first; }
        QVERIFY(removeDirectoryTree(data("engine")));
        if (!removeFolder)
            QVERIFY(QDir().mkpath(data("engine")));
        TestSupport::recorded().diagnostics.clear();
        { MainWindow second; }
        QVERIFY(TestSupport::diagnosticsContain(QStringLiteral("Deploying new engine")));
        QVERIFY(QFile::exists(data("engine/login.html.zip")));
    }

    void storageFolderWithoutDatabaseIsLeftAsItIs()
    {
        { MainWindow first; }
        QVERIFY(QFile::remove(data("file__0/bookmarks.db")));
        { MainWindow second; }
        // No copy of the template is made (opening the store may leave an empty file).
        QVERIFY(!tables(data("file__0/bookmarks.db")).contains(QStringLiteral("SYSTEM")));
        QVERIFY(removeDirectoryTree(data("file__0")));
        { MainWindow third; }
        QVERIFY(QFile::exists(data("file__0/bookmarks.db")));
    }

    void versionDecidesTheMigration_data()
    {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<bool>("migrates");
        QTest::newRow("same") << "1.1.0" << false;
        QTest::newRow("empty") << "" << false;
        QTest::newRow("older") << "1.0.3" << true;
        QTest::newRow("newer") << "2.0" << true;
    }

    void versionDecidesTheMigration()
    {
        QFETCH(QString, stored);
        QFETCH(bool, migrates);
        { MainWindow first; }
        QVERIFY(QDir().mkpath(data("engine/books/42")));
        QFile book(data("engine/books/42/database.db"));
        QVERIFY(book.open(QIODevice::WriteOnly));
        book.write("dictionary");
        book.close();
        QFile cover(data("engine/covers/abc.png"));
        QVERIFY(cover.open(QIODevice::WriteOnly));
        cover.close();
        QFile stale(data("engine/stale.txt"));
        QVERIFY(stale.open(QIODevice::WriteOnly));
        stale.close();
        AppSettings().setVersion(stored);
        TestSupport::recorded().diagnostics.clear();
        { MainWindow second; }
        QCOMPARE(TestSupport::diagnosticsContain(QStringLiteral("Nuovo engine da deployare")), migrates);
        QCOMPARE(QFile::exists(data("engine/stale.txt")), !migrates);
        QVERIFY(QFile::exists(data("engine/books/42/database.db")));
        QVERIFY(QFile::exists(data("engine/covers/abc.png")));
        QVERIFY(QFile::exists(data("engine/login.html.zip")));
        QVERIFY(!QFile::exists(data("books")));
        QCOMPARE(AppSettings().version(), QStringLiteral("1.1.0"));
    }

    void leftoverBooksFolderStopsTheMigrationBeforeAnythingIsLost()
    {
        { MainWindow first; }
        QVERIFY(writeFile(data("engine/books/42/database.db"), "dictionary"));
        // Left by an earlier attempt that could not finish.
        QVERIFY(writeFile(data("books/7/database.db"), "other dictionary"));
        AppSettings().setVersion(QStringLiteral("1.0.3"));
        { MainWindow second; }
        QCOMPARE(readFile(data("engine/books/42/database.db")), QByteArray("dictionary"));
        QCOMPARE(readFile(data("books/7/database.db")), QByteArray("other dictionary"));
        QCOMPARE(AppSettings().version(), QStringLiteral("1.0.3"));
    }

    void migrationWhoseEngineFailsIsFinishedAtTheNextStart()
    {
        { MainWindow first; }
        QVERIFY(writeFile(data("engine/books/42/database.db"), "dictionary"));
        QVERIFY(writeFile(data("engine/covers/abc.png"), "cover"));
        AppSettings().setVersion(QStringLiteral("1.0.3"));
        // A file where the new engine is unpacked makes its deployment fail.
        QVERIFY(writeFile(data("engine_tmp"), "in the way"));
        { MainWindow second; }
        QCOMPARE(AppSettings().version(), QStringLiteral("1.0.3"));
        QCOMPARE(readFile(data("books/42/database.db")), QByteArray("dictionary"));
        QVERIFY(QFile::remove(data("engine_tmp")));
        // Meanwhile a fresh engine, without the books, may have been deployed.
        QVERIFY(QDir().mkpath(data("engine/books")));
        { MainWindow third; }
        QCOMPARE(AppSettings().version(), QStringLiteral("1.1.0"));
        QCOMPARE(readFile(data("engine/books/42/database.db")), QByteArray("dictionary"));
        QCOMPARE(readFile(data("engine/covers/abc.png")), QByteArray("cover"));
        QVERIFY(QFile::exists(data("engine/login.html.zip")));
        QVERIFY(!QFile::exists(data("books")));
    }

    void leftoverEngineArchiveIsNeverReused()
    {
        { MainWindow first; }
        QVERIFY(removeDirectoryTree(data("engine")));
        QVERIFY(writeFile(data("engine.zip"), "damaged or from another release"));
        TestSupport::recorded().dialogs.clear();
        { MainWindow second; }
        QVERIFY(QFile::exists(data("engine/login.html.zip")));
        QVERIFY(!QFile::exists(data("engine.zip")));
        QCOMPARE(TestSupport::recorded().dialogs, QStringList());
    }

    void dataDirectoryThatCannotBeMadeWritesNothingIntoTheHome()
    {
        QVERIFY(writeFile(data(), "a file in the way"));
        { MainWindow window; }
        const QStringList home = QDir(QDir::homePath()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
        for (const char* name : { "Databases.db", "engine", "engine.zip", "engine_tmp", "file__0", "books" })
            QVERIFY2(!home.contains(QLatin1String(name)), name);
        QCOMPARE(readFile(data()), QByteArray("a file in the way"));
        QVERIFY(TestSupport::recorded().dialogs.contains(
            "Vocalume|Settaggi non trovati, non posso leggere le informazioni sui libri dal database"));
    }

    void unfinishedDownloadsAndReplacementsAreCleanedAtStart()
    {
        { MainWindow first; }
        QVERIFY(writeFile(data("engine/books/42.zip.part"), "half a package"));
        QVERIFY(writeFile(data("engine/books/43.zip"), "a whole package"));
        // Killed between moving the installed version aside and moving the new one in.
        QVERIFY(writeFile(data("engine/books/44_old/database.db"), "installed"));
        // Killed after the new version moved in.
        QVERIFY(writeFile(data("engine/books/45_old/database.db"), "previous"));
        QVERIFY(writeFile(data("engine/books/45/database.db"), "new"));
        { MainWindow second; }
        QVERIFY(!QFile::exists(data("engine/books/42.zip.part")));
        QVERIFY(QFile::exists(data("engine/books/43.zip")));
        QCOMPARE(readFile(data("engine/books/44/database.db")), QByteArray("installed"));
        QCOMPARE(readFile(data("engine/books/45/database.db")), QByteArray("new"));
        QVERIFY(!QFile::exists(data("engine/books/44_old")));
        QVERIFY(!QFile::exists(data("engine/books/45_old")));
    }

    void resetAsksWithAnyControlCombination_data()
    {
        QTest::addColumn<int>("modifiers");
        QTest::addColumn<bool>("asks");
        QTest::newRow("ctrl") << int(Qt::ControlModifier) << true;
        QTest::newRow("ctrl+shift") << int(Qt::ControlModifier | Qt::ShiftModifier) << true;
        QTest::newRow("ctrl+alt") << int(Qt::ControlModifier | Qt::AltModifier) << true;
        QTest::newRow("plain") << int(Qt::NoModifier) << false;
        QTest::newRow("shift") << int(Qt::ShiftModifier) << false;
    }

    void resetAsksWithAnyControlCombination()
    {
        QFETCH(int, modifiers);
        QFETCH(bool, asks);
        MainWindow window;
        TestSupport::answerDialogs(QMessageBox::No);
        pressKey(&window, Qt::Key_R, Qt::KeyboardModifiers(modifiers));
        QCOMPARE(TestSupport::recorded().dialogs.size(), asks ? 1 : 0);
        QCOMPARE(exitCode, -1);
        QVERIFY(QFile::exists(data("file__0/bookmarks.db")));
        QCOMPARE(AppSettings().version(), QStringLiteral("1.1.0"));
    }

    void resetRemovesDataAndSettings()
    {
        MainWindow window;
        AppSettings().setUsername(QStringLiteral("mario"));
        pressKey(&window, Qt::Key_R, Qt::ControlModifier);
        QVERIFY(!QFile::exists(data()));
        QCOMPARE(AppSettings().username(), QString());
        QCOMPARE(AppSettings().version(), QString());
        QCOMPARE(exitCode, 0);
        QCOMPARE(TestSupport::recorded().dialogs.last(),
                 QStringLiteral("Vocalume|Operazione completata, l'applicazione verrà chiusa"));
    }

    void resetWithoutDataDirectoryStillClearsAndEnds()
    {
        MainWindow window;
        QVERIFY(removeDirectoryTree(data()));
        pressKey(&window, Qt::Key_R, Qt::ControlModifier);
        QCOMPARE(AppSettings().version(), QString());
        QCOMPARE(exitCode, 0);
    }

    void resetEndsTheRealProcessWithCodeZero()
    {
        // The child gets a home of its own, untouched by anything this process still runs.
        QTemporaryDir home;
        QProcess child;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("VOCALUME_RESET_CHILD"), QStringLiteral("1"));
        env.insert(QStringLiteral("HOME"), home.path());
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), home.filePath(QStringLiteral("config")));
        child.setProcessEnvironment(env);
        child.start(QCoreApplication::applicationFilePath(), QStringList());
        QVERIFY(child.waitForFinished(60000));
        QCOMPARE(child.exitStatus(), QProcess::NormalExit);
        QCOMPARE(child.exitCode(), 0);
        QVERIFY(!QFile::exists(home.filePath(QStringLiteral(".vocalumezenta"))));
        const QString settings = home.filePath(QStringLiteral("config/ZENTA/VocalumeZENTA.conf"));
        QVERIFY(QFile::exists(settings));
        QVERIFY(QSettings(settings, QSettings::IniFormat).allKeys().isEmpty());
    }
};

// In the child process: start, press Ctrl+R, answer Ok; the reset must end the process.
static int runResetChild(int argc, char* argv[])
{
    QApplication app(argc, argv);
    TestSupport::answerDialogs(QMessageBox::Ok);
    MainWindow window;
    QKeyEvent press(QEvent::KeyPress, Qt::Key_R, Qt::ControlModifier);
    QApplication::sendEvent(&window, &press);
    return 3; // only reached when the reset did not end the process
}

int main(int argc, char* argv[])
{
    if (qEnvironmentVariableIsSet("VOCALUME_RESET_CHILD")) {
        if (qgetenv("QT_QPA_PLATFORM").isEmpty())
            qputenv("QT_QPA_PLATFORM", "offscreen");
        return runResetChild(argc, argv);
    }
    TestSupport::prepareEnvironment();
    QApplication app(argc, argv);
    TestSupport::prepareGui();
    TestSupport::resetHome();
    TestStartup tc;
    return QTest::qExec(&tc, argc, argv);
}
#include "tst_startup.moc"
