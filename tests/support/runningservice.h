// The reference store service as the test suite runs it: the build's own service binary with the
// demo catalog, on a free port of 127.0.0.1 that the process's service endpoint then points at.
// Without the built tool start() fails and tests skip.
#pragma once

#include "tests/support/storeserviceprocess.h"

class RunningService : public StoreServiceProcess
{
public:
    bool start(const QString& packages, const QStringList& options = QStringList())
    {
#ifdef VOCALUME_STORESERVICE
        return StoreServiceProcess::start(QStringLiteral(VOCALUME_STORESERVICE),
                                          QStringLiteral(VOCALUME_STORESERVICE_DEMO), packages, options);
#else
        Q_UNUSED(packages);
        Q_UNUSED(options);
        return false;
#endif
    }

    QString base() const { return QStringLiteral("%1://127.0.0.1:%2").arg(secure ? "https" : "http").arg(port); }
};
