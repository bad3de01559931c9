// Reading one member of a per-file archive held in memory. Input: the archive's bytes.
// Invariant: for every name the archive lists (and a name it may not hold), a read reported as
// successful returns exactly the size and the CRC-32 that the archive declares for that member.
// Found: a member whose bytes did not match its checksum was read as whole.
#include "fuzz/fuzzsupport.h"
#include "pages/pageloader.h"

#include <zip.h>
#include <zlib.h>

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    FuzzSupport::initialize(argc, argv);
    return 0;
}

namespace {
// The names the archive's directory lists, with their declared size and CRC, read with the same
// library through its plain directory interface.
struct Declared {
    QString name;
    zip_uint64_t size;
    zip_uint32_t crc;
};

QList<Declared> declaredMembers(const QByteArray& archive)
{
    QList<Declared> members;
    zip_error_t error;
    zip_error_init(&error);
    zip_source_t* source = zip_source_buffer_create(archive.constData(), zip_uint64_t(archive.size()), 0, &error);
    zip_t* za = source ? zip_open_from_source(source, ZIP_RDONLY, &error) : nullptr;
    zip_error_fini(&error);
    if (!za) {
        zip_source_free(source);
        return members;
    }
    const zip_int64_t count = zip_get_num_entries(za, 0);
    for (zip_int64_t i = 0; i < count && i < 8; ++i) {
        zip_stat_t stat;
        if (zip_stat_index(za, zip_uint64_t(i), 0, &stat) != 0 || !(stat.valid & ZIP_STAT_NAME))
            continue;
        // The loader finds a member by its first occurrence; later twins are not asked for.
        const QString name = QString::fromUtf8(stat.name);
        if (zip_name_locate(za, stat.name, 0) != i)
            continue;
        members.append({ name, stat.size, stat.crc });
    }
    zip_discard(za);
    return members;
}
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray archive = QByteArray::fromRawData(reinterpret_cast<const char*>(data), int(size));
    QByteArray member;
    FUZZ_CHECK(PageLoader::readZipMember(QStringLiteral("page.html"), archive, &member)
            || member.isEmpty(),
        QStringLiteral("a failed read filled the member"));
    for (const Declared& declared : declaredMembers(archive)) {
        QByteArray bytes;
        if (!PageLoader::readZipMember(declared.name, archive, &bytes))
            continue;
        FUZZ_CHECK(zip_uint64_t(bytes.size()) == declared.size, declared.name);
        const quint32 crc = quint32(crc32(crc32(0L, Z_NULL, 0), reinterpret_cast<const Bytef*>(bytes.constData()),
            uInt(bytes.size())));
        // libzip does not compare the checksum of an empty member; no bytes can be damaged there.
        FUZZ_CHECK(crc == declared.crc || bytes.isEmpty(), declared.name);
    }
    return 0;
}
