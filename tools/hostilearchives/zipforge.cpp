#include "zipforge.h"

#include <QtEndian>
#include <zlib.h>

namespace {
constexpr quint32 LocalSignature = 0x04034b50;
constexpr quint32 CentralSignature = 0x02014b50;
constexpr quint32 EndSignature = 0x06054b50;
constexpr quint64 Zip32Limit = 0xffffffffu;

void put16(QByteArray& out, quint16 v)
{
    char b[2];
    qToLittleEndian(v, b);
    out.append(b, 2);
}

void put32(QByteArray& out, quint32 v)
{
    char b[4];
    qToLittleEndian(v, b);
    out.append(b, 4);
}

void put64(QByteArray& out, quint64 v)
{
    char b[8];
    qToLittleEndian(v, b);
    out.append(b, 8);
}

struct Written {
    quint32 crc = 0;
    quint64 packedSize = 0;
    quint64 declaredSize = 0;
    quint32 offset = 0;
    quint16 method = 0;
    quint16 flags = 0;
    bool zip64 = false;
};

QByteArray zip64Extra(const Written& w)
{
    QByteArray extra;
    put16(extra, 0x0001);
    put16(extra, 16);
    put64(extra, w.declaredSize);
    put64(extra, w.packedSize);
    return extra;
}

// The fields a local header and its central directory record share, from "version needed" up to
// the extra field's length.
void putSharedFields(QByteArray& out, const Written& w, int nameSize, int extraSize)
{
    put16(out, w.zip64 ? 45 : 20);
    put16(out, w.flags);
    put16(out, w.method);
    put16(out, 0);
    put16(out, 0x21);
    put32(out, w.crc);
    put32(out, w.zip64 ? quint32(Zip32Limit) : quint32(w.packedSize));
    put32(out, w.zip64 ? quint32(Zip32Limit) : quint32(w.declaredSize));
    put16(out, quint16(nameSize));
    put16(out, quint16(extraSize));
}
}

QByteArray ZipForge::deflate(const QByteArray& data)
{
    z_stream stream {};
    deflateInit2(&stream, Z_BEST_COMPRESSION, Z_DEFLATED, -15, 9, Z_DEFAULT_STRATEGY);
    QByteArray out;
    out.resize(int(deflateBound(&stream, uLong(data.size()))));
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.constData()));
    stream.avail_in = uInt(data.size());
    stream.next_out = reinterpret_cast<Bytef*>(out.data());
    stream.avail_out = uInt(out.size());
    ::deflate(&stream, Z_FINISH);
    out.resize(int(stream.total_out));
    deflateEnd(&stream);
    return out;
}

QByteArray ZipForge::build() const
{
    QByteArray out;
    QList<Written> written;
    for (const Entry& e : entries) {
        if (e.sharesDataOf >= 0) {
            written << written.at(e.sharesDataOf);
            continue;
        }
        Written w;
        const QByteArray packed = e.deflate ? deflate(e.data) : e.data;
        w.crc = quint32(crc32(0, reinterpret_cast<const Bytef*>(e.data.constData()), uInt(e.data.size())));
        w.packedSize = quint64(packed.size());
        w.declaredSize = e.declaredSize >= 0 ? quint64(e.declaredSize) : quint64(e.data.size());
        w.offset = quint32(out.size());
        w.method = e.deflate ? 8 : 0;
        w.flags = e.utf8Name ? 0x0800 : 0;
        w.zip64 = w.declaredSize > Zip32Limit;
        const QByteArray extra = w.zip64 ? zip64Extra(w) : QByteArray();
        put32(out, LocalSignature);
        putSharedFields(out, w, e.name.size(), extra.size());
        out += e.name;
        out += extra;
        out += e.keepPackedBytes >= 0 ? packed.left(e.keepPackedBytes) : packed;
        written << w;
    }
    const quint32 directoryStart = quint32(out.size());
    for (int i = 0; i < entries.size(); ++i) {
        const Entry& e = entries.at(i);
        const Written& w = written.at(i);
        const QByteArray extra = w.zip64 ? zip64Extra(w) : QByteArray();
        put32(out, CentralSignature);
        put16(out, quint16((3 << 8) | (w.zip64 ? 45 : 20)));
        putSharedFields(out, w, e.name.size(), extra.size());
        put16(out, 0);
        put16(out, 0);
        put16(out, 0);
        put32(out, e.unixMode << 16);
        put32(out, w.offset);
        out += e.name;
        out += extra;
    }
    const quint32 directorySize = quint32(out.size()) - directoryStart;
    put32(out, EndSignature);
    put16(out, 0);
    put16(out, 0);
    put16(out, quint16(entries.size()));
    put16(out, quint16(entries.size()));
    put32(out, directorySize);
    put32(out, directoryStart);
    put16(out, 0);
    return out;
}
