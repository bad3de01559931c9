#include "web/downloadstates.h"

#include "base/datapaths.h"
#include "packages/download.h"
#include "packages/partialpackage.h"

#include <QJsonDocument>
#include <QJsonObject>

Download* DownloadStates::followed(const QString& sku) const { return downloads ? downloads->value(sku) : nullptr; }

QString DownloadStates::size(const QString& sku) const
{
    const Download* download = followed(sku);
    return download && download->announcedBytes() > 0 ? QString::number(download->announcedBytes()) : QString();
}

QString DownloadStates::underWay() const
{
    QJsonObject states;
    if (!downloads)
        return QStringLiteral("{}");
    for (auto it = downloads->cbegin(); it != downloads->cend(); ++it) {
        const Download* download = it.value();
        QJsonObject state;
        switch (download->phase()) {
        case Download::Phase::Transfer: {
            const qint64 total = download->announcedBytes();
            state.insert(QStringLiteral("state"), QStringLiteral("download"));
            state.insert(QStringLiteral("percent"), qMin(99, Download::percentOf(download->receivedBytes(), total)));
            if (total > 0) {
                state.insert(QStringLiteral("size"), Download::sizeText(total));
                state.insert(QStringLiteral("bytes"), double(total));
            }
            break;
        }
        case Download::Phase::Queued:
            state.insert(QStringLiteral("state"), QStringLiteral("queued"));
            break;
        case Download::Phase::Installing:
            state.insert(QStringLiteral("state"), QStringLiteral("install"));
            break;
        case Download::Phase::Paused:
        case Download::Phase::Over:
            continue;
        }
        states.insert(it.key(), state);
    }
    return QString::fromUtf8(QJsonDocument(states).toJson(QJsonDocument::Compact));
}

QString DownloadStates::kept() const
{
    static const char* const stateNames[] = { "interrupted", "paused", "stopped" };
    QJsonObject kept;
    const QMap<QString, PartialPackage> parts = PartialPackage::under(DataPaths::booksDirectory());
    for (auto it = parts.cbegin(); it != parts.cend(); ++it) {
        const Download* download = followed(it.key());
        if (download && download->phase() != Download::Phase::Paused && download->phase() != Download::Phase::Over)
            continue;
        QJsonObject state { { QStringLiteral("percent"), qMin(99, it->percent()) },
                            { QStringLiteral("state"), QLatin1String(stateNames[int(it->state)]) } };
        if (it->size > 0) {
            state.insert(QStringLiteral("size"), Download::sizeText(it->size));
            state.insert(QStringLiteral("bytes"), double(it->size));
        }
        kept.insert(it.key(), state);
    }
    return QString::fromUtf8(QJsonDocument(kept).toJson(QJsonDocument::Compact));
}

bool DownloadStates::pause(const QString& sku) const
{
    Download* download = followed(sku);
    return download && download->pause();
}

bool DownloadStates::discard(const QString& sku) const
{
    Download* download = followed(sku);
    if (download && download->phase() == Download::Phase::Paused) {
        download->cancel();
        return true;
    }
    if ((download && download->phase() != Download::Phase::Over)
        || !PartialPackage::under(DataPaths::booksDirectory()).contains(sku))
        return false;
    PartialPackage(DataPaths::packageFile(DataPaths::bookDirectory(sku))).remove();
    return true;
}
