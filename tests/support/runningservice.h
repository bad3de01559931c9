// The reference store service started by a test on a free port of 127.0.0.1, with a catalog
// (the demo one unless told otherwise); the process's service endpoint points at it.
#pragma once

#include "services/serviceendpoint.h"

#include <QProcess>
#include <QString>
#include <QStringList>

// A running service on a free port; stopped when it goes out of scope.
class RunningService
{
public:
    bool start(const QString& packages, const QStringList& options = {}, const QString& catalog = QString())
    {
#ifdef VOCALUME_STORESERVICE
        process.setStandardErrorFile(QProcess::nullDevice());
        process.start(QStringLiteral(VOCALUME_STORESERVICE),
                      QStringList { QStringLiteral("--port"), QStringLiteral("0"), QStringLiteral("--catalog"),
                                    catalog.isEmpty() ? QStringLiteral(VOCALUME_STORESERVICE_DEMO) : catalog,
                                    QStringLiteral("--packages"), packages }
                          + options);
        if (!process.waitForStarted(10000))
            return false;
        while (!process.canReadLine())
            if (!process.waitForReadyRead(10000))
                return false;
        const QByteArray line = process.readLine().trimmed();
        if (!line.startsWith("PORT "))
            return false;
        port = quint16(line.mid(5).toUInt());
        ServiceEndpoint::setCurrent({ QStringLiteral("127.0.0.1"), port });
        return port != 0;
#else
        Q_UNUSED(packages);
        Q_UNUSED(options);
        Q_UNUSED(catalog);
        return false;
#endif
    }

    ~RunningService()
    {
        if (process.state() == QProcess::NotRunning)
            return;
        process.terminate();
        if (!process.waitForFinished(5000))
            process.kill();
        process.waitForFinished(5000);
    }

    QString base() const { return QStringLiteral("http://127.0.0.1:%1").arg(port); }

    QProcess process;
    quint16 port = 0;
};
