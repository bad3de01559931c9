// Helpers shared by the benchmarks: a private HOME, peak memory of the process, medians, and
// timing a reference command in the same run.
#pragma once

#include "app/dialogs.h"
#include "base/diagnostics.h"
#include "tests/support/privatehome.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QScopedPointer>
#include <QTemporaryDir>
#include <QVector>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <unistd.h>

namespace BenchSupport {

// Runs the program offscreen in a temporary HOME and settings folder; call before the
// application object exists. The folder goes when the process ends.
inline void prepareEnvironment()
{
    static QScopedPointer<QTemporaryDir> home(PrivateHome::prepare(QStringLiteral("vocalume-bench")));
    qputenv("QT_QPA_PLATFORM", "offscreen");
}

// Silences diagnostics and makes any message box print itself and answer Ok.
inline void quietProgram()
{
    Diagnostics::setEnabled(false);
    Dialogs::setHandler([](Dialogs::Kind, const QString& title, const QString& text, QDialog*) {
        std::fprintf(stderr, "box: %s: %s\n", qPrintable(title), qPrintable(text));
        return int(QMessageBox::Ok);
    });
}

// The count given as the program's `index`th argument, or `fallback` when there is none.
inline int countArgument(int argc, char* argv[], int index, int fallback)
{
    return argc > index ? QByteArray(argv[index]).toInt() : fallback;
}

// A field of /proc/self/status in KiB (VmHWM: peak resident size; VmRSS: current).
inline qint64 statusKiB(const char* field)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray key = QByteArray(field) + ':';
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith(key))
            return line.mid(key.size()).trimmed().split(' ').value(0).toLongLong();
    return -1;
}

// Resets the peak to the current resident size; false where the kernel does not allow it.
inline bool resetPeak()
{
    QFile clear(QStringLiteral("/proc/self/clear_refs"));
    return clear.open(QIODevice::WriteOnly) && clear.write("5") == 1;
}

inline double median(QVector<double> values)
{
    if (values.isEmpty())
        return 0;
    std::sort(values.begin(), values.end());
    const int n = values.size();
    return n % 2 ? values.at(n / 2) : (values.at(n / 2 - 1) + values.at(n / 2)) / 2;
}

// Milliseconds `work` takes on this thread.
inline double millisecondsOf(const std::function<void()>& work)
{
    QElapsedTimer clock;
    clock.start();
    work();
    return clock.nsecsElapsed() / 1e6;
}

// Prints why a step failed; false, for the caller to return.
inline bool failed(const QString& message)
{
    std::fprintf(stderr, "%s\n", qPrintable(message));
    return false;
}

// Milliseconds `program` takes to run to a successful end; -1 when it fails.
inline double timedCommand(const QString& program, const QStringList& arguments)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process.setStandardOutputFile(QProcess::nullDevice());
    QElapsedTimer clock;
    clock.start();
    process.start(program, arguments);
    if (!process.waitForFinished(-1) || process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0)
        return -1;
    return clock.nsecsElapsed() / 1e6;
}

// Writes back what earlier steps left dirty, so a timing does not pay for them.
inline void settleDisk()
{
    ::sync();
}

// One line of the summary table scripts/bench.sh prints at the end:
// figure|what|ours|reference|ratio|limit|ok or TOO SLOW. A reference below 0 means none. The
// verdict is the caller's, returned for it to fold into the exit status.
inline bool figure(const char* what, double ours, const char* unit, double reference, const char* referenceName,
    const QString& limit, bool ok)
{
    const auto value = [unit](double v) { return QString::number(v, 'f', v < 10 ? 2 : 1) + QLatin1Char(' ') + QLatin1String(unit); };
    const QString referenceText
        = reference >= 0 ? value(reference) + QStringLiteral(" (") + QLatin1String(referenceName) + QLatin1Char(')') : QString();
    const QString ratio = reference > 0 ? QString::number(ours / reference, 'f', 2) + QLatin1Char('x') : QString();
    std::printf("figure|%s|%s|%s|%s|%s|%s\n", what, qPrintable(value(ours)), qPrintable(referenceText), qPrintable(ratio),
        qPrintable(limit), ok ? "ok" : "TOO SLOW");
    return ok;
}

// Where the temporary files of the run are: a memory file system measures the program, a disk
// this machine's write-back as well.
inline QByteArray placeOfTemporaryFiles()
{
    return QDir::tempPath().startsWith(QLatin1String("/dev/shm")) ? "memory file system" : "disk";
}

// Number of runs: the first argument, else `fallback`.
inline int runsFrom(int argc, char* argv[], int fallback)
{
    const int runs = argc > 1 ? std::atoi(argv[1]) : 0;
    return runs > 0 ? runs : fallback;
}
}
