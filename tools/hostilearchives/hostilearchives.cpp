#include "hostilearchives.h"
#include "zipforge.h"

#include "tools/packagebuilder/dictionaryschema.h"

#include <QDir>
#include <QSaveFile>
#include <QTemporaryDir>
#include <sqlite3.h>

namespace {
using Entry = ZipForge::Entry;

constexpr qint64 GiB = qint64(1024) * 1024 * 1024;
constexpr quint32 LinkMode = 0120777;

QByteArray page(int size)
{
    QByteArray text;
    for (int i = 0; text.size() < size; ++i)
        text += "<div id=\"e" + QByteArray::number(i) + "\">voce " + QByteArray::number(i * 7919 % 10007) + "</div>\n";
    return text.left(size);
}

// Bytes that do not compress.
QByteArray noise(int size)
{
    QByteArray bytes(size, Qt::Uninitialized);
    quint32 seed = 12345;
    for (int i = 0; i < size; ++i) {
        seed = seed * 1103515245u + 12345u;
        bytes[i] = char(seed >> 16);
    }
    return bytes;
}

Entry make(const QByteArray& name, const QByteArray& data = QByteArray(), bool deflate = true)
{
    Entry e;
    e.name = name;
    e.data = data;
    e.deflate = deflate;
    return e;
}

QByteArray forge(const QList<Entry>& entries)
{
    ZipForge zip;
    for (const Entry& e : entries)
        zip.add(e);
    return zip.build();
}

QByteArray good()
{
    return forge({ make("index.html", "<html><body>dizionario</body></html>"), make("dir/", QByteArray(), false),
        make("a/b/page.xhtml", page(20000)),
        make("database.db", HostileArchives::dictionaryDatabase(noise(100000)), false) });
}

// A dictionary's package whose database is `database` (none when null).
QByteArray dictionary(const QByteArray& database)
{
    QList<Entry> entries { make("index.html", "<html><body>dizionario</body></html>") };
    if (!database.isNull())
        entries << make("database.db", database);
    return forge(entries);
}

QByteArray overlapping()
{
    // One stored block of data, and a directory whose records all point at it.
    ZipForge zip;
    zip.add(make("f000", noise(64 * 1024), false));
    for (int i = 1; i < 200; ++i) {
        Entry e = make(QByteArray("f") + QByteArray::number(i).rightJustified(3, '0'));
        e.sharesDataOf = 0;
        zip.add(e);
    }
    return zip.build();
}

QByteArray absurdTotal()
{
    ZipForge zip;
    for (int i = 0; i < 6; ++i) {
        Entry e = make("part" + QByteArray::number(i), QByteArray(64, 'x'));
        e.declaredSize = GiB + GiB / 2;
        zip.add(e);
    }
    return zip.build();
}

QByteArray damagedDirectory()
{
    QByteArray bytes = good();
    const QByteArray record("PK\x01\x02", 4);
    const int second = bytes.indexOf(record, bytes.indexOf(record) + 1);
    bytes[second + 3] = '\x07';
    return bytes;
}

QByteArray withEntry(Entry entry) { return forge({ entry }); }

bool exec(sqlite3* db, const char* sql) { return sqlite3_exec(db, sql, nullptr, nullptr, nullptr) == SQLITE_OK; }
}

