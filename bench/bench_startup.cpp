// Start-up benchmark (bench_startup [runs] [--x11]): the built program is launched again and again
// in a HOME where the six demo dictionaries are installed and the user is signed in, against the
// reference store service, and the moments it marks (VOCALUME_STARTUP_TRACE) are set beside the
// moment of the launch: the splash on screen (limit 250 ms after the launch) and the library page
// painted in the shown window (limit 200 ms after the required 2-second splash). The first start
// in the HOME is not counted. The program runs offscreen, or on the display with --x11.
#include "app/mainwindow.h"
#include "bench/benchsupport.h"
#include "bench/demolibrary.h"
#include "tests/support/storeserviceprocess.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QHash>
#include <QProcess>
#include <QTemporaryFile>
#include <QThread>
#include <ctime>

namespace {
qint64 monotonicMicroseconds()
{
    timespec now {};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return qint64(now.tv_sec) * 1000000 + now.tv_nsec / 1000;
}

// The marks of one start, in milliseconds after the launch; empty when the page never showed.
QHash<QByteArray, double> launchOnce(const QStringList& arguments, bool onDisplay)
{
    QTemporaryFile trace(QDir::tempPath() + QStringLiteral("/startup-XXXXXX"));
    if (!trace.open())
        return {};
    QProcess program;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("VOCALUME_STARTUP_TRACE"), trace.fileName());
    if (onDisplay)
        environment.remove(QStringLiteral("QT_QPA_PLATFORM"));
    program.setProcessEnvironment(environment);
    const qint64 launched = monotonicMicroseconds();
    program.start(QStringLiteral(VOCALUME_PROGRAM), arguments);
    QHash<QByteArray, double> marks;
    QElapsedTimer waited;
    waited.start();
    while (!marks.contains("page") && waited.elapsed() < 30000 && program.state() != QProcess::NotRunning) {
        QThread::msleep(5);
        trace.seek(0);
        for (const QByteArray& line : trace.readAll().split('\n')) {
            const QList<QByteArray> parts = line.split(' ');
            if (parts.size() == 2)
                marks.insert(parts.at(0), (parts.at(1).toLongLong() - launched) / 1000.0);
        }
    }
    program.terminate();
    if (!program.waitForFinished(10000))
        program.kill();
    program.waitForFinished(10000);
    return marks.contains("page") ? marks : QHash<QByteArray, double>();
}
}

int main(int argc, char* argv[])
{
    BenchSupport::prepareEnvironment();
    QApplication app(argc, argv);
    BenchSupport::quietProgram();
    const QStringList args = app.arguments().mid(1);
    const bool onDisplay = args.contains(QStringLiteral("--x11")) && !qEnvironmentVariableIsEmpty("DISPLAY");
    const int runs = qMax(1, args.value(0).startsWith(QLatin1String("--")) ? 10 : args.value(0, QStringLiteral("10")).toInt());

    StoreServiceProcess service;
    if (!service.start(QStringLiteral(VOCALUME_STORESERVICE), QFileInfo(DemoLibrary::catalogPath()).path(),
            DemoLibrary::packagesFolder()))
        return std::fprintf(stderr, "the store service did not start\n"), 1;
    {
        MainWindow window;
        if (!DemoLibrary::installAll(DemoLibrary::packagesFolder(), DemoLibrary::catalogPath(),
                DemoLibrary::ownedByDemoAccount(DemoLibrary::catalogPath())))
            return 1;
    }
    const QStringList arguments { QStringLiteral("--store"), QStringLiteral("127.0.0.1:%1").arg(service.port) };
    if (launchOnce(arguments, onDisplay).isEmpty())
        return std::fprintf(stderr, "the program did not show its first page\n"), 1;

    QVector<double> toMain, toSplash, construction, toShown, toPage;
    for (int run = 0; run < runs; ++run) {
        const QHash<QByteArray, double> m = launchOnce(arguments, onDisplay);
        if (m.isEmpty())
            return std::fprintf(stderr, "run %d: the program did not show its first page\n", run + 1), 1;
        toMain << m.value("main");
        toSplash << m.value("splash");
        construction << m.value("constructed") - m.value("slept");
        toShown << m.value("shown") - m.value("slept");
        toPage << m.value("page") - m.value("slept");
        std::printf("run %2d: main %6.1f ms, splash %6.1f ms; after the splash's sleep: constructed %6.1f, shown %6.1f, "
                    "page painted %6.1f ms\n",
            run + 1, toMain.last(), toSplash.last(), construction.last(), toShown.last(), toPage.last());
    }
    const double splash = BenchSupport::median(toSplash);
    const double page = BenchSupport::median(toPage);
    std::printf("%d starts (%s), medians: launch to main %.1f ms, to splash %.1f ms (limit 250); after the splash: "
                "window constructed %.1f ms, shown %.1f ms, page painted %.1f ms (limit 200)\n",
        runs, onDisplay ? "on the display" : "offscreen", BenchSupport::median(toMain), splash,
        BenchSupport::median(construction), BenchSupport::median(toShown), page);
    bool ok = BenchSupport::figure("start: launch to splash shown", splash, "ms", -1, "", QStringLiteral("<= 250 ms"), splash <= 250);
    ok = BenchSupport::figure("start: 2 s splash to library painted", page, "ms", -1, "", QStringLiteral("<= 200 ms"),
             page <= 200)
        && ok;
    return ok ? 0 : 1;
}
