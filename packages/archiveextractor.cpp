#include "packages/archiveextractor.h"

#include "app/diagnostics.h"

#include <QDir>
#include <QFileInfo>
#include <QTextCodec>
#include <cstdio>
#include <quazip/quazip.h>
#include <quazip/quazipfile.h>

struct ArchiveExtractor::State {
    QuaZip zip;
    bool empty = false;
};

namespace {
// A zip archive with no entries is only its end-of-central-directory record.
bool isEmptyArchive(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || file.size() != 22)
        return false;
    const QByteArray record = file.readAll();
    return record.startsWith(QByteArray("PK\x05\x06", 4)) && record.mid(8, 4) == QByteArray(4, '\0');
}
}

ArchiveExtractor::ArchiveExtractor(const QString& zipPath, const QString& targetDir)
    : zipPath(zipPath)
    , targetDir(targetDir)
    , state(std::make_shared<State>())
{
}

bool ArchiveExtractor::fail(Failure kind, const QString& text)
{
    failureKind = kind;
    failureText = text;
    return false;
}

QString ArchiveExtractor::boxText(Failure failure)
{
    switch (failure) {
    case Failure::None:
        return QString();
    case Failure::OpenArchive:
        return QStringLiteral("Impossibile aprire il libro");
    case Failure::EntryInfo:
        return QStringLiteral("Errore nell'apertura del libro");
    case Failure::EntryOpen:
        return QStringLiteral("Errore decomprimendo il libro: apertura file fallita");
    case Failure::EntryNotAtEnd:
        return QStringLiteral("Errori decomprimendo il libro: non trovata la fine del file");
    case Failure::EntryName:
    case Failure::EntryCopy:
    case Failure::EntryClose:
    case Failure::ArchiveClose:
        break;
    }
    return QStringLiteral("Errori decomprimendo il libro");
}

bool ArchiveExtractor::open()
{
    state->zip.setZipName(zipPath);
    state->zip.setFileNameCodec(QTextCodec::codecForName("IBM866"));
    if (!state->zip.open(QuaZip::mdUnzip)) {
        // minizip refuses an archive without entries; such an archive unpacks to an empty folder.
        state->empty = isEmptyArchive(zipPath);
        if (state->empty)
            return true;
        return fail(Failure::OpenArchive, QStringLiteral("Impossibile aprire il file %1").arg(zipPath));
    }
    return true;
}

// An entry may only write below the target directory, and never through a symbolic link that
// is already on disk (for instance inside a stale unpack directory).
bool ArchiveExtractor::isSafeOutputPath(const QString& entryName) const
{
    if (entryName.isEmpty() || QDir::isAbsolutePath(entryName) || entryName.startsWith(QLatin1Char('\\')))
        return false;
    const QStringList parts = entryName.split(QRegExp(QStringLiteral("[/\\\\]")), Qt::SkipEmptyParts);
    if (parts.contains(QStringLiteral("..")))
        return false;
    const QString root = QDir::cleanPath(targetDir) + QLatin1Char('/');
    QString current = QDir::cleanPath(targetDir);
    for (const QString& part : parts) {
        current += QLatin1Char('/') + part;
        if (!QDir::cleanPath(current).startsWith(root))
            return false;
        if (QFileInfo(current).isSymLink())
            return false;
    }
    return true;
}

bool ArchiveExtractor::extract(const std::function<void(int percent)>& progress)
{
    if (state->empty)
        return true;
    QuaZip& zip = state->zip;
    if (zip.getMode() != QuaZip::mdUnzip) {
        Diagnostics::warning("wrong zip mode: %d", int(zip.getMode()));
        zip.close();
        zip.open(QuaZip::mdUnzip);
    }
    const int count = zip.getEntriesCount();
    QString previousName;
    bool more = zip.goToFirstFile();
    for (int i = 1; more && i <= count; ++i, more = zip.goToNextFile()) {
        Diagnostics::debug("Decomprimo %s", qPrintable(previousName));
        QuaZipFileInfo64 info;
        if (!zip.getCurrentFileInfo(&info))
            return fail(Failure::EntryInfo, QStringLiteral("testRead(): getCurrentFileInfo(): %1\n").arg(zip.getZipError()));
        QuaZipFile entry(&zip);
        if (!entry.open(QIODevice::ReadOnly))
            return fail(Failure::EntryOpen, QStringLiteral("testRead(): file.open(): %1").arg(entry.getZipError()));
        const QString name = entry.getActualFileName();
        previousName = name;
        if (entry.getZipError() != UNZ_OK || !isSafeOutputPath(name))
            return fail(Failure::EntryName, QStringLiteral("testRead(): file.getFileName(): %1  %2").arg(name).arg(entry.getZipError()));
        const QString outPath = targetDir + QDir::separator() + name;

        const int percent = int(float(i) / float(count) * 100.0f);
        progress(percent);

        const int slash = outPath.lastIndexOf(QLatin1Char('/'));
        if (slash >= 0) {
            QDir().mkpath(outPath.left(slash));
            progress(percent);
        }

        char buffer[4096];
        FILE* out = std::fopen(QFile::encodeName(outPath).constData(), "wb");
        for (;;) {
            const qint64 n = entry.read(buffer, sizeof buffer);
            if (n <= 0)
                break;
            if (out)
                std::fwrite(buffer, 1, size_t(n), out);
        }
        if (out)
            std::fclose(out);

        if (entry.getZipError() != UNZ_OK)
            return fail(Failure::EntryCopy, QStringLiteral("testRead(): file.getFileName(): %1").arg(entry.getZipError()));
        if (!entry.atEnd())
            return fail(Failure::EntryNotAtEnd, QStringLiteral("testRead(): read all but not EOF"));
        entry.close();
        if (entry.getZipError() != UNZ_OK)
            return fail(Failure::EntryClose, QStringLiteral("testRead(): file.close(): %1").arg(entry.getZipError()));
    }
    zip.close();
    if (zip.getZipError() != UNZ_OK)
        return fail(Failure::ArchiveClose, QStringLiteral("testRead(): zip.close(): %1").arg(zip.getZipError()));
    return true;
}
