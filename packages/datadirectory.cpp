#include "packages/datadirectory.h"

#include "base/datapaths.h"
#include "base/diagnostics.h"
#include "base/directorytree.h"
#include "base/privatefile.h"
#include "base/wholefile.h"
#include "base/fileclaim.h"
#include "base/processexit.h"
#include "packages/bookinstaller.h"
#include "packages/partialpackage.h"
#include "store/webstore.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <QSqlQuery>
#include <QVariant>
#include <QTimer>

namespace {
const QString dataDirName = DataPaths::dataDirectoryName();
const QFile::Permissions ownerOnly = QFile::ReadOwner | QFile::WriteOwner;

// Moves `from` to `to`; a missing `from` has nothing to move and counts as done, and so does
// an empty `from` folder when `to` is already there (it is simply removed).
bool movePath(const QString& from, const QString& to)
{
    const QFileInfo source(from);
    if (!source.exists() && !source.isSymLink())
        return true;
    if (source.isDir() && !source.isSymLink() && QFileInfo::exists(to) && QDir(from).isEmpty())
        return QDir().rmdir(from);
    return QDir().rename(from, to);
}

// Where the books and covers wait, in the data folder, while the engine is replaced.
QString waitingBooks() { return QDir(DataPaths::dataDirectory()).filePath(DataPaths::booksName()); }
QString waitingCovers() { return QDir(DataPaths::dataDirectory()).filePath(DataPaths::coversName()); }

// Enters the data directory from the home directory, creating it when missing. False (and
// `dir` left on the home directory) when it cannot be made, for instance because a file
// holds its name: nothing may then be written into the home directory itself.
bool enterDataDirectory(QDir& dir)
{
    dir = DataDirectory::homeDirectory();
    if (dir.cd(dataDirName))
        return true;
    dir.mkdir(dataDirName);
    return dir.cd(dataDirName);
}

// Puts the version a replacement had moved aside back in its place when the new one never
// moved in; otherwise it is no longer needed.
void restoreOrRemove(const QString& previous, const QString& book)
{
    if (!QFileInfo::exists(book))
        QDir().rename(previous, book);
    else
        removeDirectoryTree(previous);
}

// The identifiers of the books the web store knows; false when it cannot be read.
bool knownBooks(QSet<QString>* ids)
{
    WebStore store;
    if (!store.open())
        return false;
    QSqlQuery query(store.database());
    const bool read = query.exec(QStringLiteral("SELECT DISTINCT REFBOOK FROM SYSTEM"));
    while (read && query.next())
        ids->insert(query.value(0).toString());
    return read;
}

// A working folder of the books folder: whose book it is and what it was for.
struct WorkingFolder {
    QString book;
    bool unpack = false; // a package unpacked into it; otherwise a version moved aside
    bool earlier = false; // named as earlier releases did, a name identifiers can take too
};

bool isWorkingFolder(const QFileInfo& folder, WorkingFolder* found)
{
    struct Kind {
        QString suffix;
        bool unpack;
        bool earlier;
    };
    const Kind kinds[] = {
        { DataPaths::unpackFolder(QString()), true, false },
        { DataPaths::previousFolder(QString()), false, false },
        { DataPaths::earlierUnpackFolder(QString()), true, true },
        { DataPaths::earlierPreviousFolder(QString()), false, true },
    };
    for (const auto& kind : kinds) {
        if (folder.fileName().endsWith(kind.suffix)) {
            *found = { folder.absoluteFilePath().chopped(kind.suffix.size()), kind.unpack, kind.earlier };
            return true;
        }
    }
    return false;
}

// Whether the books folder's file `file` is a package transfer's to keep: its part file or the
// record beside it, where the part can be continued and its last byte is recent.
bool isKeptTransfer(const QFileInfo& file)
{
    const QString package = DataPaths::packageFile(QString());
    const QString part = DataPaths::partFile(package);
    const QString record = DataPaths::resumeFile(package);
    const QString name = file.fileName();
    if (!name.endsWith(part) && !name.endsWith(record))
        return false;
    PartialPackage partial(file.absolutePath() + QLatin1Char('/')
                           + name.chopped(name.endsWith(part) ? part.size() : record.size()) + package);
    return partial.read() && partial.isKept(QDateTime::currentDateTime());
}

// Finishes what downloads and installations were doing when the process ended under them: a
// package downloaded but never installed goes, and so does a half-unpacked folder, so the book
// stays as it was (not downloaded, or its previous version); a book whose replacement stopped
// between its two renames gets its previous version back. A transfer that stopped keeps what
// arrived for the next one to continue, for PartialPackage::KeptDays after its last byte; one
// that cannot be continued goes. What another process still claims stays. The names earlier
// releases used are cleaned the same way, except where they are a book's own identifier (or
// the store that tells cannot be read).
void removeInterruptedInstallations()
{
    const QDir books(DataPaths::booksDirectory());
    const QString package = DataPaths::earlierPackageFile(QString()); // ends both namings
    for (const QFileInfo& file : books.entryInfoList(QDir::Files | QDir::Hidden | QDir::System)) {
        const QString name = file.fileName();
        if ((name.endsWith(package) || name.endsWith(DataPaths::partFile(package))
             || name.endsWith(DataPaths::resumeFile(package)))
            && !FileClaim::isClaimed(file.absoluteFilePath()) && !isKeptTransfer(file))
            QFile::remove(file.absoluteFilePath());
    }
    QSet<QString> ids;
    int idsKnown = -1; // read when first needed
    for (const QFileInfo& folder :
        books.entryInfoList(QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden | QDir::NoSymLinks)) {
        WorkingFolder working;
        if (!isWorkingFolder(folder, &working))
            continue;
        if (working.earlier && idsKnown < 0)
            idsKnown = knownBooks(&ids) ? 1 : 0;
        const bool inUse = working.earlier ? (idsKnown == 0 || ids.contains(folder.fileName()))
                                           : FileClaim::isClaimed(DataPaths::packageFile(working.book));
        if (inUse)
            continue;
        if (working.unpack)
            removeDirectoryTree(folder.absoluteFilePath());
        else
            restoreOrRemove(folder.absoluteFilePath(), working.book);
    }
}

// Moves `file` aside, beside itself, under a name no other file has; false when it cannot.
bool setFileAside(const QString& file, QString& aside)
{
    const QString stem = file + QStringLiteral(".danneggiato-")
        + QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"));
    aside = stem;
    for (int n = 2; QFileInfo::exists(aside) || QFileInfo(aside).isSymLink(); ++n)
        aside = stem + QLatin1Char('-') + QString::number(n);
    return QFile::rename(file, aside);
}

// The web database the page shares: made from its template when missing. A damaged one is set
// aside, never deleted (the page's bookmarks and notes live in it), and made again; a healthy
// one is never touched. Returns the path of the file set aside, empty when none.
QString prepareWebStore(const QString& file)
{
    const QString bookmarksTemplate = QStringLiteral(":/databases/bookmarks.db");
    QString aside;
    if (!QFileInfo::exists(file)) {
        DataDirectory::copyResource(bookmarksTemplate, file);
    } else if (WebStore::isDamaged(file)) {
        if (!setFileAside(file, aside))
            return QString();
        // Set aside, it still holds the session: the owner's alone, as the live file is.
        const QFile::Permissions ownerOnly = QFile::ReadOwner | QFile::WriteOwner;
        QFile::setPermissions(aside, ownerOnly);
        // A journal left with it belongs to the old file: rolled into the new one, it would spoil it.
        for (const char* companion : { "-journal", "-wal", "-shm" })
            if (QFileInfo::exists(file + QLatin1String(companion))
                && QFile::rename(file + QLatin1String(companion), aside + QLatin1String(companion)))
                QFile::setPermissions(aside + QLatin1String(companion), ownerOnly);
        Diagnostics::warning("Database danneggiato messo da parte: %s", qPrintable(aside));
        DataDirectory::copyResource(bookmarksTemplate, file);
    }
    return aside;
}
}

