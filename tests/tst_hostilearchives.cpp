// The extraction over the folder of hostile and damaged packages (tools/hostilearchives, the
// same set scripts/make-hostile-archives.sh writes), a full disk, a missing free space, and an
// installation killed half-way.
#include "app/dialogs.h"
#include "app/mainwindow.h"
#include "base/diagnostics.h"
#include "hostilearchives.h"
#include "packages/diskspace.h"
#include "packages/download.h"
#include "packages/downloadmanager.h"
#include "resources/resources.h"
#include "tests/support/testsupport.h"
#include "web/customagentwebview.h"

#include <QDirIterator>
#include <QMessageBox>
#include <QProcess>
#include <QThread>
#include <csignal>
#include <cstdio>
#include <sys/resource.h>

using Entries = QList<QPair<QString, QByteArray>>;

namespace {
// Set in the environment of the child process that is killed during its installation.
const char* const childVariable = "VOCALUME_KILLED_INSTALL_SKU";
// The child reports on standard output once this many entries have been unpacked.
constexpr int childEntriesBeforeReport = 20;

QString booksDirectory() { return TestSupport::dataDirectory() + QStringLiteral("/engine/books"); }

// Everything below `path`, as relative names, sorted.
QStringList treeOf(const QString& path)
{
    QStringList names;
    QDirIterator it(
        path, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDirIterator::Subdirectories);
    while (it.hasNext())
        names << QDir(path).relativeFilePath(it.next());
    names.sort();
    return names;
}

qint64 bytesBelow(const QString& path)
{
    qint64 total = 0;
    QDirIterator it(path, QDir::Files | QDir::Hidden | QDir::System, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        it.next();
        total += it.fileInfo().size();
    }
    return total;
}

bool writeFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    return QDir().mkpath(QFileInfo(path).absolutePath()) && file.open(QIODevice::WriteOnly)
        && file.write(bytes) == bytes.size();
}

QByteArray readFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

// Runs the installation of a downloaded package as the download's completion does.
void install(MainWindow* window, const QString& sku)
{
    Download download(window);
    download.view = window->webView;
    download.sku = sku;
    download.callback = QStringLiteral("cb");
    download.filePath = booksDirectory() + QLatin1Char('/') + sku + QStringLiteral(".zip");
    Book book;
    book.bookId = sku;
    download.library = { book };
    download.manager = new DownloadManager(sku, download.filePath);
    download.manager->finished = true;
    download.done(false);
}

Entries pages(const QString& extraName, int count)
{
    Entries entries;
    for (int i = 0; i < count; ++i)
        entries << qMakePair(
            QStringLiteral("p%1.xhtml").arg(i, 3, 10, QLatin1Char('0')), TestSupport::noise(2000, uint(i + 1)));
    entries << qMakePair(extraName, QByteArray("only in this package"));
    return entries;
}

// The child: installs its package and, half-way through the unpacking, says so and waits to
// be killed.
int runKilledChild(int argc, char* argv[])
{
    QApplication app(argc, argv);
    VocalumeResources::init();
    Dialogs::setHandler([](Dialogs::Kind, const QString&, const QString&, QDialog*) { return int(QMessageBox::Ok); });
    int entries = 0;
    Diagnostics::setEnabled(false);
    Diagnostics::setRecorder([&entries](Diagnostics::Channel, const QString& line) {
        if (!line.startsWith(QLatin1String("Decomprimo")) || ++entries != childEntriesBeforeReport)
            return;
        std::printf("unpacking\n");
        std::fflush(stdout);
        for (;;)
            QThread::sleep(1);
    });
    MainWindow window;
    install(&window, QString::fromLocal8Bit(qgetenv(childVariable)));
    return 0;
}
}

class TestHostileArchives : public QObject {
    Q_OBJECT
private:
    MainWindow* window = nullptr;
    QTemporaryDir archives;
    QTemporaryDir* work = nullptr;
    QString base;

    QString path(const QString& rel) const { return base + QLatin1Char('/') + rel; }
    bool unpack(const QString& zip, const QString& dest) { return window->unpackBook(path(zip), path(dest), base); }
    // The installed book "book" (version 1) and the package `archive` to unpack over it.
    void prepare(const QString& archive)
    {
        QVERIFY(writeFile(path("book/old.txt"), "v1"));
        QVERIFY(QFile::copy(archives.filePath(archive), path("book.zip")));
    }

private slots:
    void initTestCase()
    {
        QVERIFY(!HostileArchives::write(archives.path()).isEmpty());
        window = new MainWindow;
    }
    void cleanupTestCase() { delete window; }
    void init()
    {
        TestSupport::recorded() = TestSupport::Recorded();
        work = new QTemporaryDir;
        base = work->path() + QStringLiteral("/books");
        QVERIFY(QDir().mkpath(base));
    }
    void cleanup()
    {
        DiskSpace::setProbe({});
        delete work;
    }

