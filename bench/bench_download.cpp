// Downloading a 200 MiB package from the reference store service on 127.0.0.1 through the
// program's own path (bridge slot, Download, DownloadManager), next to curl fetching the same
// URL in the same run: transfer time, and the process's peak memory growth over the download
// and its installation. Then the same package from a service that cuts the connection three
// times: the bytes the service sent over the package's size, which continuing each cut transfer
// from where it stopped keeps near 1.
//   bench_download [runs]
#include "app/mainwindow.h"
#include "library/librarysync.h"
#include "base/appsettings.h"
#include "base/datapaths.h"
#include "bench/benchsupport.h"
#include "hostilearchives.h"
#include "tests/support/storeserviceprocess.h"
#include "web/qtjavascriptinteraction.h"
#include "web/scriptcall.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTimer>
#include <quazip/quazip.h>
#include <quazip/quazipfile.h>

namespace {
constexpr qint64 PackageBytes = 200LL * 1024 * 1024;
constexpr double TimeRatioLimit = 1.5;
constexpr qint64 MemoryLimitKiB = 32 * 1024;
constexpr double CutRatioLimit = 1.05;
constexpr int Cuts = 3;

// The one large content file of the package.
const QString FillerEntry = QStringLiteral("voci/riempitivo.bin");

// A stored (uncompressed) archive of incompressible bytes, so the package is 200 MiB on the wire,
// beside a dictionary database the installation accepts.
bool writePackage(const QString& path)
{
    QuaZip zip(path);
    if (!zip.open(QuaZip::mdCreate))
        return false;
    QuaZipFile database(&zip);
    if (!database.open(QIODevice::WriteOnly, QuaZipNewInfo(QStringLiteral("database.db")), nullptr, 0, 0, 0)
        || database.write(HostileArchives::dictionaryDatabase()) < 0)
        return false;
    database.close();
    QuaZipFile entry(&zip);
    if (!entry.open(QIODevice::WriteOnly, QuaZipNewInfo(FillerEntry), nullptr, 0, 0, 0))
        return false;
    QByteArray chunk(1024 * 1024, Qt::Uninitialized);
    quint64 state = 88172645463325252ULL;
    for (qint64 written = 0; written < PackageBytes - 4096; written += chunk.size()) {
        auto* words = reinterpret_cast<quint64*>(chunk.data());
        for (int i = 0; i < chunk.size() / 8; ++i) {
            state ^= state << 13;
            state ^= state >> 7;
            state ^= state << 17;
            words[i] = state;
        }
        entry.write(chunk.left(int(qMin<qint64>(chunk.size(), PackageBytes - 4096 - written))));
    }
    entry.close();
    zip.close();
    return zip.getZipError() == 0;
}

// The package bytes a store service's replies sent, as its log tells them.
qint64 bytesSent(const QString& log)
{
    QFile file(log);
    qint64 sent = 0;
    if (!file.open(QIODevice::ReadOnly))
        return -1;
    static const QRegularExpression line(QStringLiteral("^package .*: sent (\\d+) bytes"));
    while (!file.atEnd()) {
        const QRegularExpressionMatch match = line.match(QString::fromUtf8(file.readLine()));
        if (match.hasMatch())
            sent += match.captured(1).toLongLong();
    }
    return sent;
}

const char* const catalogText = "[account_bench]\nusername=bench\npassword=bench\npurchased=ZBENCH\n\n"
                                "[dictionary_1]\nsku=ZBENCH\ntitle=Pacchetto di misura\npackage=ZBENCH.zip\n";
}

