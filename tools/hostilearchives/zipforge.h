// Writes zip archives byte by byte, including ones no honest tool would write: sizes that lie,
// entries that share their data, link entries. Used to build hostile and damaged packages for
// tests and fuzzing seeds.
#pragma once

#include <QByteArray>
#include <QList>

class ZipForge {
public:
    struct Entry {
        QByteArray name;
        QByteArray data;
        bool deflate = true;
        // Uncompressed size written into the headers; -1 for the true one.
        qint64 declaredSize = -1;
        // Unix mode stored in the high half of the external attributes (0: none).
        quint32 unixMode = 0;
        // Index of an earlier entry whose local header and data this entry's directory record
        // points at (-1: its own).
        int sharesDataOf = -1;
        // How many of the compressed bytes are really written (-1: all); the headers still
        // announce them all.
        int keepPackedBytes = -1;
        // The entry says its name is UTF-8 (general purpose flag 11), whatever its bytes are.
        bool utf8Name = false;
    };

    void add(const Entry& entry) { entries << entry; }
    // The whole archive.
    QByteArray build() const;

    // Raw deflate of `data` (no zlib header), as zip entries store it.
    static QByteArray deflate(const QByteArray& data);

private:
    QList<Entry> entries;
};
