// A dictionary's cover image in the local cache (engine/covers): the local name for its
// address, whether it is already there, and the download that scales it to the cover size and
// stores it as PNG.
#pragma once

#include <QFile>
#include <QImage>
#include <QObject>
#include <QString>
#include <QTimer>
#include <QUrl>

class HttpConnection;
struct ServiceEndpoint;

class CachedImage : public QObject
{
    Q_OBJECT
public:
    static constexpr int CoverWidth = 115;
    static constexpr int CoverHeight = 170;
    // Longest a cover download may take from request to last byte; a later cover has failed.
    static int deadlineMilliseconds;
    // Largest side of a source picture: a cover is shown at 115 x 170, and a 20000-pixel side
    // would take gigabytes once decoded.
    static constexpr int MaxSourceSide = 4096;

    explicit CachedImage(const QString& url, QObject* parent = nullptr);
    ~CachedImage() override;

    // Whether the image of `url` is already in the local cache; nothing is created or fetched.
    static bool isCached(const QString& url);
    // Everything after the last "/" of `url`: the name a cached cover is recorded under.
    static QString nameOf(const QString& url);

    // Starts fetching the image (only the address's path is requested) and returns at once;
    // `finished` follows, after deadlineMilliseconds at most (a late cover has failed).
    void start();

    bool present = false;
    bool error = false;
    QImage image;
    QFile file;
    QString host;
    QString urlPath;
    // Everything after the last "/" of the address: what the library records as the cover.
    QString name;
    QString localPath;

signals:
    // The fetch that start() began has ended; the image is in the cache unless `error`.
    void finished();

private:
    void replyEnded();
    // Where the picture is asked for (see start()).
    ServiceEndpoint server() const;
    // The cached file's name: only the name's own extension becomes ".png" (a dot earlier in
    // the path, the data directory's, is not the cover's).
    static QString fileNameOf(const QString& name);

    QUrl address;
    QTimer deadline;
    HttpConnection* connection;
};
