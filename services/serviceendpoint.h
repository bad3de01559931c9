// Where the program's requests go: the publisher's service host, the port, and whether the
// connection is TLS (https, with the system's certificate checks) or plain HTTP. The build
// configuration gives the default; the command line and tests point the process elsewhere with
// setCurrent().
#pragma once

#include <QString>

struct ServiceEndpoint {
    QString host;
    quint16 port = 80;
    bool secure = false;

    // "https" or "http".
    QString scheme() const;
    // Scheme and authority ("https://negozio.esempio", "http://127.0.0.1:47800"): the port is
    // named only when it is not the scheme's own.
    QString base() const;

    // Reads "host[:port]" or "http://host[:port]" (plain HTTP, port 80 when none is given) and
    // "https://host[:port]" (TLS, port 443); a lone trailing "/" is allowed. False for anything
    // else (another scheme, a path, a user name, a port out of range).
    static bool parse(const QString& text, ServiceEndpoint* endpoint);

    // The address the program was built with.
    static ServiceEndpoint built();
    // The endpoint in force (the build's unless the command line or a test changed it).
    static ServiceEndpoint current();
    static void setCurrent(const ServiceEndpoint& endpoint);
    // The host of the publisher's online store (account pages, purchase pages).
    static QString storeHost();
    static void setStoreHost(const QString& host);
};
