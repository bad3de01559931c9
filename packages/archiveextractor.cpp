#include "packages/archiveextractor.h"

#include "app/diagnostics.h"
#include "packages/blockcachedfile.h"

#include <QDir>
#include <QFileInfo>
#include <QSet>
#include <QTextCodec>
#include <cstdio>
#include <quazip/quazip.h>
#include <quazip/quazipfile.h>
#include <quazip/unzip.h>

struct ArchiveExtractor::State {
    explicit State(const QString& zipPath)
        : device(zipPath)
        , zip(&device)
    {
    }
    BlockCachedFile device;
    QuaZip zip;
    bool empty = false;
    // Folders below the target already seen to be real folders (not links) in this extraction:
    // only this extraction writes there, so they need no second look and no second mkpath.
    QSet<QString> knownFolders;
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
    , state(std::make_shared<State>(zipPath))
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
bool ArchiveExtractor::isSafeOutputPath(const QString& entryName)
{
    if (entryName.isEmpty() || QDir::isAbsolutePath(entryName) || entryName.startsWith(QLatin1Char('\\')))
        return false;
    const QStringList parts = entryName.split(QRegExp(QStringLiteral("[/\\\\]")), Qt::SkipEmptyParts);
    if (parts.contains(QStringLiteral("..")))
        return false;
    const QString root = QDir::cleanPath(targetDir) + QLatin1Char('/');
    QString current = QDir::cleanPath(targetDir);
    for (int i = 0; i < parts.size(); ++i) {
        current += QLatin1Char('/') + parts.at(i);
        const bool leaf = i == parts.size() - 1;
        if (!leaf && state->knownFolders.contains(current))
            continue;
        if (!QDir::cleanPath(current).startsWith(root))
            return false;
        const QFileInfo info(current);
        if (info.isSymLink())
            return false;
        if (!leaf && info.isDir())
            state->knownFolders.insert(current);
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
        // The raw record: QuaZip's own would also convert the entry's time, a time-zone look-up
        // per entry that nothing here uses.
        unz_file_info64 info;
        const int infoError = unzGetCurrentFileInfo64(zip.getUnzFile(), &info, nullptr, 0, nullptr, 0, nullptr, 0);
        if (infoError != UNZ_OK)
            return fail(Failure::EntryInfo, QStringLiteral("testRead(): getCurrentFileInfo(): %1\n").arg(infoError));
        QuaZipFile entry(&zip);
        if (!entry.open(QIODevice::ReadOnly))
            return fail(Failure::EntryOpen, QStringLiteral("testRead(): file.open(): %1").arg(entry.getZipError()));
        const QString name = entry.getActualFileName();
        previousName = name;
        if (entry.getZipError() != UNZ_OK || !isSafeOutputPath(name))
            return fail(Failure::EntryName, QStringLiteral("testRead(): file.getFileName(): %1  %2").arg(name).arg(entry.getZipError()));
        const QString outPath = QDir::cleanPath(targetDir) + QDir::separator() + name;

        const int percent = int(float(i) / float(count) * 100.0f);
        progress(percent);

        const int slash = outPath.lastIndexOf(QLatin1Char('/'));
        if (slash >= 0) {
            const QString folder = outPath.left(slash);
            if (!state->knownFolders.contains(folder) && QDir().mkpath(folder))
                state->knownFolders.insert(folder);
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
