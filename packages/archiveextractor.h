// Unpacks every entry of a zip archive into a directory, entry by entry, refusing entries that
// would land outside it (absolute names, "..", paths through a symbolic link on disk) and never
// creating symbolic links. Before anything is written the whole directory of the archive is
// read: a damaged one, absurd sizes or compression ratios, overlapping entries, two entries
// landing on one path and link entries refuse the archive. Every write is checked, so a full
// disk is a failure, never a short file. The caller owns the user-facing messages; this class
// only says which failure happened.
#pragma once

#include <QString>
#include <functional>
#include <memory>

class ArchiveExtractor
{
public:
    // A dictionary's largest file (its database) is some hundred megabytes; a package is never
    // near these bounds, a hostile one easily is.
    static constexpr qint64 MaxEntryBytes = qint64(2) * 1024 * 1024 * 1024;
    static constexpr qint64 MaxTotalBytes = qint64(8) * 1024 * 1024 * 1024;
    static constexpr qint64 MaxEntries = 1000000;
    // Deflate reaches about 1000:1 only on runs of one byte; real content stays far below 100:1.
    // Small entries are exempt: a page of blanks costs nothing.
    static constexpr qint64 MaxRatio = 500;
    static constexpr qint64 RatioExemptBytes = 1024 * 1024;

    enum class Failure {
        None,
        Refused,
        OutputFile,
        OpenArchive,
        EntryInfo,
        EntryOpen,
        EntryName,
        EntryCopy,
        EntryNotAtEnd,
        EntryClose,
        ArchiveClose,
    };

    ArchiveExtractor(const QString& zipPath, const QString& targetDir);

    // Opens the archive (entry names decoded as IBM866).
    [[nodiscard]] bool open();
    // Reads the archive's directory and refuses it when it is damaged or absurd (bounds above,
    // overlapping entries, entries landing on one path, link entries). Run after open() and
    // before extract().
    [[nodiscard]] bool inspect();
    // Sum of the entries' declared sizes, known after inspect().
    qint64 declaredTotal() const { return totalBytes; }
    // Unpacks every entry; `progress(percent)` runs after each entry has been located and again
    // after its folders were made, so the caller can move its progress bar.
    [[nodiscard]] bool extract(const std::function<void(int percent)>& progress);

    Failure error() const { return failureKind; }
    // The diagnostic line for the failure (as written to the warning output).
    QString diagnostic() const { return failureText; }
    // Text of the user's warning box for the failure (empty: none).
    QString errorString() const { return boxText(failureKind); }
    // An entry's name as every step reads it: UTF-8 when the entry says so (general purpose flag
    // 11), otherwise the packages' legacy code page, IBM866. `*clean` is false when a name said
    // to be UTF-8 is not: such an entry is refused.
    static QString entryName(const QByteArray& raw, bool utf8, bool* clean);
    // Whether the file ends as a whole zip archive does: its end record last, right after the
    // central directory it names. A transfer cut short fails it.
    static bool endsWhole(const QString& zipPath);

private:
    static QString boxText(Failure failure);
    bool fail(Failure kind, const QString& text);
    bool isSafeOutputPath(const QString& entryName);
    bool writeEntry(class QuaZipFile& entry, const QString& outPath, qint64 declared);
    bool claimData(qint64 start, qint64 length);

    QString zipPath;
    QString targetDir;
    Failure failureKind = Failure::None;
    QString failureText;
    qint64 totalBytes = 0;
    struct State;
    std::shared_ptr<State> state;
};
