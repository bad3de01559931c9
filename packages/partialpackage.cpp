#include "packages/partialpackage.h"

#include "base/datapaths.h"
#include "base/fileclaim.h"
#include "packages/download.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>
#include <iterator>

namespace {
const char* const stateNames[] = { "running", "paused", "stopped" };
// Larger than any record: a bigger file is no record of ours.
constexpr qint64 LargestRecord = 64 * 1024;
}

PartialPackage::PartialPackage(const QString& packagePath)
    : packagePath(packagePath)
{
}

bool PartialPackage::read()
{
    QFile file(DataPaths::resumeFile(packagePath));
    if (!file.open(QIODevice::ReadOnly))
        return false;
    const QJsonObject record = QJsonDocument::fromJson(file.read(LargestRecord)).object();
    if (record.isEmpty())
        return false;
    size = qint64(record.value(QStringLiteral("size")).toDouble(-1));
    etag = record.value(QStringLiteral("etag")).toString().toLatin1();
    lastModified = record.value(QStringLiteral("lastModified")).toString().toLatin1();
    sha256 = record.value(QStringLiteral("sha256")).toString();
    const QString name = record.value(QStringLiteral("state")).toString();
    state = State::Running;
    for (int i = 0; i < int(std::size(stateNames)); ++i)
        if (name == QLatin1String(stateNames[i]))
            state = State(i);
    return true;
}

bool PartialPackage::write() const
{
    const QJsonObject record {
        { QStringLiteral("size"), double(size) },
        { QStringLiteral("etag"), QString::fromLatin1(etag) },
        { QStringLiteral("lastModified"), QString::fromLatin1(lastModified) },
        { QStringLiteral("sha256"), sha256 },
        { QStringLiteral("state"), QLatin1String(stateNames[int(state)]) },
    };
    QSaveFile file(DataPaths::resumeFile(packagePath));
    return file.open(QIODevice::WriteOnly) && file.write(QJsonDocument(record).toJson(QJsonDocument::Compact)) > 0
        && file.commit();
}

void PartialPackage::remove() const
{
    QFile::remove(DataPaths::partFile(packagePath));
    QFile::remove(DataPaths::resumeFile(packagePath));
}

qint64 PartialPackage::bytes() const
{
    return QFileInfo(DataPaths::partFile(packagePath)).size();
}

QByteArray PartialPackage::validator() const
{
    // A weak tag promises an equivalent file, not the same bytes.
    if (!etag.isEmpty() && !etag.startsWith("W/"))
        return etag;
    return lastModified;
}

bool PartialPackage::isResumable() const
{
    const qint64 there = bytes();
    return !validator().isEmpty() && there > 0 && (size < 0 || there <= size);
}

bool PartialPackage::isKept(const QDateTime& now) const
{
    const QDateTime lastByte = QFileInfo(DataPaths::partFile(packagePath)).lastModified();
    return isResumable() && lastByte.isValid() && lastByte.addDays(KeptDays) > now;
}

int PartialPackage::percent() const
{
    return Download::percentOf(bytes(), qMax<qint64>(size, 0));
}

QMap<QString, PartialPackage> PartialPackage::under(const QString& booksPath)
{
    QMap<QString, PartialPackage> found;
    const QString suffix = DataPaths::partFile(DataPaths::packageFile(QString()));
    const QDir books(booksPath);
    for (const QString& name : books.entryList({ QLatin1Char('*') + suffix }, QDir::Files | QDir::Hidden)) {
        const QString sku = name.chopped(suffix.size());
        PartialPackage partial(DataPaths::packageFile(books.absoluteFilePath(sku)));
        if (DataPaths::isPlainName(sku) && !FileClaim::isClaimed(books.absoluteFilePath(name)) && partial.read()
            && partial.isResumable())
            found.insert(sku, partial);
    }
    return found;
}
