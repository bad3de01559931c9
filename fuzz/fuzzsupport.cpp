#include "fuzz/fuzzsupport.h"

#include "app/diagnostics.h"

#include <QCoreApplication>
#include <QDir>
#include <QTemporaryDir>
#include <cstdio>
#include <cstdlib>

namespace FuzzSupport {

namespace {
QTemporaryDir* root = nullptr;
}

void initialize(int* argc, char*** argv)
{
    root = new QTemporaryDir(QDir::tempPath() + QStringLiteral("/vocalume-fuzz-XXXXXX"));
    QDir(root->path()).mkpath(QStringLiteral("home"));
    QDir(root->path()).mkpath(QStringLiteral("config"));
    qputenv("HOME", QFile::encodeName(root->path() + QStringLiteral("/home")));
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(root->path() + QStringLiteral("/config")));
    qputenv("XDG_DATA_HOME", QFile::encodeName(root->path() + QStringLiteral("/home/.local/share")));
    qputenv("XDG_CACHE_HOME", QFile::encodeName(root->path() + QStringLiteral("/home/.cache")));
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(root->path()));
    qputenv("QT_QPA_PLATFORM", "offscreen");
    // libFuzzer ends the process with exit(), which skips this folder's removal otherwise.
    std::atexit([] { delete root; });
    new QCoreApplication(*argc, *argv);
    Diagnostics::setEnabled(false);
    // Qt's own warnings about malformed input would drown libFuzzer's report.
    qInstallMessageHandler([](QtMsgType type, const QMessageLogContext&, const QString& message) {
        if (type == QtFatalMsg) {
            std::fprintf(stderr, "%s\n", qPrintable(message));
            std::abort();
        }
    });
}

QString scratch(const QString& name)
{
    const QString path = root->path() + QLatin1Char('/') + name;
    QDir(path).removeRecursively();
    QDir().mkpath(path);
    return path;
}

void violated(const char* invariant, const QString& detail)
{
    std::fprintf(stderr, "invariant broken: %s\n%s\n", invariant, qUtf8Printable(detail));
    std::abort();
}
}
