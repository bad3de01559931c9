#include "app/datadirectory.h"

#include "app/diagnostics.h"
#include "app/mainwindow.h"
#include "app/processexit.h"
#include "web/customagentwebview.h"

#include <QFile>
#include <QFileInfo>
#include <QProgressBar>
#include <QStatusBar>
#include <QWebSettings>

namespace {
const QString dataDirName = QStringLiteral(".vocalumezenta");
const QFile::Permissions ownerOnly = QFile::ReadOwner | QFile::WriteOwner;

void renamePath(const QString& from, const QString& to)
{
    QDir().rename(from, to);
}
}

QDir homeDirectory()
{
    return QDir(QDir::homePath());
}

QDir engineDirectory()
{
    QDir dir = homeDirectory();
    dir.cd(dataDirName);
    dir.cd(QStringLiteral("engine"));
    return dir;
}

bool existingEngineDirectory(QDir& dir)
{
    dir = homeDirectory();
    return dir.cd(dataDirName) && dir.cd(QStringLiteral("engine"));
}

bool removeDirectoryTree(const QString& path)
{
    const QFileInfo top(path);
    if (top.isSymLink())
        return QFile::remove(path);
    QDir dir(path);
    if (!dir.exists())
        return true;
    const QFileInfoList entries = dir.entryInfoList(
        QDir::Files | QDir::AllDirs | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::DirsFirst);
    for (const QFileInfo& entry : entries) {
        const bool removed = entry.isDir() && !entry.isSymLink()
            ? removeDirectoryTree(entry.absoluteFilePath())
            : QFile::remove(entry.absoluteFilePath());
        if (!removed)
            return false;
    }
    return dir.rmdir(path);
}

bool copyResource(const QString& resource, const QString& target)
{
    if (!QFile::copy(resource, target))
        return false;
    return QFile::setPermissions(target, ownerOnly);
}

void deployEngine(MainWindow* mainWindow, const QDir& dataDir)
{
    const QString source = QStringLiteral(":/engine.zip");
    const QString destination = dataDir.absolutePath() + QDir::separator() + QStringLiteral("engine.zip");
    Diagnostics::output("deploying engine from: %s to %s\n", qPrintable(QFileInfo(source).symLinkTarget()),
                        qPrintable(destination));
    QFile::copy(source, destination);
    const QFileInfo copied(destination);
    if (!copied.exists() || !copied.isFile()) {
        Diagnostics::warning("copied engine.zip does not exists! %s", qPrintable(destination));
        ProcessExit::terminate(1);
        return;
    }
    Diagnostics::warning("copied engine.zip exists %s", qPrintable(destination));
    QFile::setPermissions(destination, ownerOnly);
    mainWindow->unpackBook(destination, dataDir.absolutePath() + QDir::separator() + QStringLiteral("engine"),
                           dataDir.absolutePath());
    mainWindow->statusBar()->showMessage(QString());
    mainWindow->statusBar()->removeWidget(mainWindow->progressBar);
}

void migrateDataDirectory(MainWindow* mainWindow)
{
    QDir data = homeDirectory();
    if (!data.cd(dataDirName))
        return;
    const QString root = data.absolutePath() + QLatin1Char('/');
    renamePath(root + "engine/books", root + "books");
    renamePath(root + "engine/covers", root + "covers");
    if (QFileInfo::exists(root + "engine")) {
        if (removeDirectoryTree(root + "engine"))
            Diagnostics::debug("Rimosso vecchio engine\n");
        else
            Diagnostics::debug("Errori nella rimozione vecchio engine\n");
    }
    Diagnostics::debug("Nuovo engine da deployare\n");
    deployEngine(mainWindow, data);
    removeDirectoryTree(root + "engine/books");
    removeDirectoryTree(root + "engine/covers");
    renamePath(root + "books", root + "engine/books");
    renamePath(root + "covers", root + "engine/covers");
}

void prepareDataDirectory(MainWindow* mainWindow)
{
    QDir data = homeDirectory();
    if (!data.cd(dataDirName)) {
        data.mkdir(dataDirName);
        data.cd(dataDirName);
        copyResource(QStringLiteral(":/databases/Databases.db"),
                     data.absolutePath() + QDir::separator() + QStringLiteral("Databases.db"));
        deployEngine(mainWindow, data);
    }

    const QDir engine(data.absolutePath() + QDir::separator() + QStringLiteral("engine"));
    if (engine.exists() && !engine.entryList(QDir::AllEntries | QDir::System | QDir::Hidden | QDir::NoDotAndDotDot).isEmpty()) {
        Diagnostics::debug("già deployato\n");
    } else {
        Diagnostics::debug("Deploying new engine\n");
        deployEngine(mainWindow, data);
    }

    QWebSettings::setOfflineStoragePath(data.absolutePath());

    QDir storage = data;
    if (!storage.cd(QStringLiteral("file__0"))) {
        storage.mkdir(QStringLiteral("file__0"));
        storage.cd(QStringLiteral("file__0"));
        copyResource(QStringLiteral(":/databases/bookmarks.db"),
                     storage.absolutePath() + QDir::separator() + QStringLiteral("bookmarks.db"));
    }
    mainWindow->webView->settings()->setLocalStoragePath(storage.absolutePath());
}

void enterEngineDirectory(MainWindow* mainWindow, QDir& dir)
{
    dir = homeDirectory();
    if (!dir.cd(dataDirName)) {
        dir.mkdir(dataDirName);
        dir.cd(dataDirName);
    }
    if (!dir.cd(QStringLiteral("engine"))) {
        deployEngine(mainWindow, dir);
        dir.cd(QStringLiteral("engine"));
    }
}

void enterBooksDirectory(MainWindow* mainWindow, QDir& dir)
{
    enterEngineDirectory(mainWindow, dir);
    if (!dir.cd(QStringLiteral("books"))) {
        dir.mkdir(QStringLiteral("books"));
        dir.cd(QStringLiteral("books"));
    }
}
