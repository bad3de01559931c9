#include "packages/bookinstaller.h"

#include "base/datapaths.h"

#include <QDir>
#include <QThread>

BookInstaller::BookInstaller(QObject* parent)
    : QObject(parent)
{
}

BookInstaller::~BookInstaller()
{
    if (worker) {
        worker->wait();
        delete worker;
    }
}

void BookInstaller::post(std::function<void()> report)
{
    if (QThread::currentThread() == thread())
        report();
    else
        QMetaObject::invokeMethod(this, std::move(report), Qt::QueuedConnection);
}

PackageUnpack::Reporter BookInstaller::reporter()
{
    return {
        [this](const QString& text, int timeout) { post([this, text, timeout] { emit statusMessage(text, timeout); }); },
        [this] { post([this] { emit progressShown(); }); },
        [this](int percent) { post([this, percent] { emit progressChanged(percent); }); },
        [this] { post([this] { emit progressHidden(); }); },
    };
}

bool BookInstaller::unpack(PackageUnpack& unpack)
{
    unpacking = true;
    const bool unpacked = unpack.run(reporter());
    unpacking = false;
    if (!unpacked) {
        const QString text = unpack.errorString();
        post([this, text] { emit warning(text); });
    }
    return unpacked;
}

bool BookInstaller::unpackBook(const QString& zipPath, const QString& destPath, const QString& baseDir, Contents contents)
{
    if (worker || unpacking)
        return false;
    PackageUnpack package(zipPath, destPath, baseDir, contents);
    return unpack(package);
}

bool BookInstaller::install(
    QObject* context, std::function<void()> started, std::function<void()> work, std::function<void()> finished)
{
    waiting.enqueue({ context, std::move(started), std::move(work), std::move(finished) });
    if (worker)
        return false;
    startNext();
    return worker != nullptr;
}

void BookInstaller::startNext()
{
    while (!waiting.isEmpty()) {
        current = waiting.dequeue();
        if (!current.context)
            continue;
        worker = QThread::create(current.work);
        connect(worker, &QThread::finished, this, &BookInstaller::jobEnded);
        if (current.started)
            current.started();
        worker->start();
        return;
    }
    current = Job();
}

// The worker's last reports arrived before this (they were queued first): the installation
// ends, then the next one starts. One that asks for an installation as it hears the end waits
// behind those already queued.
void BookInstaller::jobEnded()
{
    worker->wait();
    worker->deleteLater();
    const Job ended = current;
    if (ended.context && ended.finished)
        ended.finished();
    worker = nullptr;
    startNext();
}

bool BookInstaller::enterBooksFolder(QDir* books)
{
    books->setPath(DataPaths::engineDirectory());
    if (!books->exists())
        return false;
    const QString name = DataPaths::booksName();
    return books->cd(name) || (books->mkdir(name) && books->cd(name));
}
