// Installs packages (dictionaries and the engine) one at a time. An installation runs on a worker
// thread of its own, so the window keeps answering while a package is unpacked; installations
// that arrive meanwhile wait for their turn, in order. It shows nothing itself: the window turns
// its signals into the status bar, the progress bar and the warning box (they always arrive on
// the installer's own thread).
#pragma once

#include "packages/packageunpack.h"

#include <QObject>
#include <QPointer>
#include <QQueue>
#include <QString>
#include <atomic>
#include <functional>

class QDir;
class QThread;

class BookInstaller : public QObject {
    Q_OBJECT
public:
    using Contents = PackageUnpack::Contents;

    explicit BookInstaller(QObject* parent = nullptr);
    // An installation still running is waited for, so that nothing is left half-moved.
    ~BookInstaller() override;

    // Unpacks `zipPath` into `destPath` on the calling thread, events not running meanwhile (the
    // engine at start-up, a package found waiting when its book is opened). Refuses (false, no
    // message) while another installation runs or waits.
    bool unpackBook(const QString& zipPath, const QString& destPath, const QString& baseDir,
        Contents contents = Contents::Dictionary);
    // Unpacks on the calling thread as part of an installation's work (see install()),
    // reporting through this installer's signals. False: `unpack.errorString()` says why, and
    // the warning box has been told.
    bool unpack(PackageUnpack& unpack);

    // Queues an installation. `work` runs on a worker thread once the installations queued
    // before it have ended; `started` runs on this thread as it begins (at once, and then true is
    // returned, when the installer is free) and `finished` once the work is over. Neither runs
    // once `context` is gone; work not yet begun is then dropped.
    bool install(QObject* context, std::function<void()> started, std::function<void()> work,
        std::function<void()> finished);

    // Points `books` at the books folder of the engine, making the books folder (never the
    // folders above it) when it is missing. False when the engine folder is missing or the
    // books folder cannot be made.
    static bool enterBooksFolder(QDir* books);

    // True while a package is being unpacked, on whichever thread.
    bool isUnpacking() const { return unpacking; }

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
    struct Job {
        QPointer<QObject> context;
        std::function<void()> started;
        std::function<void()> work;
        std::function<void()> finished;
    };

    void startNext();
    void jobEnded();
    // Runs `report` on the installer's thread: at once when called there, else queued.
    void post(std::function<void()> report);
    PackageUnpack::Reporter reporter();

    QQueue<Job> waiting;
    Job current;
    QThread* worker = nullptr;
    std::atomic<bool> unpacking { false };
};
