// A package transfer that stopped before its end, kept so that the next one continues it: the
// part file and, beside it, a record of what the server said of the whole package (its size and
// validator, which a resumed request names so that a changed file is sent whole) and of the
// digest the library announced. The record is written before any byte of a reply lands in the
// part file, so a part file without one was never worth continuing.
#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QMap>
#include <QString>

class PartialPackage
{
public:
    // Running: a transfer under way, or cut by the end of the process (continued at the next
    // start); Paused: stopped by the user; Stopped: given up after a failure.
    enum class State { Running, Paused, Stopped };
    // How long the start-up keeps a part file after its last byte arrived.
    static constexpr int KeptDays = 14;

    explicit PartialPackage(const QString& packagePath = QString());

    // Reads the record beside the part file; false when there is none or it cannot be read.
    bool read();
    // Writes the record whole or not at all.
    bool write() const;
    // Removes the part file and its record.
    void remove() const;

    // Bytes in the part file (0 when there is none).
    qint64 bytes() const;
    // What an If-Range names: a strong entity tag, or else the modification date; empty when
    // the server gave neither and a resumed transfer could not tell a changed file.
    QByteArray validator() const;
    // Bytes to continue from: a record with a validator, no more bytes than the whole package.
    bool isResumable() const;
    // Resumable, and its last byte arrived less than KeptDays before `now`.
    bool isKept(const QDateTime& now) const;
    // The whole percent of the package already there (0 while its size is unknown).
    int percent() const;

    // The parts in `booksPath` that can be continued, by sku; a part a running transfer (of
    // this process or another) holds is left out.
    static QMap<QString, PartialPackage> under(const QString& booksPath);

    QString packagePath;
    qint64 size = -1; // of the whole package; -1: unknown
    QByteArray etag;
    QByteArray lastModified;
    QString sha256; // announced by the library when the transfer began; empty: none
    State state = State::Running;
};
