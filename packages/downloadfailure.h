// Why the transfer of a package gave no package, told to the user after the usual failure text:
// what happened (the service out of reach, the connection dropped, the disk full, a refusal of
// the store) and what to do.
#pragma once

#include "services/httpconnection.h"

#include <QString>

class DownloadFailure
{
public:
    // The failure text of a transfer that ended with `failure` and HTTP `status` (0 when no reply
    // came) after `received` body bytes, streamed into a file in `folder`; `written` is false
    // when the file did not take them all.
    static QString text(HttpConnection::Error failure, int status, qint64 received, bool written, const QString& folder);
    // The failure text when the service sent its refusal (`said`, its own words) for a package.
    static QString refusal(const QString& said);
    // The failure text when the service refused to continue a transfer whose bytes are kept:
    // what it said (`said`, its own words), and that the download can go on later.
    static QString keptAfterRefusal(const QString& said);
};
