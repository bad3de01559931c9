// One installation of a package (a dictionary or the engine) in its folder: the archive is
// extracted into the unpack folder beside it (DataPaths::unpackFolder), checked, and put in the
// place of <dest>; an earlier version stays until the new one is complete. Touches only the file
// system, so it runs on whichever thread is given it; what the user is to see goes to the
// reporter's functions, called on that same thread.
#pragma once

#include <QString>
#include <functional>

class PackageUnpack
{
public:
    // What a package holds. A dictionary must answer the searches before it is installed; the
    // engine has no database.
    enum class Contents { Dictionary, Engine };

    // Told as the unpack goes: a status-bar text (timeout 0 keeps it), the progress bar shown,
    // moved and taken away. Any of them may be empty.
    struct Reporter {
        std::function<void(const QString& text, int timeout)> status;
        std::function<void()> progressShown;
        std::function<void(int percent)> progress;
        std::function<void()> progressHidden;
    };

    PackageUnpack(const QString& zipPath, const QString& destPath, const QString& baseDir,
        Contents contents = Contents::Dictionary);

    // Unpacks the package into its folder; deletes the archive whatever the outcome (a new
    // download fetches it again anyway). False leaves nothing of it behind and the earlier
    // version in place.
    [[nodiscard]] bool run(const Reporter& reporter);

    // After a failed run(): the text of the user's warning box, and the diagnostic line.
    QString errorString() const { return boxText; }
    QString diagnostic() const { return diagnosticText; }

private:
    bool unpackInto(const QString& tmp, const Reporter& reporter);
    bool moveIntoPlace(const QString& tmp);
    bool fail(const QString& diagnostic, const QString& box);

    QString zipPath;
    QString destPath;
    QString baseDir;
    Contents contents;
    QString boxText;
    QString diagnosticText;
    // False when the archive did not open at all: the progress bar was never shown.
    bool archiveOpened = true;
};