    void everyArchiveHasItsOutcome_data()
    {
        QTest::addColumn<QString>("archive");
        QTest::addColumn<QString>("box");
        QTest::addColumn<QString>("diagnostic");
        const QString errors = QStringLiteral("Errori decomprimendo il libro");
        const QString cannotCreate = QStringLiteral("Errore decomprimendo il libro: apertura file fallita");
        QTest::newRow("good") << "good.zip" << QString() << QString();
        QTest::newRow("member declaring 4 GiB")
            << "huge-declared-member.zip" << errors << "dimensione dichiarata eccessiva";
        QTest::newRow("member declaring less than it holds") << "understated-size.zip" << errors << "testRead()";
        QTest::newRow("../x") << "parent-entry.zip" << errors << "file.getFileName()";
        QTest::newRow("/etc/x") << "absolute-entry.zip" << errors << "file.getFileName()";
        QTest::newRow("link entry") << "symlink-entry.zip" << errors << "collegamento simbolico";
        QTest::newRow("path through a link") << "path-through-link.zip" << errors << "collegamento simbolico";
        QTest::newRow("file, then x/y.txt") << "file-then-folder.zip" << cannotCreate << "impossibile creare";
        QTest::newRow("very long name") << "long-name.zip" << cannotCreate << "impossibile creare";
        QTest::newRow("overlapping entries") << "overlapping-entries.zip" << errors << "voci sovrapposte";
        QTest::newRow("absurd ratio") << "absurd-ratio.zip" << errors << "rapporto di compressione";
        QTest::newRow("absurd declared total") << "absurd-total.zip" << errors << "totale dichiarato";
        QTest::newRow("damaged central directory") << "damaged-central-directory.zip"
                                                   << "Errore nell'apertura del libro"
                                                   << "getCurrentFileInfo";
        QTest::newRow("last 10 bytes missing") << "missing-last-10-bytes.zip"
                                               << "Errore nell'apertura del libro"
                                               << "getCurrentFileInfo";
        QTest::newRow("truncated local entry") << "truncated-local-entry.zip" << errors << "testRead()";
    }

    void everyArchiveHasItsOutcome()
    {
        QFETCH(QString, archive);
        QFETCH(QString, box);
        QFETCH(QString, diagnostic);
        prepare(archive);
        const bool unpacked = unpack("book.zip", "book");
        QVERIFY(!window->unpacking);
        if (box.isEmpty()) {
            QVERIFY(unpacked);
            QCOMPARE(treeOf(path("book")),
                QStringList({ "a", "a/b", "a/b/page.xhtml", "database.db", "dir", "index.html" }));
            QVERIFY(!QFile::exists(path("book.zip")));
            QVERIFY(!QFile::exists(path("book_tmp")));
            QVERIFY(!QFile::exists(path("book_old")));
            QVERIFY(TestSupport::recorded().dialogs.isEmpty());
            return;
        }
        QVERIFY(!unpacked);
        QCOMPARE(TestSupport::recorded().dialogs, QStringList { "Vocalume|" + box });
        QVERIFY2(
            TestSupport::diagnosticsContain(diagnostic), qPrintable(TestSupport::recorded().diagnostics.join('\n')));
        // The installed version and the package stay; nothing was written beside the book.
        QCOMPARE(readFile(path("book/old.txt")), QByteArray("v1"));
        QCOMPARE(treeOf(path("book")), QStringList { "old.txt" });
        QVERIFY(QFile::exists(path("book.zip")));
        QCOMPARE(QDir(base).entryList(QDir::AllEntries | QDir::NoDotAndDotDot, QDir::Name),
            QStringList({ "book", "book.zip", "book_tmp" }));
        QVERIFY(!QFile::exists(work->path() + "/x"));
        QVERIFY(bytesBelow(path("book_tmp")) < 1024 * 1024);
    }

