// The built reference store service run as a child process on a free port of 127.0.0.1, for
// end-to-end tests and benchmarks. Stopped when it goes out of scope.
#pragma once

#include "services/serviceendpoint.h"

#include <QProcess>
#include <QString>
#include <QStringList>

class StoreServiceProcess
{
public:
    // Starts `program` on the catalog and packages folders with the service's extra `options`
    // (its faults; --cert and --key make it speak TLS only), waits for its "PORT n" line and
    // points the process's service endpoint at it. Its request lines go to `requestLog` when given.
    bool start(const QString& program, const QString& catalog, const QString& packages,
               const QStringList& options = QStringList())
    {
        process.setStandardErrorFile(requestLog.isEmpty() ? QProcess::nullDevice() : requestLog);
        process.start(program, QStringList { QStringLiteral("--port"), QStringLiteral("0"), QStringLiteral("--catalog"),
                                             catalog, QStringLiteral("--packages"), packages } + options);
        if (!process.waitForStarted(10000))
            return false;
        while (!process.canReadLine())
            if (!process.waitForReadyRead(10000))
                return false;
        const QByteArray line = process.readLine().trimmed();
        if (!line.startsWith("PORT "))
            return false;
        port = quint16(line.mid(5).toUInt());
        secure = options.contains(QStringLiteral("--cert"));
        ServiceEndpoint::setCurrent({ QStringLiteral("127.0.0.1"), port, secure });
        return port != 0;
    }

    ~StoreServiceProcess()
    {
        if (process.state() == QProcess::NotRunning)
            return;
        process.terminate();
        if (!process.waitForFinished(5000))
            process.kill();
        process.waitForFinished(5000);
    }

    QProcess process;
    QString requestLog;
    quint16 port = 0;
    bool secure = false;
};

// The build's own service with the demo catalog; without the built tool start() fails and tests skip.
class RunningService : public StoreServiceProcess
{
public:
    bool start(const QString& packages, const QStringList& options = QStringList())
    {
#ifdef VOCALUME_STORESERVICE_DEMO
        return StoreServiceProcess::start(VOCALUME_STORESERVICE, VOCALUME_STORESERVICE_DEMO, packages, options);
#else
        return (void)packages, (void)options, false;
#endif
    }

    QString base() const { return QStringLiteral("%1://127.0.0.1:%2").arg(secure ? "https" : "http").arg(port); }
};
