// The whole extraction of a package into a temporary folder. Input: the package's bytes.
// The work folder holds the package, the target folder, an "outside" folder that a symbolic link
// inside the target points at (as a stale unpack folder might hold), and a sibling folder whose
// name starts with the target's.
// Invariants: nothing is written outside the target (the work folder, the outside folder and the
// sibling stay as they were); no new symbolic link appears; every file written is named by an
// entry of the archive and holds at most the size that the archive declares for that entry.
#include "fuzz/fuzzsupport.h"
#include "packages/archiveextractor.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QHash>
#include <QTextCodec>
#include <quazip/quazip.h>
#include <quazip/unzip.h>

namespace {
QString work;

// Entry names (as the extractor decodes them, cleaned) with the largest size declared for each.
QHash<QString, quint64> declaredSizes(const QString& zipPath)
{
    QHash<QString, quint64> sizes;
    QuaZip zip(zipPath);
    zip.setFileNameCodec(QTextCodec::codecForName("IBM866"));
    if (!zip.open(QuaZip::mdUnzip))
        return sizes;
    // Only the record's name and sizes are read, as the extractor does: a damaged extra field
    // or comment after them does not stop it. Names are decoded as the extractor decodes them.
    for (bool more = zip.goToFirstFile(); more; more = zip.goToNextFile()) {
        unz_file_info64 info;
        QByteArray name(65536, '\0');
        if (unzGetCurrentFileInfo64(zip.getUnzFile(), &info, name.data(), uLong(name.size() - 1), nullptr, 0, nullptr, 0)
            != UNZ_OK)
            break;
        bool clean = false;
        const QString cleaned
            = QDir::cleanPath(ArchiveExtractor::entryName(QByteArray(name.constData()), info.flag & (1u << 11), &clean));
        sizes[cleaned] = qMax(sizes.value(cleaned), quint64(info.uncompressed_size));
    }
    return sizes;
}

QStringList listing(const QString& folder)
{
    QStringList entries;
    QDirIterator it(folder, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    while (it.hasNext())
        entries << it.next();
    entries.sort();
    return entries;
}
}

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    FuzzSupport::initialize(argc, argv);
    work = FuzzSupport::scratch(QStringLiteral("extract"));
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    QDir(work).removeRecursively();
    QDir(work).mkpath(QStringLiteral("book_tmp"));
    QDir(work).mkpath(QStringLiteral("outside"));
    QDir(work).mkpath(QStringLiteral("book_tmp2"));
    const QString target = work + QStringLiteral("/book_tmp");
    QFile::link(work + QStringLiteral("/outside"), target + QStringLiteral("/stale"));
    const QString zipPath = work + QStringLiteral("/book.zip");
    QFile zipFile(zipPath);
    zipFile.open(QIODevice::WriteOnly);
    zipFile.write(reinterpret_cast<const char*>(data), qint64(size));
    zipFile.close();
    const QStringList before = listing(work);

    ArchiveExtractor extractor(zipPath, target);
    if (extractor.open())
        (void)extractor.extract([](int) {});

    FUZZ_CHECK(listing(work) == before, listing(work).join(QLatin1Char('\n')));
    FUZZ_CHECK(listing(work + QStringLiteral("/outside")).isEmpty(), QString());
    FUZZ_CHECK(listing(work + QStringLiteral("/book_tmp2")).isEmpty(), QString());
    FUZZ_CHECK(QFileInfo(zipPath).size() == qint64(size), QString());

    const QHash<QString, quint64> declared = declaredSizes(zipPath);
    QDirIterator it(target, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
        QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QFileInfo info(it.next());
        const QString relative = info.absoluteFilePath().mid(target.size() + 1);
        if (relative == QLatin1String("stale"))
            continue;
        FUZZ_CHECK(!info.isSymLink(), relative);
        if (info.isDir())
            continue;
        FUZZ_CHECK(declared.contains(relative), relative);
        FUZZ_CHECK(quint64(info.size()) <= declared.value(relative), relative);
    }
    return 0;
}
