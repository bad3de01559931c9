// Names and paths of the per-user data directory ~/.vocalumezenta, spelled out only here.
// Qt Core only: nothing is created or checked; callers decide what a missing step means.
#pragma once

#include <QString>

namespace DataPaths {
// Single steps, for code that enters the tree one folder at a time.
QString dataDirectoryName();   // ".vocalumezenta", in the home directory
QString engineName();          // "engine", in the data directory
QString booksName();           // "books", in the engine
QString coversName();          // "covers", in the engine
QString webStorageName();      // "file__0", the page's local storage, in the data directory
QString webDatabasesName();    // "Databases.db", in the data directory
QString bookmarksName();       // "bookmarks.db", in the web storage folder
QString bookDatabaseName();    // "database.db", in a book's folder
QString lockName();            // "vocalume.lock", held by the running copy, in the data directory
QString engineStampName();     // "engine.stamp", which engine archive was deployed, in the data directory

// Whether `name` (a dictionary's identifier or sku) can name one entry inside a folder and
// nothing else: not empty, not ".", no "..", no "/", "\" or zero character. Identifiers come
// from the store and the page, and become folder and package names in the books folder; this
// is the one rule every layer applies to them.
bool isPlainName(const QString& name);

// Working names beside a book's folder in the books folder (and beside the engine in the data
// directory). Each holds "..", which no identifier can, so a working name is never a book's
// folder, and the working names of two books never meet.
QString packageFile(const QString& bookPath); // <book>..zip: the package, until installed
QString partFile(const QString& packagePath); // <package>.part: the package while it arrives
QString resumeFile(const QString& packagePath); // <package>.resume: what the server said of it, beside the part
QString unpackFolder(const QString& destPath); // <dest>..tmp: where a package is unpacked
QString previousFolder(const QString& destPath); // <dest>..old: the version being replaced
// The same names as earlier releases wrote them, which identifiers can take as well:
// <book>.zip, <package>.part, <dest>_tmp and <dest>_old.
QString earlierPackageFile(const QString& bookPath);
QString earlierUnpackFolder(const QString& destPath);
QString earlierPreviousFolder(const QString& destPath);

// Absolute paths under the current home directory.
QString dataDirectory();
QString engineDirectory();
QString engineStamp();
QString booksDirectory();
QString coversDirectory();
QString bookDirectory(const QString& sku);
QString bookDatabase(const QString& sku);
QString webStorageDirectory();
QString bookmarksDatabase();
}
