// Where plain-HTTP requests go: the publisher's service host and the port, from the build
// configuration. Tests point the process at a server of their own with setCurrent().
#pragma once

#include <QString>

struct ServiceEndpoint {
    QString host;
    quint16 port = 80;

    // The endpoint in force (the build's service host and port unless a test changed it).
    static ServiceEndpoint current();
    static void setCurrent(const ServiceEndpoint& endpoint);
    // The host of the publisher's online store (account pages, purchase pages).
    static QString storeHost();
    static void setStoreHost(const QString& host);
};
