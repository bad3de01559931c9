#include "packages/bookinstaller.h"

#include "base/datapaths.h"
#include "base/diagnostics.h"
#include "base/directorytree.h"
#include "packages/archiveextractor.h"
#include "packages/diskspace.h"
#include "search/dictionarycheck.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QScopeGuard>
#include <QThread>
#include <QTimer>
#include <cstdio>

namespace {
// Longest stretch of an extraction without letting pending events run, in milliseconds.
constexpr qint64 unpackEventInterval = 10;
}

BookInstaller::BookInstaller(QObject* parent)
    : QObject(parent)
{
}

bool BookInstaller::unpackBook(
    const QString& zipPath, const QString& destPath, const QString& baseDir, Contents contents)
{
    if (unpacking)
        return false;
    unpacking = true;
    // Whatever way the extraction ends, the installations that waited for it go on after it.
    const auto next = qScopeGuard([this] {
        if (!waiting.isEmpty())
            QTimer::singleShot(0, this, &BookInstaller::runWaiting);
    });

    const QString tmp = DataPaths::unpackFolder(destPath);
    Diagnostics::debug("Path destinazione: %s", qPrintable(tmp));
    // A package that is not installed leaves nothing behind: neither what was unpacked of it nor
    // the package itself, which a new download fetches again anyway.
    bool done = false;
    const auto leaveNothing = qScopeGuard([&] {
        if (done)
            return;
        removeDirectoryTree(tmp);
        QFile::remove(zipPath);
    });
    // What a killed or failed attempt left there must never end up in the installed book.
    if (!removeDirectoryTree(tmp) || !QDir(baseDir).mkpath(tmp)) {
        unpackFailed(
            QStringLiteral("Impossibile svuotare %1").arg(tmp), QStringLiteral("Errori decomprimendo il libro"));
        return false;
    }

    ArchiveExtractor extractor(zipPath, tmp);
    if (!extractor.open()) {
        unpacking = false;
        Diagnostics::warning("%s", qPrintable(extractor.diagnostic()));
        emit statusMessage(QStringLiteral("Errore nell'apertura del file zippato ") + zipPath, 2000);
        emit warning(ArchiveExtractor::boxText(extractor.failure()));
        return false;
    }
    if (!extractor.inspect()) {
        unpackFailed(extractor.diagnostic(), ArchiveExtractor::boxText(extractor.failure()));
        return false;
    }
    QString shortage;
    if (!DiskSpace::fits(extractor.declaredTotal(), baseDir, &shortage)) {
        unpackFailed(QStringLiteral("Spazio insufficiente per %1: %2").arg(zipPath, shortage),
            QStringLiteral("Spazio su disco insufficiente per installare il libro: ") + shortage);
        return false;
    }

    emit progressShown();
    emit statusMessage(QStringLiteral("Apertura file zippato %1 in corso...").arg(zipPath), 0);

    // Events run whenever the bar moves and at least every few milliseconds in between: often
    // enough for the page to stay responsive, rarely enough not to cost more than the entries.
    QElapsedTimer sinceEvents;
    sinceEvents.start();
    int shown = -1;
    const bool extracted = extractor.extract([&](int percent) {
        if (percent != shown) {
            emit progressChanged(percent);
            shown = percent;
        } else if (sinceEvents.elapsed() < unpackEventInterval) {
            return;
        }
        QCoreApplication::processEvents();
        sinceEvents.restart();
    });
    if (!extracted) {
        unpackFailed(extractor.diagnostic(), ArchiveExtractor::boxText(extractor.failure()));
        return false;
    }
    // Checked where it was unpacked, before it replaces anything: a damaged dictionary is never
    // reported installed, and the previous version stays.
    const QString database = tmp + QLatin1Char('/') + DataPaths::bookDatabaseName();
    QString problem;
    if (contents == Contents::Dictionary && !DictionaryCheck::isSearchable(database, &problem)) {
        unpackFailed(QStringLiteral("Dizionario danneggiato in %1: %2").arg(zipPath, problem),
            QStringLiteral("Il dizionario scaricato è danneggiato e non è stato installato. Riprovare a scaricarlo."));
        return false;
    }

    // An earlier version of the book stays in place until the new one is complete, then makes
    // way for it; should the new one not move in, the old one goes back.
    const QString old = DataPaths::previousFolder(destPath);
    const QFileInfo installed(destPath);
    const bool replacing = installed.isDir() && !installed.isSymLink();
    if (replacing && !(removeDirectoryTree(old) && QDir().rename(destPath, old))) {
        unpackFailed(
            QStringLiteral("Si è verificato un errore nel rinominare la directory del libro decompresso: da %1 a %2")
                .arg(destPath, old),
            QStringLiteral("Si è verificato un errore nel rinominare la directory del libro"));
        return false;
    }
    bool renamed = false;
    for (int attempt = 0; attempt < 50 && !renamed; ++attempt) {
        renamed = std::rename(QFile::encodeName(tmp).constData(), QFile::encodeName(destPath).constData()) == 0;
        if (!renamed && attempt < 49)
            QThread::msleep(100);
    }
    if (!renamed) {
        if (replacing)
            QDir().rename(old, destPath);
        unpackFailed(
            QStringLiteral("Si è verificato un errore nel rinominare la directory del libro decompresso: da %1 a %2")
                .arg(tmp, destPath),
            QStringLiteral("Si è verificato un errore nel rinominare la directory del libro"));
        return false;
    }
    if (replacing && !removeDirectoryTree(old))
        Diagnostics::warning("Errori nella rimozione di %s", qPrintable(old));
    done = true;
    QFile::remove(zipPath);

    emit progressHidden();
    emit statusMessage(QString(), 0);
    unpacking = false;
    return true;
}

void BookInstaller::unpackFailed(const QString& diagnostic, const QString& boxText)
{
    unpacking = false;
    emit progressHidden();
    emit statusMessage(QString(), 0);
    Diagnostics::warning("%s", qPrintable(diagnostic));
    emit statusMessage(QStringLiteral("Errore nell'apertura del libro"), 2000);
    emit warning(boxText);
}

bool BookInstaller::enterBooksFolder(QDir* books)
{
    books->setPath(DataPaths::engineDirectory());
    if (!books->exists())
        return false;
    const QString name = DataPaths::booksName();
    return books->cd(name) || (books->mkdir(name) && books->cd(name));
}

bool BookInstaller::whenFree(QObject* context, std::function<void()> job)
{
    if (unpacking || runningWaiting || !waiting.isEmpty()) {
        waiting.enqueue({ context, std::move(job) });
        return false;
    }
    job();
    return true;
}

// One job after the other; a job lets events run, and whatever arrives meanwhile joins the queue
// rather than starting inside the job before it.
void BookInstaller::runWaiting()
{
    if (runningWaiting)
        return;
    runningWaiting = true;
    while (!unpacking && !waiting.isEmpty()) {
        const Waiting next = waiting.dequeue();
        if (next.context)
            next.job();
    }
    runningWaiting = false;
}
