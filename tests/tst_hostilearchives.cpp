// The installer over the hostile and damaged packages of tools/hostilearchives and a few more made
// here: what is left on disk and what the user is shown, in order; a full disk, no free space and
// leftovers of a killed attempt. And the block-cached device it reads archives through.
#include "hostilearchives.h"
#include "packages/archiveextractor.h"
#include "packages/blockcachedfile.h"
#include "packages/bookinstaller.h"
#include "packages/diskspace.h"
#include "tests/support/testsupport.h"

#include <QDirIterator>
#include <QProcess>
#include <QThread>
#include <memory>
#include <QRegularExpression>
#include <QStandardPaths>
#include <csignal>
#include <sys/resource.h>

using Entries = QList<QPair<QString, QByteArray>>;

namespace {
const QString notAZip = QStringLiteral("not-a-zip.zip");
// What the good package installs; the iterator lists below a folder, never below a link.
const QStringList goodTree { "a", "a/b", "a/b/page.xhtml", "database.db", "dir", "index.html" };

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
}

class TestHostileArchives : public QObject {
    Q_OBJECT
private:
    QTemporaryDir archives;
    QScopedPointer<BookInstaller> installer;
    // The installer's status messages ("status:<text>"), progress bar ("bar shown", "bar
    // hidden") and boxes ("box:<text>"), in order; the bar's moves are left out.
    QStringList shown;
    QScopedPointer<QTemporaryDir> work;
    QString base;

    QString path(const QString& rel) const { return base + QLatin1Char('/') + rel; }

private slots:
    void initTestCase()
    {
        QVERIFY(!HostileArchives::write(archives.path()).isEmpty());
        QVERIFY(TestSupport::writeZip(archives.filePath("empty.zip"), {}));
        QVERIFY(TestSupport::writeZip(
            archives.filePath("parent-through-folder.zip"), { { "ok.txt", "ok" }, { "a/../../x", "evil" } }));
        // "book_tmp2" shares the prefix of "book_tmp" but is another folder.
        QVERIFY(TestSupport::writeZip(archives.filePath("common-prefix.zip"), { { "../book_tmp2/x", "evil" } }));
        QVERIFY(TestSupport::writeFile(archives.filePath(notAZip), "this is not a zip archive at all"));
        // One made by the zip tool, when there is one.
        const QString zipTool = QStandardPaths::findExecutable(QStringLiteral("zip"));
        QVERIFY(TestSupport::writeFile(archives.path() + "/src/dir/sub/file.xhtml", QByteArray(10000, 'x')));
        QProcess zip;
        zip.setWorkingDirectory(archives.path() + "/src");
        zip.start(zipTool, { "-qr", archives.filePath("tool.zip"), "dir" });
        QVERIFY(zipTool.isEmpty() || (zip.waitForFinished() && zip.exitCode() == 0));
    }
    void init()
    {
        TestSupport::recorded() = TestSupport::Recorded();
        installer.reset(new BookInstaller);
        shown.clear();
        connect(installer.data(), &BookInstaller::statusMessage, this,
                [this](const QString& text) { shown << "status:" + text; });
        connect(installer.data(), &BookInstaller::progressShown, this, [this] { shown << "bar shown"; });
        connect(installer.data(), &BookInstaller::progressHidden, this, [this] { shown << "bar hidden"; });
        connect(installer.data(), &BookInstaller::warning, this,
                [this](const QString& text) { shown << "box:" + text; });
        work.reset(new QTemporaryDir);
        base = work->path() + QStringLiteral("/books");
        QVERIFY(QDir().mkpath(base));
    }
    void cleanup() { DiskSpace::setProbe({}); }

