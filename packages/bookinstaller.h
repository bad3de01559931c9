// Installs a package (a dictionary or the engine) in its folder: the archive is extracted into
// the unpack folder beside it (DataPaths::unpackFolder), which then takes the place of <dest>;
// an earlier version stays until the new one is complete. One installation at a time; the
// installations that arrive meanwhile wait for their turn. It shows nothing itself: the window
// turns its signals into the status bar, the progress bar and the warning box.
#pragma once

#include <QObject>
#include <QPointer>
#include <QQueue>
#include <QString>
#include <functional>

class QDir;

class BookInstaller : public QObject {
    Q_OBJECT
public:
    explicit BookInstaller(QObject* parent = nullptr);

    // What a package holds. A dictionary must answer the searches before it is installed; the
    // engine has no database.
    enum class Contents { Dictionary, Engine };

    // Unpacks `zipPath` into `destPath` through its unpack folder; deletes the archive on
    // success. Refuses (false, no message) while another extraction runs.
    bool unpackBook(const QString& zipPath, const QString& destPath, const QString& baseDir,
        Contents contents = Contents::Dictionary);

    // Points `books` at the books folder of the engine, making the books folder (never the
    // folders above it) when it is missing. False when the engine folder is missing or the
    // books folder cannot be made.
    static bool enterBooksFolder(QDir* books);

    // Runs `job` once no extraction runs and the jobs queued before it have run: at once (true)
    // when the installer is free, otherwise later, in order of arrival (false). A job whose
    // `context` is gone by then is dropped.
    bool whenFree(QObject* context, std::function<void()> job);

    // True while unpackBook runs (it lets events run, so other requests can arrive meanwhile).
    bool unpacking = false;

signals:
    // A status-bar message; timeout 0 keeps it until the next one.
    void statusMessage(const QString& text, int timeout);
    // The extraction's progress bar: shown at 0 of 100, moved, taken away.
    void progressShown();
    void progressChanged(int percent);
    void progressHidden();
    // The text of the user's warning box.
    void warning(const QString& text);

private:
    void unpackFailed(const QString& diagnostic, const QString& boxText);
    void runWaiting();

    struct Waiting {
        QPointer<QObject> context;
        std::function<void()> job;
    };
    QQueue<Waiting> waiting;
    bool runningWaiting = false;
};
