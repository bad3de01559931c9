// The reference store's HTTP side (HTTPS only, when given a certificate): login, purchase history,
// package download, version check, cover images and the store's account and search pages, on
// 127.0.0.1 only, with switches that inject the faults the program must survive.
#pragma once

#include "catalog.h"

#include <QByteArray>
#include <QHash>
#include <QMap>
#include <QMutex>
#include <QString>
#include <atomic>
#include <memory>

namespace httplib {
class Server;
struct Request;
struct Response;
}

class StoreServer
{
public:
    struct Options {
        QString packages;      // directory of the package files
        bool deny = false;     // every session check answers "Accesso negato"
        int delayMs = 0;       // delay before every reply
        qint64 cutAfter = -1;  // package replies end (connection closed) after this many body bytes
        int cutTimes = -1;     // only the first this many package replies are cut; -1: all
        qint64 slowDownload = 0; // package bodies at most this many bytes per second
        bool refusalsAs200 = false; // package requests are refused with status 200, as the real service does
        bool expireOnRange = false; // a package request that continues a transfer finds the session expired
        int packageStatus = 0;   // every package request is refused with this HTTP status; 0: none is
        bool noLength = false;   // package bodies carry no Content-Length: the closed connection ends them
        QString certificate;   // with `key`: serve TLS with this certificate chain (PEM)
        QString key;           // the certificate's private key (PEM)
    };

    StoreServer(const Catalog& catalog, const Options& options);
    ~StoreServer();

    // False when the certificate or its key could not be loaded.
    bool isValid() const;
    // Binds 127.0.0.1:port (0: any free port); returns the port, or -1.
    int bind(int port);
    // Serves until the process ends.
    bool run();

private:
    enum class Session { Valid, Unknown, Denied };
    Session checkSession(const httplib::Request& request, const Account** account) const;
    QString base(const httplib::Request& request) const;

    void login(const httplib::Request& request, httplib::Response& response) const;
    void history(const httplib::Request& request, httplib::Response& response) const;
    void download(const httplib::Request& request, httplib::Response& response) const;
    void version(const httplib::Request& request, httplib::Response& response) const;
    void cover(const httplib::Request& request, httplib::Response& response) const;
    void searchPage(const httplib::Request& request, httplib::Response& response) const;
    void softwarePage(const httplib::Request& request, httplib::Response& response) const;
    void homePage(const httplib::Request& request, httplib::Response& response) const;
    // The SHA-256 of the package file at `path` in hexadecimal, computed once for each size and
    // modification time of the file; empty when there is no such file.
    QString digestOf(const QString& path) const;
    // Whether this package reply is one the service cuts (--cut-after, --cut-times).
    bool cutsThisReply() const;

    const Catalog& catalog;
    Options options;
    QMap<QString, QByteArray> covers; // file name -> image bytes
    mutable QMutex digestsLock;
    mutable QHash<QString, QString> digests; // "<path> <size> <mtime>" -> digest
    mutable std::atomic<int> cutReplies { 0 };
    int port = 0;
    std::unique_ptr<httplib::Server> server;
};