    void everyArchiveHasItsOutcome_data()
    {
        QTest::addColumn<QString>("archive");
        QTest::addColumn<QString>("condition"); // "engine" (no database asked for), "stale", "full disk", "no space"
        QTest::addColumn<QString>("box"); // empty: installed
        QTest::addColumn<QString>("diagnostic"); // or, when installed, the tree installed
        const QString errors = QStringLiteral("Errori decomprimendo il libro");
        const QString cannotCreate = QStringLiteral("Errore decomprimendo il libro: apertura file fallita");
        const auto row = [](const char* name, const QString& archive, const QString& box, const QString& diagnostic,
                             const QString& condition = QString()) {
            QTest::newRow(name) << archive << condition << box << diagnostic;
        };
        row("good", "good.zip", QString(), goodTree.join(' '));
        row("good over a stale unpack folder", "good.zip", QString(), goodTree.join(' '), "stale");
        row("engine without a database", "without-database.zip", QString(), "index.html", "engine");
        row("empty engine", "empty.zip", QString(), QString(), "engine");
        row("made by the zip tool", "tool.zip", QString(), "dir dir/sub dir/sub/file.xhtml", "engine");
        row("not a zip", notAZip, "Impossibile aprire il libro", "Impossibile aprire il file");
        row("a/../../x", "parent-through-folder.zip", errors, "file.getFileName()");
        row("../book_tmp2/x", "common-prefix.zip", errors, "file.getFileName()");
        row("member declaring 4 GiB", "huge-declared-member.zip", errors, "dimensione dichiarata eccessiva");
        row("member declaring less than it holds", "understated-size.zip", errors, "testRead()");
        row("../x", "parent-entry.zip", errors, "file.getFileName()");
        row("/etc/x", "absolute-entry.zip", errors, "file.getFileName()");
        row("link entry", "symlink-entry.zip", errors, "collegamento simbolico");
        row("path through a link", "path-through-link.zip", errors, "collegamento simbolico");
        row("file, then x/y.txt", "file-then-folder.zip", cannotCreate, "impossibile creare");
        row("very long name", "long-name.zip", cannotCreate, "impossibile creare");
        // Refused by what the directory claims, before anything is unpacked.
        row("overlapping entries", "overlapping-entries.zip", errors, "voci sovrapposte o troncate");
        row("absurd ratio", "absurd-ratio.zip", errors, "rapporto di compressione");
        row("absurd declared total", "absurd-total.zip", errors, "totale dichiarato");
        const QString opening = QStringLiteral("Errore nell'apertura del libro");
        row("damaged directory", "damaged-central-directory.zip", opening, "getCurrentFileInfo");
        row("last 10 bytes missing", "missing-last-10-bytes.zip", opening, "getCurrentFileInfo");
        row("truncated local entry", "truncated-local-entry.zip", errors, "testRead()");
        row("entry repeated", "repeated-entry.zip", errors, "voce ripetuta database.db");
        row("a/.//page.xhtml after a/page.xhtml", "repeated-entry-other-spelling.zip", errors,
            "voce ripetuta a/page.xhtml");
        row("name said to be UTF-8 that is not", "name-not-utf8.zip", errors, "nome non leggibile");
        const QString damaged
            = QStringLiteral("Il dizionario scaricato è danneggiato e non è stato installato. Riprovare a scaricarlo.");
        row("database not SQLite", "database-not-sqlite.zip", damaged, "file is not a database");
        row("column missing", "database-without-column.zip", damaged, "no such column");
        row("view for a table", "database-with-view.zip", damaged, "file non è una tabella");
        row("no database", "without-database.zip", damaged, "database.db mancante");
        // Writes past 50 000 bytes fail with EFBIG, as on a full disk; the database has 100 000.
        row("full disk", "good.zip", errors, QString(), "full disk");
        row("no free space", "good.zip",
            "Spazio su disco insufficiente per installare il libro: servono 1 MB, liberi 0 MB", QString(), "no space");
    }