int main(int argc, char* argv[])
{
#ifndef VOCALUME_STORESERVICE
    std::printf("bench_download: the store service is not built\n");
    return 0;
#else
    BenchSupport::prepareEnvironment();
    QApplication app(argc, argv);
    BenchSupport::quietProgram();
    const int runs = BenchSupport::runsFrom(argc, argv, 5);
    const QString curl = QStandardPaths::findExecutable(QStringLiteral("curl"));
    if (curl.isEmpty()) {
        std::printf("bench_download: curl not found\n");
        return 1;
    }

    QTemporaryDir work;
    QDir(work.path()).mkpath(QStringLiteral("catalog"));
    QDir(work.path()).mkpath(QStringLiteral("packages"));
    QFile ini(work.filePath(QStringLiteral("catalog/catalog.ini")));
    if (!ini.open(QIODevice::WriteOnly) || ini.write(catalogText) < 0)
        return 1;
    ini.close();
    if (!writePackage(work.filePath(QStringLiteral("packages/ZBENCH.zip")))) {
        std::printf("bench_download: cannot build the package\n");
        return 1;
    }
    const qint64 packageSize = QFileInfo(work.filePath(QStringLiteral("packages/ZBENCH.zip"))).size();

    StoreServiceProcess service;
    if (!service.start(QStringLiteral(VOCALUME_STORESERVICE), work.filePath(QStringLiteral("catalog")),
                       work.filePath(QStringLiteral("packages")))) {
        std::printf("bench_download: the store service did not start\n");
        return 1;
    }
    const QString url = QStringLiteral("http://127.0.0.1:%1/api/zenta/download.xml?username=bench&sessionId=bench&sku=ZBENCH.zip")
                            .arg(service.port);

    MainWindow window;
    QEventLoop settle;
    QTimer::singleShot(500, &settle, &QEventLoop::quit);
    settle.exec();
    AppSettings settings;
    settings.setUsername(QStringLiteral("bench"));
    settings.setSessionId(QStringLiteral("bench"));
    Book book;
    book.bookId = QStringLiteral("ZBENCH");
    window.library->libraryBooks = { book };
    const QString installed = DataPaths::bookDirectory(QStringLiteral("ZBENCH")) + QLatin1Char('/') + FillerEntry;

    // The transfer ends where the installation tells the page to wait; the run where it says 100.
    QEventLoop loop;
    QElapsedTimer clock;
    double transferMs = -1;
    int progressCalls = 0;
    ScriptCall::setRecorder([&](const QString& statement) {
        if (statement.contains(QLatin1String("progress:\"wait\"")))
            transferMs = clock.nsecsElapsed() / 1e6;
        else if (statement.contains(QLatin1String("progress:\\'100\\'")) || statement.contains(QLatin1String("error:\"")))
            loop.quit();
        else
            ++progressCalls;
    });

    QVector<double> oursMs, curlMs, growthMiB;
    const bool peakResets = BenchSupport::resetPeak();
    for (int run = 0; run < runs; ++run) {
        const QString curlTarget = work.filePath(QStringLiteral("curl.zip"));
        BenchSupport::settleDisk();
        const double c = BenchSupport::timedCommand(curl, { QStringLiteral("-s"), QStringLiteral("-f"), QStringLiteral("-o"), curlTarget, url });
        if (c < 0 || QFileInfo(curlTarget).size() != packageSize) {
            std::printf("bench_download: curl failed\n");
            return 1;
        }
        QFile::remove(curlTarget);
        curlMs << c;

        BenchSupport::settleDisk();
        BenchSupport::resetPeak();
        const qint64 before = peakResets ? BenchSupport::statusKiB("VmRSS") : BenchSupport::statusKiB("VmHWM");
        transferMs = -1;
        progressCalls = 0;
        clock.start();
        window.bridge->download(QStringLiteral("ZBENCH"), QStringLiteral("onBench"));
        loop.exec();
        const qint64 peak = BenchSupport::statusKiB("VmHWM");
        if (transferMs < 0 || QFileInfo(installed).size() < PackageBytes - 8192) {
            std::printf("bench_download: the download did not install\n");
            return 1;
        }
        oursMs << transferMs;
        growthMiB << (peak - before) / 1024.0;
        std::printf("run %d: curl %.0f ms, program %.0f ms (%d progress calls), peak growth %.1f MiB\n", run + 1, c,
                    transferMs, progressCalls, (peak - before) / 1024.0);
    }

    // The same download from a service that cuts the first replies a quarter of the way through
    // each; the program goes on by itself after each cut.
    StoreServiceProcess cutting;
    cutting.requestLog = work.filePath(QStringLiteral("cut-requests.log"));
    if (!cutting.start(QStringLiteral(VOCALUME_STORESERVICE), work.filePath(QStringLiteral("catalog")),
                       work.filePath(QStringLiteral("packages")),
                       { QStringLiteral("--cut-after"), QString::number(packageSize / (Cuts + 1)),
                         QStringLiteral("--cut-times"), QString::number(Cuts) })) {
        std::printf("bench_download: the cutting store service did not start\n");
        return 1;
    }
    transferMs = -1;
    clock.start();
    window.bridge->download(QStringLiteral("ZBENCH"), QStringLiteral("onBench"));
    loop.exec();
    const qint64 sent = bytesSent(cutting.requestLog);
    if (transferMs < 0 || sent <= 0) {
        std::printf("bench_download: the download cut %d times did not install\n", Cuts);
        return 1;
    }
    const double cutRatio = double(sent) / double(packageSize);

    const double ours = BenchSupport::median(oursMs);
    const double theirs = BenchSupport::median(curlMs);
    const double growth = BenchSupport::median(growthMiB);
    const double worstGrowth = *std::max_element(growthMiB.begin(), growthMiB.end());
    const double ratio = ours / theirs;
    std::printf("download of %.0f MiB, %d runs (medians): curl %.0f ms, program %.0f ms, ratio %.2f (limit %.1f)\n",
                packageSize / 1048576.0, runs, theirs, ours, ratio, TimeRatioLimit);
    std::printf("peak memory growth over download and installation: median %.1f MiB, worst %.1f MiB (limit %lld MiB)%s\n",
                growth, worstGrowth, MemoryLimitKiB / 1024, peakResets ? "" : " [peak not resettable: growth of the process peak]");
    std::printf("download cut %d times: the service sent %lld bytes for a package of %lld, ratio %.3f (limit %.2f), "
                "in %.0f ms with the pauses before each new try\n",
                Cuts, static_cast<long long>(sent), static_cast<long long>(packageSize), cutRatio, CutRatioLimit,
                transferMs);
    const QByteArray where = "download and install, " + BenchSupport::placeOfTemporaryFiles();
    BenchSupport::figure(where.constData(), ours, "ms", theirs, "curl", QStringLiteral("<= %1x").arg(TimeRatioLimit),
        ratio <= TimeRatioLimit);
    const QByteArray growthName = "memory growth over a download (worst), " + BenchSupport::placeOfTemporaryFiles();
    BenchSupport::figure(growthName.constData(), worstGrowth, "MiB", -1, "",
        QStringLiteral("< %1 MiB").arg(MemoryLimitKiB / 1024), worstGrowth * 1024 < MemoryLimitKiB);
    const QByteArray cut = "bytes sent for a download cut " + QByteArray::number(Cuts) + " times, over the package's, "
        + BenchSupport::placeOfTemporaryFiles();
    BenchSupport::figure(cut.constData(), cutRatio, "", -1, "",
        QStringLiteral("< %1").arg(CutRatioLimit), cutRatio < CutRatioLimit);
    return ratio <= TimeRatioLimit && worstGrowth * 1024 < MemoryLimitKiB && cutRatio < CutRatioLimit ? 0 : 1;
#endif
}
