#include "bench/dictdsession.h"

#include "bench/benchsupport.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <QStandardPaths>

namespace {
constexpr int waitMs = 10000;
}

DictdSession::~DictdSession()
{
    if (dictd.state() == QProcess::NotRunning)
        return;
    dictd.write("QUIT\r\n");
    dictd.closeWriteChannel();
    if (!dictd.waitForFinished(waitMs))
        dictd.kill();
    dictd.waitForFinished(waitMs);
}

bool DictdSession::start(const QString& base)
{
    database = QFileInfo(base).fileName();
    const QString program
        = QStandardPaths::findExecutable(QStringLiteral("dictd"), { QStringLiteral("/usr/sbin"), QStringLiteral("/usr/bin") });
    const QString config = folder.filePath(QStringLiteral("dictd.conf"));
    const QByteArray text = "global {\npid_file " + QFile::encodeName(folder.filePath(QStringLiteral("dictd.pid")))
        + "\n}\naccess { allow inetd }\ndatabase " + database.toUtf8() + " { data " + QFile::encodeName(base)
        + ".dict.dz index " + QFile::encodeName(base) + ".index }\n";
    QFile file(config);
    if (program.isEmpty() || !folder.isValid() || !file.open(QIODevice::WriteOnly) || file.write(text) != text.size())
        return BenchSupport::failed(QStringLiteral("dictd: not installed, or no place for its configuration"));
    file.close();
    // Started as root, dictd goes on as an unprivileged user, who must still read its configuration.
    QFile::setPermissions(folder.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadGroup
            | QFile::ExeGroup | QFile::ReadOther | QFile::ExeOther);
    file.setPermissions(file.permissions() | QFile::ReadGroup | QFile::ReadOther);
    dictd.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    dictd.start(program, { QStringLiteral("--inetd"), QStringLiteral("-c"), config });
    QByteArray banner;
    if (!dictd.waitForStarted(waitMs) || !readLine(&banner) || !banner.startsWith("220"))
        return BenchSupport::failed(QStringLiteral("dictd did not greet: ") + QString::fromUtf8(banner.trimmed()));
    return true;
}

bool DictdSession::readLine(QByteArray* line)
{
    while (!dictd.canReadLine())
        if (!dictd.waitForReadyRead(waitMs))
            return false;
    *line = dictd.readLine();
    return true;
}

double DictdSession::match(const QString& prefix, int* matches)
{
    QElapsedTimer clock;
    clock.start();
    QByteArray quoted = prefix.toUtf8();
    quoted.replace('\\', "\\\\").replace('"', "\\\"");
    dictd.write("MATCH " + database.toUtf8() + " prefix \"" + quoted + "\"\r\n");
    int listed = 0;
    QByteArray line;
    // 152 opens the list, ended by "." and 250; 552 is no match; any other 4xx or 5xx an error.
    while (readLine(&line)) {
        if (line.startsWith("552") || line.startsWith("250")) {
            if (matches)
                *matches = listed;
            return clock.nsecsElapsed() / 1e6;
        }
        if (line.startsWith('4') || line.startsWith('5'))
            return -1;
        if (!line.startsWith("152") && !line.startsWith(".\r"))
            ++listed;
    }
    return -1;
}