    // What is installed, or what the user is shown, in order, with the installed version kept.
    void everyArchiveHasItsOutcome()
    {
        QFETCH(QString, archive);
        QFETCH(QString, condition);
        QFETCH(QString, box);
        QFETCH(QString, diagnostic);
        if (!QFile::exists(archives.filePath(archive)))
            QSKIP("the zip tool is not installed");
        // The installed book "book" (version 1) and the package to unpack over it.
        QVERIFY(TestSupport::writeFile(path("book/old.txt"), "v1"));
        QVERIFY(QFile::copy(archives.filePath(archive), path("book.zip")));
        if (condition == "stale") {
            QVERIFY(TestSupport::writeFile(path("book..tmp/left-by-a-killed-attempt.bin"), TestSupport::noise(1000)));
            QVERIFY(TestSupport::writeFile(path("book..tmp/index.html"), "stale"));
            // A link left there is removed, never followed.
            QVERIFY(TestSupport::writeFile(work->path() + "/outside/keep.txt", "mine"));
            QVERIFY(QFile::link(work->path() + "/outside", path("book..tmp/a")));
        }
        if (condition == "no space")
            DiskSpace::setProbe([](const QString&) { return qint64(50000); });
        std::signal(SIGXFSZ, SIG_IGN);
        rlimit saved, limited;
        QCOMPARE(getrlimit(RLIMIT_FSIZE, &saved), 0);
        limited = { condition == "full disk" ? 50000 : saved.rlim_cur, saved.rlim_max };
        QCOMPARE(setrlimit(RLIMIT_FSIZE, &limited), 0);
        const bool unpacked = installer->unpackBook(path("book.zip"), path("book"), base,
            condition == "engine" ? BookInstaller::Contents::Engine : BookInstaller::Contents::Dictionary);
        QCOMPARE(setrlimit(RLIMIT_FSIZE, &saved), 0);
        QVERIFY(!installer->isUnpacking());
        const QStringList started { "bar shown", "status:Apertura file zippato " + path("book.zip") + " in corso..." };
        if (box.isEmpty()) {
            QVERIFY(unpacked);
            QCOMPARE(treeOf(path("book")).join(' '), diagnostic);
            QCOMPARE(QDir(base).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList { "book" });
            QCOMPARE(shown, started + QStringList({ "bar hidden", "status:" }));
            QVERIFY(TestSupport::readFile(path("book/index.html")) != "stale");
            QVERIFY(!QDir(path("book/dir/sub")).exists() || QFileInfo(path("book/dir/sub/file.xhtml")).size() == 10000);
            QVERIFY(condition != "stale" || treeOf(work->path() + "/outside") == QStringList { "keep.txt" });
            return;
        }
        QVERIFY(!unpacked);
        // An archive that does not open never showed the bar; after a refusal the bar goes (when
        // the extraction had started, it was shown first) and the status says so before the box.
        const QStringList told = archive == notAZip
            ? QStringList { "status:Errore nell'apertura del file zippato " + path("book.zip"), "box:" + box }
            : QStringList { "bar hidden", "status:", "status:Errore nell'apertura del libro", "box:" + box };
        QVERIFY2(shown == told || shown == started + told, qPrintable(shown.join('\n')));
        QVERIFY2(
            TestSupport::diagnosticsContain(diagnostic), qPrintable(TestSupport::recorded().diagnostics.join('\n')));
        // The installed version stays; the refused package and what was unpacked of it go, and
        // nothing was written beside the book.
        QCOMPARE(treeOf(path("book")), QStringList { "old.txt" });
        QCOMPARE(TestSupport::readFile(path("book/old.txt")), QByteArray("v1"));
        QCOMPARE(QDir(base).entryList(QDir::AllEntries | QDir::NoDotAndDotDot, QDir::Name), QStringList({ "book" }));
        QVERIFY(!QFile::exists(work->path() + "/x"));
    }

