#include "packages/archiveextractor.h"

#include "base/diagnostics.h"
#include "packages/blockcachedfile.h"

#include <QDir>
#include <QFileInfo>
#include <QSet>
#include <QTextCodec>
#include <cstdio>
#include <map>
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
    // Byte ranges of the archive already holding an entry's data (start -> end).
    std::map<qint64, qint64> dataRegions;
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
    case Failure::OutputFile:
        return QStringLiteral("Errore decomprimendo il libro: apertura file fallita");
    case Failure::EntryNotAtEnd:
        return QStringLiteral("Errori decomprimendo il libro: non trovata la fine del file");
    case Failure::Refused:
    case Failure::EntryName:
    case Failure::EntryCopy:
    case Failure::EntryClose:
    case Failure::ArchiveClose:
        break;
    }
    return QStringLiteral("Errori decomprimendo il libro");
}

namespace {
quint32 littleEndian(const QByteArray& bytes, int at, int size)
{
    quint32 value = 0;
    for (int i = size - 1; i >= 0; --i)
        value = (value << 8) | quint8(bytes.at(at + i));
    return value;
}
}

bool ArchiveExtractor::endsWhole(const QString& zipPath)
{
    constexpr int record = 22;
    QFile file(zipPath);
    if (!file.open(QIODevice::ReadOnly) || file.size() < record)
        return false;
    // The end record is the last 22 bytes, or sits before a comment of at most 65535.
    const qint64 tail = qMin<qint64>(file.size(), record + 65535);
    if (!file.seek(file.size() - tail))
        return false;
    const QByteArray bytes = file.read(tail);
    for (int at = bytes.size() - record; at >= 0; --at) {
        if (bytes.mid(at, 4) != QByteArray("PK\x05\x06", 4))
            continue;
        if (at + record + int(littleEndian(bytes, at + 20, 2)) != bytes.size())
            continue;
        const quint32 size = littleEndian(bytes, at + 12, 4);
        const quint32 offset = littleEndian(bytes, at + 16, 4);
        // A large archive names its directory in a record of its own, just before.
        if (size == 0xFFFFFFFFu || offset == 0xFFFFFFFFu)
            return at >= 20 && bytes.mid(at - 20, 4) == QByteArray("PK\x06\x07", 4);
        return qint64(offset) + size == file.size() - tail + at;
    }
    return false;
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

namespace {
bool isLinkEntry(const unz_file_info64& info)
{
    // Unix file type in the high half of the external attributes.
    return ((info.external_fa >> 16) & 0170000) == 0120000;
}

bool hasUtf8Name(const unz_file_info64& info) { return info.flag & (1u << 11); }
}

QString ArchiveExtractor::entryName(const QByteArray& raw, bool utf8, bool* clean)
{
    QTextCodec::ConverterState state;
    QTextCodec* codec = QTextCodec::codecForName(utf8 ? "UTF-8" : "IBM866");
    const QString name = codec->toUnicode(raw.constData(), raw.size(), &state);
    *clean = state.invalidChars == 0 && state.remainingChars == 0;
    return name;
}

bool ArchiveExtractor::inspect()
{
    totalBytes = 0;
    if (state->empty)
        return true;
    unzFile zip = state->zip.getUnzFile();
    const qint64 count = state->zip.getEntriesCount();
    if (count < 0 || count > MaxEntries)
        return fail(Failure::Refused, QStringLiteral("Archivio rifiutato: %1 voci").arg(count));
    qint64 compressedTotal = 0;
    qint64 seen = 0;
    qint64 worstSize = 0;
    qint64 worstPacked = 1;
    // Entry names are at most 65535 bytes long.
    QByteArray name(65536, '\0');
    QSet<QString> paths;
    for (int status = unzGoToFirstFile(zip); status == UNZ_OK; status = unzGoToNextFile(zip)) {
        unz_file_info64 info;
        const int infoError
            = unzGetCurrentFileInfo64(zip, &info, name.data(), uLong(name.size()), nullptr, 0, nullptr, 0);
        if (infoError != UNZ_OK)
            return fail(Failure::EntryInfo, QStringLiteral("testRead(): getCurrentFileInfo(): %1\n").arg(infoError));
        ++seen;
        // Reduced to the path it lands on: "./a", "a//b" and "d/" name the same files as "a",
        // "a/b" and "d" (case and backslashes are kept, as extraction keeps them).
        bool clean = false;
        const QString path = QDir::cleanPath(entryName(QByteArray(name.constData()), hasUtf8Name(info), &clean));
        if (!clean)
            return fail(Failure::Refused, QStringLiteral("Archivio rifiutato: nome non leggibile %1").arg(path));
        // Two entries written to one path: the later one would replace the earlier one on disk,
        // so what was inspected would not be what gets installed.
        if (paths.contains(path))
            return fail(Failure::Refused, QStringLiteral("Archivio rifiutato: voce ripetuta %1").arg(path));
        paths.insert(path);
        const qint64 size = qint64(qMin<quint64>(info.uncompressed_size, quint64(MaxTotalBytes) + 1));
        const qint64 packed = qint64(qMin<quint64>(info.compressed_size, quint64(MaxTotalBytes) + 1));
        if (isLinkEntry(info))
            return fail(Failure::Refused, QStringLiteral("Archivio rifiutato: collegamento simbolico %1").arg(path));
        if (size > MaxEntryBytes)
            return fail(Failure::Refused, QStringLiteral("Archivio rifiutato: dimensione dichiarata eccessiva (%1 byte)").arg(size));
        if (size > RatioExemptBytes && size / qMax<qint64>(packed, 1) > worstSize / worstPacked) {
            worstSize = size;
            worstPacked = qMax<qint64>(packed, 1);
        }
        totalBytes += size;
        compressedTotal += packed;
    }
    // Fewer records than the end record announces: the directory is damaged or cut short.
    if (seen != count)
        return fail(Failure::EntryInfo, QStringLiteral("testRead(): getCurrentFileInfo(): %1 voci su %2\n").arg(seen).arg(count));
    if (totalBytes > MaxTotalBytes)
        return fail(Failure::Refused, QStringLiteral("Archivio rifiutato: totale dichiarato eccessivo (%1 byte)").arg(totalBytes));
    if (worstSize / worstPacked > MaxRatio)
        return fail(Failure::Refused, QStringLiteral("Archivio rifiutato: rapporto di compressione eccessivo (%1 su %2 byte)")
                                          .arg(worstSize).arg(worstPacked));
    // Entries sharing their data (a bomb by overlap), or cut short, claim more bytes than the
    // archive has.
    if (compressedTotal > state->device.size())
        return fail(Failure::Refused, QStringLiteral("Archivio rifiutato: voci sovrapposte o troncate"));
    return true;
}

bool ArchiveExtractor::claimData(qint64 start, qint64 length)
{
    const qint64 end = start + length;
    auto next = state->dataRegions.lower_bound(start);
    if (next != state->dataRegions.end() && next->first < end)
        return false;
    if (next != state->dataRegions.begin() && std::prev(next)->second > start)
        return false;
    state->dataRegions.emplace(start, end);
    return true;
}

// Copies the entry into `outPath`, checking every write: a full disk or a file-size limit must
// never leave a short file behind a successful extraction.
bool ArchiveExtractor::writeEntry(QuaZipFile& entry, const QString& outPath, qint64 declared)
{
    FILE* out = std::fopen(QFile::encodeName(outPath).constData(), "wb");
    if (!out)
        return fail(Failure::OutputFile, QStringLiteral("testRead(): impossibile creare %1").arg(outPath));
    char buffer[4096];
    qint64 written = 0;
    bool ok = true;
    for (;;) {
        const qint64 n = entry.read(buffer, sizeof buffer);
        if (n <= 0)
            break;
        written += n;
        if (written > declared || std::fwrite(buffer, 1, size_t(n), out) != size_t(n)) {
            ok = false;
            break;
        }
    }
    ok = std::fclose(out) == 0 && ok;
    if (!ok)
        return fail(Failure::EntryCopy, QStringLiteral("testRead(): scrittura di %1 fallita").arg(outPath));
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
    QByteArray rawName(65536, '\0');
    int done = 0;
    bool more = zip.goToFirstFile();
    for (int i = 1; more && i <= count; ++i, more = zip.goToNextFile()) {
        Diagnostics::debug("Decomprimo %s", qPrintable(previousName));
        // The raw record: QuaZip's own would also convert the entry's time, a time-zone look-up
        // per entry that nothing here uses.
        unz_file_info64 info;
        const int infoError = unzGetCurrentFileInfo64(
            zip.getUnzFile(), &info, rawName.data(), uLong(rawName.size()), nullptr, 0, nullptr, 0);
        if (infoError != UNZ_OK)
            return fail(Failure::EntryInfo, QStringLiteral("testRead(): getCurrentFileInfo(): %1\n").arg(infoError));
        QuaZipFile entry(&zip);
        if (!entry.open(QIODevice::ReadOnly))
            return fail(Failure::EntryOpen, QStringLiteral("testRead(): file.open(): %1").arg(entry.getZipError()));
        // Read as the inspection read it.
        bool clean = false;
        const QString name = entryName(QByteArray(rawName.constData()), hasUtf8Name(info), &clean);
        previousName = name;
        if (!clean || entry.getZipError() != UNZ_OK || !isSafeOutputPath(name) || isLinkEntry(info))
            return fail(Failure::EntryName, QStringLiteral("testRead(): file.getFileName(): %1  %2").arg(name).arg(entry.getZipError()));
        if (!claimData(unzGetCurrentFileZStreamPos64(zip.getUnzFile()), qint64(info.compressed_size)))
            return fail(Failure::Refused, QStringLiteral("Archivio rifiutato: voci sovrapposte (%1)").arg(name));
        const QString outPath = QDir::cleanPath(targetDir) + QDir::separator() + name;

        const int percent = int(float(i) / float(count) * 100.0f);
        progress(percent);

        const bool folderEntry = name.endsWith(QLatin1Char('/'));
        const QString folder = folderEntry ? QDir::cleanPath(outPath) : outPath.left(outPath.lastIndexOf(QLatin1Char('/')));
        if (!state->knownFolders.contains(folder)) {
            if (!QDir().mkpath(folder) || !QFileInfo(folder).isDir())
                return fail(Failure::OutputFile, QStringLiteral("testRead(): impossibile creare la cartella %1").arg(folder));
            state->knownFolders.insert(folder);
        }
        progress(percent);

        if (!folderEntry && !writeEntry(entry, outPath, qint64(info.uncompressed_size)))
            return false;

        if (entry.getZipError() != UNZ_OK)
            return fail(Failure::EntryCopy, QStringLiteral("testRead(): file.getFileName(): %1").arg(entry.getZipError()));
        if (!folderEntry && !entry.atEnd())
            return fail(Failure::EntryNotAtEnd, QStringLiteral("testRead(): read all but not EOF"));
        entry.close();
        if (entry.getZipError() != UNZ_OK)
            return fail(Failure::EntryClose, QStringLiteral("testRead(): file.close(): %1").arg(entry.getZipError()));
        ++done;
    }
    // The walk must have reached every entry the archive announces; stopping early is damage.
    if (done != count)
        return fail(Failure::EntryInfo, QStringLiteral("testRead(): getCurrentFileInfo(): %1 voci su %2\n").arg(done).arg(count));
    zip.close();
    if (zip.getZipError() != UNZ_OK)
        return fail(Failure::ArchiveClose, QStringLiteral("testRead(): zip.close(): %1").arg(zip.getZipError()));
    return true;
}
