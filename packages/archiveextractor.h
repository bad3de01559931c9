// Unpacks every entry of a zip archive into a directory, entry by entry, refusing entries that
// would land outside it (absolute names, "..", paths through a symbolic link on disk) and never
// creating symbolic links. The caller owns the user-facing messages; this class only says which
// failure happened.
#pragma once

#include <QString>
#include <functional>
#include <memory>

class ArchiveExtractor
{
public:
    enum class Failure {
        None,
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
    // Unpacks every entry; `progress(percent)` runs after each entry has been located and again
    // after its folders were made, so the caller can move its progress bar and let events run.
    [[nodiscard]] bool extract(const std::function<void(int percent)>& progress);

    Failure failure() const { return failureKind; }
    // The diagnostic line for the failure (as written to the warning output).
    QString diagnostic() const { return failureText; }
    // Text of the user's warning box for a failure.
    static QString boxText(Failure failure);

private:
    bool fail(Failure kind, const QString& text);
    bool isSafeOutputPath(const QString& entryName);

    QString zipPath;
    QString targetDir;
    Failure failureKind = Failure::None;
    QString failureText;
    struct State;
    std::shared_ptr<State> state;
};