DataDirectory::DataDirectory(BookInstaller* installer, QObject* parent)
    : QObject(parent)
    , installer(installer)
{
}

QDir DataDirectory::homeDirectory()
{
    return QDir(QDir::homePath());
}

bool DataDirectory::copyResource(const QString& resource, const QString& target)
{
    if (!QFile::copy(resource, target))
        return false;
    return QFile::setPermissions(target, ownerOnly);
}

namespace {
// The digest of the engine archive this program carries, as recorded beside a deployment.
QByteArray carriedEngineDigest()
{
    QFile archive(QStringLiteral(":/engine.zip"));
    QCryptographicHash digest(QCryptographicHash::Sha256);
    if (!archive.open(QIODevice::ReadOnly) || !digest.addData(&archive))
        return QByteArray();
    return digest.result().toHex();
}
}

bool DataDirectory::engineIsCurrent()
{
    // Dictionaries or covers waiting in the data folder: a replacement of the engine stopped
    // before they went back in, and the next one brings them.
    if (QFileInfo::exists(waitingBooks()) || QFileInfo::exists(waitingCovers()))
        return false;
    if (!QFileInfo::exists(DataPaths::engineDirectory()))
        return true;
    QFile stamp(DataPaths::engineStamp());
    return stamp.open(QIODevice::ReadOnly) && stamp.readAll().trimmed() == carriedEngineDigest();
}