    // Installations run one after the other, in order of arrival, off the GUI thread (events run
    // while a package is unpacked); the installer's reports reach its own thread (a refusal's box
    // before the end is heard), and one whose requester has gone never runs.
    void installationsTakeTurns()
    {
        QVERIFY(QFile::copy(archives.filePath("good.zip"), path("a.zip")));
        QVERIFY(QFile::copy(archives.filePath(notAZip), path("b.zip")));
        QVERIFY(QFile::copy(archives.filePath("good.zip"), path("c.zip")));
        QStringList heard;
        connect(installer.data(), &BookInstaller::warning, this, [&](const QString&) { heard << "box"; });
        const auto queue = [&](QObject* context, const QString& name) {
            const auto unpacked = std::make_shared<bool>(false);
            const auto onGuiThread = std::make_shared<bool>(true);
            return installer->install(
                context, [&heard, name] { heard << name + " started"; },
                [this, name, unpacked, onGuiThread] {
                    *onGuiThread = QThread::currentThread() == thread();
                    PackageUnpack unpack(path(name + ".zip"), path(name), base);
                    *unpacked = installer->unpack(unpack);
                },
                [&, name, unpacked, onGuiThread] {
                    heard << QString("%1 %2%3").arg(name, *unpacked ? "installed" : "refused",
                                 *onGuiThread ? " on the GUI thread" : "");
                });
        };
        QObject gone;
        QScopedPointer<QObject> leaving(new QObject);
        QVERIFY(queue(&gone, "a"));
        QVERIFY(!queue(&gone, "b"));
        QVERIFY(!queue(leaving.data(), "c"));
        QVERIFY(!installer->unpackBook(path("c.zip"), path("c"), base));
        leaving.reset();
        QTRY_COMPARE(heard.size(), 5);
        QTest::qWait(200);
        QCOMPARE(heard, QStringList({ "a started", "a installed", "b started", "box", "b refused" }));
        QCOMPARE(QDir(base).entryList(QDir::AllEntries | QDir::NoDotAndDotDot, QDir::Name), QStringList({ "a", "c.zip" }));
        QVERIFY(!installer->isUnpacking());
    }

    // Whether a downloaded file ends as a whole archive: its end record last, right after the
    // directory it names (behind a comment, or a large archive's own record); a cut one does not.
    void archiveEnds_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<bool>("whole");
        const QByteArray good = TestSupport::readFile(archives.filePath(HostileArchives::goodName()));
        QByteArray commented = good;
        commented[commented.size() - 2] = 5; // the comment's length
        commented += "nota!";
        QByteArray misplaced = good;
        misplaced[misplaced.size() - 6] = char(misplaced.at(misplaced.size() - 6) + 1); // the directory's offset
        QTest::newRow("whole") << good << true;
        QTest::newRow("with a comment") << commented << true;
        QTest::newRow("empty archive") << QByteArray("PK\x05\x06", 4) + QByteArray(18, '\0') << true;
        QTest::newRow("last byte missing") << good.chopped(1) << false;
        QTest::newRow("cut in the middle") << good.left(good.size() / 2) << false;
        QTest::newRow("end record naming another place") << misplaced << false;
        QTest::newRow("no archive") << TestSupport::noise(5000) << false;
    }

    void archiveEnds()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(bool, whole);
        QVERIFY(TestSupport::writeFile(path("scaricato.zip"), bytes));
        QCOMPARE(ArchiveExtractor::endsWhole(path("scaricato.zip")), whole);
    }

    // Reads of exactly what the file holds, wherever they start; then jumps as a zip reader makes
    // them (directory at the end, entries from the front) over more blocks than are kept.
    void blockCachedReads()
    {
        const qint64 block = BlockCachedFile::BlockSize;
        // Not a whole number of blocks, so the last block is a short one.
        const QByteArray content = TestSupport::noise(int(block * 5 + 1234));
        QVERIFY(TestSupport::writeFile(path("archive.zip"), content));
        BlockCachedFile device(path("archive.zip"));
        QVERIFY(device.open(QIODevice::ReadOnly));
        QCOMPARE(device.size(), qint64(content.size()));
        // Across one boundary, several blocks, into the short last block, past the end, at the end, all.
        const QList<QPair<qint64, qint64>> reads { { block - 10, 20 }, { block / 2, 3 * block },
            { 5 * block - 5, 100 }, { 5 * block + 1200, 500 }, { 5 * block + 1234, 10 }, { 0, 6 * block } };
        for (const auto& [from, length] : reads) {
            QVERIFY(device.seek(from) && device.read(length) == content.mid(int(from), int(length)));
            QCOMPARE(device.pos(), qMin<qint64>(from + length, content.size()));
        }
        for (qint64 at = 0; at < 3 * content.size(); at += block / 3) {
            const qint64 back = content.size() - 100 - at % content.size() / 50, front = at % content.size();
            QVERIFY(device.seek(back) && device.read(46) == content.mid(int(back), 46));
            QVERIFY(device.seek(front) && device.read(300) == content.mid(int(front), 300));
        }
    }
};

VOCALUME_TEST_MAIN(TestHostileArchives)
#include "tst_hostilearchives.moc"
