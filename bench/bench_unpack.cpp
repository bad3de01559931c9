// Installing a package of 20 000 small files and its database through the installer, as a
// download does (on its worker thread; the unpack also checks that the dictionary answers the
// searches), next to unzip unpacking the same archive in the same run; and the longest the
// window's thread went without running its events meanwhile.
//   bench_unpack [runs]
#include "bench/benchsupport.h"
#include "hostilearchives.h"
#include "packages/bookinstaller.h"

#include <QApplication>
#include <QDirIterator>
#include <QEventLoop>
#include <QTimer>
#include <QStandardPaths>
#include <quazip/quazip.h>
#include <quazip/quazipfile.h>

namespace {
constexpr int Entries = 20000;
constexpr double TimeRatioLimit = 1.5;
// Longer than this without events, the window visibly freezes.
constexpr double StallLimitMs = 50;

// Content files as a dictionary package holds them: 200 folders of 100 small per-file archives
// (stored, as their content is compressed already), and a few folder entries.
bool writePackage(const QString& path)
{
    QuaZip zip(path);
    if (!zip.open(QuaZip::mdCreate))
        return false;
    quint32 state = 2463534242u;
    for (int i = 0; i < Entries; ++i) {
        const QString name = i % 100 == 0 ? QStringLiteral("voci/d%1/").arg(i / 100, 3, 10, QLatin1Char('0'))
                                          : QStringLiteral("voci/d%1/v%2.html.zip").arg(i / 100, 3, 10, QLatin1Char('0')).arg(i);
        QuaZipFile entry(&zip);
        if (!entry.open(QIODevice::WriteOnly, QuaZipNewInfo(name), nullptr, 0, 0, 0))
            return false;
        if (!name.endsWith(QLatin1Char('/'))) {
            QByteArray bytes(200 + int(state % 600), Qt::Uninitialized);
            for (char& c : bytes) {
                state ^= state << 13;
                state ^= state >> 17;
                state ^= state << 5;
                c = char(state);
            }
            entry.write(bytes);
        }
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

int countFiles(const QString& dir)
{
    int n = 0;
    QDirIterator it(dir, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        it.next();
        ++n;
    }
    return n;
}
}

int main(int argc, char* argv[])
{
    BenchSupport::prepareEnvironment();
    QApplication app(argc, argv);
    BenchSupport::quietProgram();
    const int runs = BenchSupport::runsFrom(argc, argv, 5);
    const QString unzip = QStandardPaths::findExecutable(QStringLiteral("unzip"));
    if (unzip.isEmpty()) {
        std::printf("bench_unpack: unzip not found\n");
        return 1;
    }

    QTemporaryDir work;
    const QString archive = work.filePath(QStringLiteral("package.zip"));
    if (!writePackage(archive)) {
        std::printf("bench_unpack: cannot build the package\n");
        return 1;
    }

    BookInstaller installer;

    const int expectedFiles = Entries - Entries / 100 + 1;
    const auto withUnzip = [&]() -> double {
        const QString theirs = work.filePath(QStringLiteral("unzip"));
        QDir(theirs).removeRecursively();
        BenchSupport::settleDisk();
        const double ms = BenchSupport::timedCommand(unzip, { QStringLiteral("-q"), QStringLiteral("-o"), archive,
                                                              QStringLiteral("-d"), theirs });
        return ms >= 0 && countFiles(theirs) == expectedFiles ? ms : -1;
    };
    double longestStall = 0;
    const auto withProgram = [&]() -> double {
        // An installation deletes the archive it installed: each run gets its own copy.
        const QString copy = work.filePath(QStringLiteral("book.zip"));
        const QString dest = work.filePath(QStringLiteral("book"));
        QDir(dest).removeRecursively();
        QFile::remove(copy);
        QFile::copy(archive, copy);
        BenchSupport::settleDisk();
        QElapsedTimer sinceEvents;
        QTimer ticking;
        ticking.setInterval(1);
        QObject::connect(&ticking, &QTimer::timeout, [&] {
            longestStall = qMax(longestStall, sinceEvents.nsecsElapsed() / 1e6);
            sinceEvents.restart();
        });
        QEventLoop over;
        QObject requester;
        bool ok = false;
        QElapsedTimer clock;
        clock.start();
        sinceEvents.start();
        ticking.start();
        installer.install(&requester, {}, [&] {
            PackageUnpack unpack(copy, dest, work.path());
            ok = installer.unpack(unpack);
        }, [&] { over.quit(); });
        over.exec();
        const double ms = clock.nsecsElapsed() / 1e6;
        ticking.stop();
        return ok && countFiles(dest) == expectedFiles ? ms : -1;
    };

    QVector<double> oursMs, unzipMs;
    for (int run = 0; run < runs; ++run) {
        // Alternate which goes first, so neither always pays for the other's write-back.
        double u, o;
        if (run % 2) {
            o = withProgram();
            u = withUnzip();
        } else {
            u = withUnzip();
            o = withProgram();
        }
        if (u < 0 || o < 0) {
            std::printf("bench_unpack: %s failed\n", u < 0 ? "unzip" : "the installation");
            return 1;
        }
        unzipMs << u;
        oursMs << o;
        std::printf("run %d: unzip %.0f ms, installation %.0f ms\n", run + 1, u, o);
    }
    const double ours = BenchSupport::median(oursMs);
    const double reference = BenchSupport::median(unzipMs);
    const double ratio = ours / reference;
    std::printf("unpacking %d entries, %d runs (medians): unzip %.0f ms, installation %.0f ms, ratio %.2f (limit %.1f)\n",
                Entries, runs, reference, ours, ratio, TimeRatioLimit);
    const QByteArray where = "unpacking a package, " + BenchSupport::placeOfTemporaryFiles();
    BenchSupport::figure(where.constData(), ours, "ms", reference, "unzip", QStringLiteral("<= %1x").arg(TimeRatioLimit),
        ratio <= TimeRatioLimit);
    std::printf("longest the window went without events while installing: %.1f ms (limit %.0f)\n", longestStall, StallLimitMs);
    BenchSupport::figure("window without events during an installation (worst)", longestStall, "ms", -1, nullptr,
        QStringLiteral("< %1 ms").arg(StallLimitMs), longestStall < StallLimitMs);
    return ratio <= TimeRatioLimit && longestStall < StallLimitMs ? 0 : 1;
}