bool DataDirectory::deployEngine(const QDir& dataDir)
{
    const QString source = QStringLiteral(":/engine.zip");
    const QString destination = dataDir.absolutePath() + QDir::separator() + QStringLiteral("engine.zip");
    Diagnostics::output("deploying engine from: %s to %s\n", qPrintable(QFileInfo(source).symLinkTarget()),
                        qPrintable(destination));
    // Always this program's own archive: a leftover copy may be damaged or from another release.
    QFile::remove(destination);
    QFile::copy(source, destination);
    const QFileInfo copied(destination);
    if (!copied.exists() || !copied.isFile()) {
        Diagnostics::warning("copied engine.zip does not exists! %s", qPrintable(destination));
        ProcessExit::terminate(1);
        return false;
    }
    Diagnostics::warning("copied engine.zip exists %s", qPrintable(destination));
    QFile::setPermissions(destination, ownerOnly);
    const bool unpacked
        = installer->unpackBook(destination, dataDir.absolutePath() + QDir::separator() + DataPaths::engineName(),
            dataDir.absolutePath(), BookInstaller::Contents::Engine);
    // Which engine is there now; without the record the next start deploys it again.
    WholeFile stamp(dataDir.absoluteFilePath(DataPaths::engineStampName()));
    if (unpacked && !stamp.write(carriedEngineDigest()))
        Diagnostics::warning("Impossibile registrare la versione del motore: %s", qPrintable(stamp.errorString()));
    return unpacked;
}

bool DataDirectory::migrate()
{
    QDir data = homeDirectory();
    if (!data.cd(dataDirName))
        return true;
    const QString engine = DataPaths::engineDirectory();
    const QString engineBooks = DataPaths::booksDirectory();
    const QString engineCovers = DataPaths::coversDirectory();
    const QString books = waitingBooks();
    const QString covers = waitingCovers();
    // The dictionaries and covers must be safe outside the old engine before it goes; when they
    // cannot be moved the old engine stays, with them inside, and the migration is retried at
    // the next start.
    if (!movePath(engineBooks, books)) {
        Diagnostics::debug("Impossibile spostare %s\n", qPrintable(engineBooks));
        return false;
    }
    if (!movePath(engineCovers, covers)) {
        Diagnostics::debug("Impossibile spostare %s\n", qPrintable(engineCovers));
        movePath(books, engineBooks);
        return false;
    }
    if (QFileInfo::exists(engine)) {
        if (removeDirectoryTree(engine))
            Diagnostics::debug("Rimosso vecchio engine\n");
        else
            Diagnostics::debug("Errori nella rimozione vecchio engine\n");
    }
    Diagnostics::debug("Nuovo engine da deployare\n");
    // Without a new engine the books stay in the data directory; the next start moves them in.
    if (!deployEngine(data))
        return false;
    removeDirectoryTree(engineBooks);
    removeDirectoryTree(engineCovers);
    const bool booksBack = movePath(books, engineBooks);
    const bool coversBack = movePath(covers, engineCovers);
    return booksBack && coversBack;
}

bool DataDirectory::prepare()
{
    QDir data = homeDirectory();
    if (!data.cd(dataDirName)) {
        if (!enterDataDirectory(data)) {
            Diagnostics::warning("Impossibile creare la cartella dei dati %s",
                                 qPrintable(homeDirectory().absoluteFilePath(dataDirName)));
            return false;
        }
        deployEngine(data);
    }
    // The tracker comes with a new data folder. The folder may be new although it exists: the
    // running copy's lock is taken in it before the window is built.
    const QString tracker = data.absolutePath() + QDir::separator() + DataPaths::webDatabasesName();
    if (!QFileInfo::exists(tracker))
        copyResource(QStringLiteral(":/databases/Databases.db"), tracker);

    const QDir engine(DataPaths::engineDirectory());
    if (engine.exists() && !engine.entryList(QDir::AllEntries | QDir::System | QDir::Hidden | QDir::NoDotAndDotDot).isEmpty()) {
        Diagnostics::debug("già deployato\n");
    } else {
        Diagnostics::debug("Deploying new engine\n");
        deployEngine(data);
    }

    preparedData = data.absolutePath();
    QDir storageFolder = data;
    if (!storageFolder.cd(DataPaths::webStorageName())) {
        storageFolder.mkdir(DataPaths::webStorageName());
        storageFolder.cd(DataPaths::webStorageName());
    }
    preparedStorage = storageFolder.absolutePath();
    const QString setAside = prepareWebStore(preparedStorage + QDir::separator() + DataPaths::bookmarksName());
    // Told once the window is up, not in the middle of its construction.
    if (!setAside.isEmpty())
        QTimer::singleShot(0, this, [this, setAside] { emit storeSetAside(setAside); });
    // The store holds the session identifier, which is the password: a file left open to others
    // (an older release, a restored backup) is narrowed at every start.
    PrivateFile::restrict(DataPaths::bookmarksDatabase());
    // After the web store, which tells the books' own names from the working names of earlier
    // releases.
    removeInterruptedInstallations();
    return true;
}

bool DataDirectory::enterEngineDirectory(QDir& dir)
{
    if (!enterDataDirectory(dir))
        return false;
    if (!dir.cd(DataPaths::engineName())) {
        deployEngine(dir);
        return dir.cd(DataPaths::engineName());
    }
    return true;
}