    void fullDiskFailsTheExtraction()
    {
        prepare(HostileArchives::goodName());
        // Writes past 50 000 bytes fail with EFBIG, as on a full disk; the package's database
        // has 100 000.
        std::signal(SIGXFSZ, SIG_IGN);
        rlimit saved;
        QCOMPARE(getrlimit(RLIMIT_FSIZE, &saved), 0);
        rlimit limited = saved;
        limited.rlim_cur = 50000;
        QCOMPARE(setrlimit(RLIMIT_FSIZE, &limited), 0);
        const bool unpacked = unpack("book.zip", "book");
        QCOMPARE(setrlimit(RLIMIT_FSIZE, &saved), 0);
        QVERIFY(!unpacked);
        QCOMPARE(TestSupport::recorded().dialogs, QStringList { "Vocalume|Errori decomprimendo il libro" });
        QCOMPARE(treeOf(path("book")), QStringList { "old.txt" });
        QVERIFY(QFile::exists(path("book.zip")));
    }

    void missingFreeSpaceIsToldWithTheNumbers()
    {
        prepare(HostileArchives::goodName());
        DiskSpace::setProbe([](const QString&) { return qint64(50000); });
        QVERIFY(!unpack("book.zip", "book"));
        QCOMPARE(TestSupport::recorded().dialogs,
            QStringList {
                "Vocalume|Spazio su disco insufficiente per installare il libro: servono 1 MB, liberi 0 MB" });
        QCOMPARE(treeOf(path("book")), QStringList { "old.txt" });
        QVERIFY(QFile::exists(path("book.zip")));
        QVERIFY(bytesBelow(path("book_tmp")) == 0);
    }

    void aStaleUnpackFolderIsEmptiedFirst()
    {
        prepare(HostileArchives::goodName());
        QVERIFY(writeFile(path("book_tmp/left-by-a-killed-attempt.bin"), TestSupport::noise(1000)));
        QVERIFY(unpack("book.zip", "book"));
        QVERIFY(!QFile::exists(path("book/left-by-a-killed-attempt.bin")));
        QVERIFY(!QFile::exists(path("book/old.txt")));
    }

    void killedInstallationThenRestart()
    {
        TestSupport::resetHome();
        delete window;
        window = new MainWindow;
        const QString sku = QStringLiteral("42");
        const QString books = booksDirectory();
        QVERIFY(writeFile(books + "/42/old.txt", "v1"));
        TestSupport::storeExec("INSERT INTO SYSTEM (ID, REFBOOK, VARIABLE, VALUE) VALUES (900, '42', 'STATUS', '2')");
        QVERIFY(TestSupport::writeZip(books + "/42.zip", pages("onlyA.bin", 200)));

        QProcess child;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QString::fromLatin1(childVariable), sku);
        child.setProcessEnvironment(environment);
        child.start(QCoreApplication::applicationFilePath(), QStringList());
        QVERIFY(child.waitForStarted());
        QByteArray said;
        QTRY_VERIFY_WITH_TIMEOUT(
            (said += child.readAllStandardOutput()).contains("unpacking") || child.state() == QProcess::NotRunning,
            60000);
        QCOMPARE(child.state(), QProcess::Running);
        child.kill();
        QVERIFY(child.waitForFinished());

        // Killed half-way: the installed version is whole and still the one recorded.
        QCOMPARE(treeOf(books + "/42"), QStringList { "old.txt" });
        QCOMPARE(TestSupport::storeValue("42", "STATUS"), QStringLiteral("2"));
        QVERIFY(QFile::exists(books + "/42.zip"));

        // The next start finds what the killed process left; the next package lacks onlyA.bin.
        QVERIFY(writeFile(books + "/43.zip.part", "half a download"));
        delete window;
        window = new MainWindow;
        QVERIFY(!QFile::exists(books + "/43.zip.part"));
        QVERIFY(QFile::remove(books + "/42.zip"));
        QVERIFY(TestSupport::writeZip(books + "/42.zip", pages("onlyB.txt", 30)));
        install(window, sku);
        QStringList expected;
        for (const auto& entry : pages("onlyB.txt", 30))
            expected << entry.first;
        expected.sort();
        QCOMPARE(treeOf(books + "/42"), expected);
        QCOMPARE(TestSupport::storeValue("42", "STATUS"), QStringLiteral("1"));
        QVERIFY(!QFile::exists(books + "/42_tmp"));
        QVERIFY(!QFile::exists(books + "/42.zip"));
    }
};

int main(int argc, char* argv[])
{
    if (qEnvironmentVariableIsSet(childVariable))
        return runKilledChild(argc, argv);
    TestSupport::prepareEnvironment();
    QApplication app(argc, argv);
    TestSupport::prepareGui();
    TestSupport::resetHome();
    TestHostileArchives tc;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&tc, argc, argv);
}

#include "tst_hostilearchives.moc"
