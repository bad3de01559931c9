// Kills the installation of a large package at random moments, starts the program's main window
// over what it left, and counts what that start leaves in the books folder: the book must be
// whole (its earlier version, or the new one complete) and no working file or folder may stay.
//   bench_killedinstall [kills]
#include "app/mainwindow.h"
#include "base/datapaths.h"
#include "base/directorytree.h"
#include "bench/benchsupport.h"
#include "store/webstore.h"
#include "tests/support/downloadedpackage.h"
#include "hostilearchives.h"

#include <QApplication>
#include <QDirIterator>
#include <QRandomGenerator>
#include <quazip/quazip.h>
#include <quazip/quazipfile.h>

namespace {
constexpr int Entries = 50000;
// A whole book: the content files and the dictionary's database, without which installation
// refuses the package.
constexpr int BookFiles = Entries + 1;
const QString Sku = QStringLiteral("42");

QString books() { return DataPaths::booksDirectory(); }

// A package as a dictionary's: many small per-file archives in folders.
bool writePackage(const QString& path)
{
    QuaZip zip(path);
    if (!zip.open(QuaZip::mdCreate))
        return false;
    for (int i = 0; i < Entries; ++i) {
        QuaZipFile entry(&zip);
        const QString name = QStringLiteral("voci/d%1/v%2.html.zip").arg(i / 100).arg(i);
        if (!entry.open(QIODevice::WriteOnly, QuaZipNewInfo(name), nullptr, 0, 0, 0))
            return false;
        entry.write(QByteArray(300 + i % 500, char('a' + i % 26)));
        entry.close();
    }
    QuaZipFile database(&zip);
    if (!database.open(QIODevice::WriteOnly, QuaZipNewInfo(QStringLiteral("database.db")), nullptr, 0, 0, 0))
        return false;
    database.write(HostileArchives::dictionaryDatabase());
    database.close();
    zip.close();
    return zip.getZipError() == 0;
}

int filesBelow(const QString& dir)
{
    int n = 0;
    QDirIterator it(dir, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    for (; it.hasNext(); it.next())
        ++n;
    return n;
}

bool setStatus(const QString& value)
{
    WebStore store;
    return store.open() && store.setValue(Sku, QStringLiteral("STATUS"), value);
}

QString status()
{
    WebStore store;
    QString value;
    return store.open() && store.value(Sku, QStringLiteral("STATUS"), value) ? value : QString();
}

// The book installed in an earlier version ("2": a newer one offered) and its new package.
bool prepareBook(const QString& package)
{
    removeDirectoryTree(DataPaths::bookDirectory(Sku));
    QFile::remove(DataPaths::packageFile(DataPaths::bookDirectory(Sku)));
    QFile old(DataPaths::bookDirectory(Sku) + QStringLiteral("/old.txt"));
    return setStatus(QStringLiteral("2")) && QDir().mkpath(DataPaths::bookDirectory(Sku)) && old.open(QIODevice::WriteOnly) && old.write("v1") == 2
        && QFile::copy(package, DataPaths::packageFile(DataPaths::bookDirectory(Sku)));
}

double runChild(const QString& mode, int killAfterMs = -1)
{
    QProcess child;
    QElapsedTimer clock;
    clock.start();
    child.start(QCoreApplication::applicationFilePath(), { mode });
    if (!child.waitForStarted())
        return -1;
    if (killAfterMs >= 0 && !child.waitForFinished(killAfterMs))
        child.kill();
    child.waitForFinished(-1);
    return clock.nsecsElapsed() / 1e6;
}
}

int main(int argc, char* argv[])
{
    const QString mode = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QString();
    if (mode != QLatin1String("--install") && mode != QLatin1String("--start"))
        BenchSupport::prepareEnvironment(); // the children share the parent's HOME
    QApplication app(argc, argv);
    BenchSupport::quietProgram();
    if (mode == QLatin1String("--install")) {
        DownloadedPackage::install(Sku); // to its end, unless killed
        return 0;
    }
    if (mode == QLatin1String("--start")) {
        MainWindow window; // the start-up clean-up runs in its constructor
        return 0;
    }

    const int kills = BenchSupport::runsFrom(argc, argv, 30);
    QTemporaryDir work;
    const QString package = work.filePath(QStringLiteral("package.zip"));
    if (!writePackage(package)) {
        std::printf("bench_killedinstall: cannot build the package\n");
        return 1;
    }
    runChild(QStringLiteral("--start")); // first start: the data folder
    {
        WebStore store;
        if (!store.open()
            || !store.exec(QStringLiteral("INSERT INTO SYSTEM (ID, REFBOOK, VARIABLE, VALUE) VALUES (1000, '42', 'STATUS', '2')"))) {
            std::printf("bench_killedinstall: cannot record the dictionary as under way\n");
            return 1;
        }
    }
    if (!prepareBook(package))
        return 1;
    const double whole = runChild(QStringLiteral("--install"));
    if (filesBelow(DataPaths::bookDirectory(Sku)) != BookFiles || status() != QLatin1String("1")) {
        std::printf("bench_killedinstall: the installation did not complete\n");
        return 1;
    }
    std::printf("an installation of %d entries takes %.0f ms (with the process start)\n", Entries, whole);

    const quint32 seed = QRandomGenerator::system()->generate();
    QRandomGenerator random(seed);
    int earlier = 0, complete = 0, completeNotRecorded = 0, broken = 0, leftovers = 0;
    for (int kill = 0; kill < kills; ++kill) {
        if (!prepareBook(package))
            return 1;
        // Some kills land after the end, so that the last steps (renames, STATUS) are reached too.
        const int at = int(random.bounded(whole * 1.4));
        runChild(QStringLiteral("--install"), at);
        const QStringList killed = QDir(books()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
        runChild(QStringLiteral("--start"));
        const QStringList left = QDir(books()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
        const QString book = DataPaths::bookDirectory(Sku);
        const bool isEarlier = filesBelow(book) == 1 && QFile::exists(book + QStringLiteral("/old.txt"));
        const bool isNew = filesBelow(book) == BookFiles && !QFile::exists(book + QStringLiteral("/old.txt"));
        const QString recorded = status();
        QString outcome;
        if (left != QStringList { Sku }) {
            ++leftovers;
            outcome = QStringLiteral("left: ") + left.join(QLatin1Char(' '));
        } else if (isEarlier && recorded == QLatin1String("2")) {
            ++earlier;
            outcome = QStringLiteral("earlier version");
        } else if (isNew && recorded == QLatin1String("1")) {
            ++complete;
            outcome = QStringLiteral("new version");
        } else if (isNew) {
            ++completeNotRecorded;
            outcome = QStringLiteral("new version, STATUS ") + recorded;
        } else {
            ++broken;
            outcome = QStringLiteral("broken book (%1 files, STATUS %2)").arg(filesBelow(book)).arg(recorded);
        }
        std::printf("kill %2d at %5d ms left %-20s the start left %s\n", kill + 1, at, qPrintable(killed.join(' ')),
                    qPrintable(outcome));
    }
    std::printf("%d kills (seed %u): earlier version %d, new version %d, new version not yet recorded %d, "
                "broken book %d, working files left %d\n",
                kills, seed, earlier, complete, completeNotRecorded, broken, leftovers);
    BenchSupport::figure("installations killed: broken books and files left", broken + leftovers, "", -1, "",
        QStringLiteral("0"), broken == 0 && leftovers == 0);
    return broken == 0 && leftovers == 0 ? 0 : 1;
}