QByteArray HostileArchives::dictionaryDatabase(const QByteArray& filler, const char* change)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("database.db"));
    sqlite3* db = nullptr;
    sqlite3_stmt* insert = nullptr;
    bool ok
        = sqlite3_open_v2(QFile::encodeName(path).constData(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr)
            == SQLITE_OK
        && exec(db, DictionarySchema::tables()) && exec(db, "CREATE TABLE riempitivo(dati BLOB)")
        && sqlite3_prepare_v2(db, "INSERT INTO riempitivo VALUES(?1)", -1, &insert, nullptr) == SQLITE_OK
        && sqlite3_bind_blob(insert, 1, filler.constData(), filler.size(), SQLITE_TRANSIENT) == SQLITE_OK
        && sqlite3_step(insert) == SQLITE_DONE;
    sqlite3_finalize(insert);
    ok = ok && exec(db, change);
    ok = sqlite3_close(db) == SQLITE_OK && ok;
    QFile file(path);
    return ok && file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QStringList HostileArchives::write(const QString& directory)
{
    Entry huge = make(lyingMemberName().toLatin1(), page(10000));
    huge.declaredSize = 4 * GiB + 16;
    Entry understated = make(lyingMemberName().toLatin1(), page(10000));
    understated.declaredSize = 16;
    Entry link = make("link", "/etc", false);
    link.unixMode = LinkMode;
    Entry notUtf8 = make("voci\x8b\x91.xhtml", page(1000));
    notUtf8.utf8Name = true;
    Entry truncated = make("a.xhtml", noise(20000), false);
    truncated.keepPackedBytes = 19940;
    const QByteArray goodBytes = good();

    const QList<QPair<QString, QByteArray>> archives {
        { goodName(), goodBytes },
        { QStringLiteral("huge-declared-member.zip"), withEntry(huge) },
        { QStringLiteral("understated-size.zip"), withEntry(understated) },
        { QStringLiteral("parent-entry.zip"), forge({ make("ok.txt", "ok"), make("../x", "fuori") }) },
        { QStringLiteral("absolute-entry.zip"), forge({ make("/etc/x", "fuori") }) },
        { QStringLiteral("symlink-entry.zip"), forge({ link }) },
        { QStringLiteral("path-through-link.zip"), forge({ link, make("link/x", "fuori") }) },
        { QStringLiteral("file-then-folder.zip"), forge({ make("x", "file"), make("x/y.txt", "dentro un file") }) },
        { QStringLiteral("long-name.zip"), forge({ make(QByteArray(300, 'n') + ".xhtml", "lungo") }) },
        { QStringLiteral("overlapping-entries.zip"), overlapping() },
        { QStringLiteral("absurd-ratio.zip"), forge({ make("zeros.bin", QByteArray(64 * 1024 * 1024, '\0')) }) },
        { QStringLiteral("absurd-total.zip"), absurdTotal() },
        { QStringLiteral("damaged-central-directory.zip"), damagedDirectory() },
        { QStringLiteral("missing-last-10-bytes.zip"), goodBytes.left(goodBytes.size() - 10) },
        { QStringLiteral("truncated-local-entry.zip"), forge({ make("first.txt", "primo"), truncated }) },
        // The later entry would replace the earlier one: what is checked would not be installed.
        { QStringLiteral("repeated-entry.zip"),
            forge({ make("database.db", dictionaryDatabase()), make("database.db", noise(1000)) }) },
        { QStringLiteral("repeated-entry-other-spelling.zip"),
            forge({ make("a/page.xhtml", page(1000)), make("a/.//page.xhtml", "altra") }) },
        // A name said to be UTF-8 that is not: no name it could be written under is the archive's.
        { QStringLiteral("name-not-utf8.zip"), forge({ notUtf8 }) },
        // Packages that unpack, but whose dictionary cannot answer a search.
        { QStringLiteral("database-not-sqlite.zip"), dictionary(noise(20000)) },
        { QStringLiteral("database-without-column.zip"),
            dictionary(dictionaryDatabase({}, "ALTER TABLE lemma DROP COLUMN hwgram")) },
        { QStringLiteral("database-with-view.zip"),
            dictionary(dictionaryDatabase(
                {}, "ALTER TABLE file RENAME TO file_t; CREATE VIEW file AS SELECT * FROM file_t")) },
        { QStringLiteral("without-database.zip"), dictionary(QByteArray()) },
    };

    if (!QDir().mkpath(directory))
        return {};
    QStringList names;
    for (const auto& archive : archives) {
        QSaveFile file(QDir(directory).filePath(archive.first));
        if (!file.open(QIODevice::WriteOnly) || file.write(archive.second) != archive.second.size() || !file.commit())
            return {};
        names << archive.first;
    }
    return names;
}
