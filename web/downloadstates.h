// What a page loaded during downloads reads of them: the downloads and installations under way,
// those stopped before their end and kept, and the user's pause and discard, as the page's JSON.
#pragma once

#include <QMap>
#include <QString>

class Download;

class DownloadStates
{
public:
    // The downloads by sku (the download service's); none followed: nothing is under way.
    void follow(const QMap<QString, Download*>* bySku) { downloads = bySku; }

    // See PageServices, whose slots of the same names hand over here.
    QString size(const QString& sku) const;
    QString underWay() const;
    QString kept() const;
    bool pause(const QString& sku) const;
    bool discard(const QString& sku) const;

private:
    // The download of `sku` under way or kept; none when there is none or none are followed.
    Download* followed(const QString& sku) const;

    const QMap<QString, Download*>* downloads = nullptr;
};
