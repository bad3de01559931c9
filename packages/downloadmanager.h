// One HTTP transfer of a dictionary package into its package file (DataPaths::packageFile). The
// body is streamed into the part file beside it and renamed into place only when the transfer
// succeeded, so the package name never stands for a partial or refused download. The manager
// claims what it writes for as long as it lives (through the installation that follows), so
// that the start-up clean-up of another process leaves it alone.
#pragma once

#include <QFile>
#include <QObject>
#include <QString>

#include "base/fileclaim.h"

class HttpConnection;

class DownloadManager : public QObject
{
    Q_OBJECT
public:
    // A body this size or smaller is an error reply of the service, not a package.
    static constexpr qint64 SmallestPackage = 8192;

    DownloadManager(const QString& sku, const QString& filePath, QObject* parent = nullptr);
    ~DownloadManager() override;

    // Requests the package for the signed-in account (unless the manager already failed).
    void start();
    // The text the page and the status bar show for a failed transfer (naming the host when no
    // trusted secure connection was made); empty otherwise.
    QString errorMessage() const;
    // The temporary file the body is streamed into.
    QString partPath() const;

    HttpConnection* connection = nullptr;
    QFile file;
    QString filePath;
    QString packageName;
    QString host;
    bool finished = false;
    bool failed = false;
    qint32 size = 0;

public slots:
    void done(bool error);

private:
    void discardPart();

    QFile part;
    // Why the last transfer gave no package, once it has ended.
    QString failure;
    FileClaim claim;
};
