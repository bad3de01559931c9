#include "tests/support/testsupport.h"

#include <cstdio>
#include <cstdlib>

#include "base/appsettings.h"
#include "base/diagnostics.h"
#include "tests/support/privatehome.h"

#include <QTemporaryDir>
#include <quazip/quazip.h>
#include <quazip/quazipfile.h>
#include <cstdio>
#include <cstdlib>

namespace TestSupport {

namespace {
QTemporaryDir* root = nullptr;
Recorded recordedLines;
QList<std::function<void()>> resetSteps;
}

void prepareEnvironment()
{
    root = PrivateHome::prepare(QStringLiteral("vocalume-test"));
    if (qgetenv("QT_QPA_PLATFORM").isEmpty())
        qputenv("QT_QPA_PLATFORM", "offscreen");
}

void addResetStep(std::function<void()> step)
{
    resetSteps << step;
}

void resetHome()
{
    const QDir home(QDir::homePath());
    for (const QFileInfo& entry : home.entryInfoList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot)) {
        if (entry.isDir() && !entry.isSymLink())
            QDir(entry.absoluteFilePath()).removeRecursively();
        else
            QFile::remove(entry.absoluteFilePath());
    }
    AppSettings().clear();
    recordedLines = Recorded();
    Diagnostics::setEnabled(!qEnvironmentVariableIsSet("VOCALUME_QUIET_TESTS"));
    Diagnostics::setRecorder([](Diagnostics::Channel, const QString& line) { recordedLines.diagnostics << line; });
    for (const auto& step : qAsConst(resetSteps))
        step();
}

QString dataDirectory()
{
    return QDir::homePath() + QStringLiteral("/.vocalumezenta");
}

Recorded& recorded()
{
    return recordedLines;
}

bool diagnosticsContain(const QString& text)
{
    for (const QString& line : recordedLines.diagnostics)
        if (line.contains(text))
            return true;
    return false;
}

QStringList heard(const QString& callback)
{
    return recordedLines.statements.filter(QStringLiteral("SignalQt('") + callback + QLatin1Char('\''));
}

QByteArray noise(int size, uint seed)
{
    QByteArray bytes(size, Qt::Uninitialized);
    for (int i = 0; i < size; ++i) {
        seed = seed * 1103515245u + 12345u;
        bytes[i] = char(seed >> 16);
    }
    return bytes;
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

bool writeZip(const QString& path, const QList<QPair<QString, QByteArray>>& entries)
{
    QuaZip zip(path);
    if (!zip.open(QuaZip::mdCreate))
        return false;
    for (const auto& entry : entries) {
        QuaZipFile file(&zip);
        if (!file.open(QIODevice::WriteOnly, QuaZipNewInfo(entry.first)))
            return false;
        if (!entry.first.endsWith(QLatin1Char('/')))
            file.write(entry.second);
        file.close();
    }
    zip.close();
    return zip.getZipError() == 0;
}
}

TestSupport::Deadline::Deadline(int seconds, const char* what)
    : watcher([this, seconds, what] {
        std::unique_lock<std::mutex> lock(mutex);
        if (!left.wait_for(lock, std::chrono::seconds(seconds), [this] { return done; })) {
            std::fprintf(stderr, "FAIL!  : %s did not end within %d s\n", what, seconds);
            std::fflush(stderr);
            std::_Exit(1);
        }
    })
{
}

TestSupport::Deadline::~Deadline()
{
    {
        std::lock_guard<std::mutex> lock(mutex);
        done = true;
    }
    left.notify_all();
    watcher.join();
}
