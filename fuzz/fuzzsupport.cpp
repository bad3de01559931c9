#include "fuzz/fuzzsupport.h"

#include "base/diagnostics.h"
#include "tests/support/privatehome.h"

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
    root = PrivateHome::prepare(QStringLiteral("vocalume-fuzz"));
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
