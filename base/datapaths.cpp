#include "base/datapaths.h"

#include <QDir>

namespace {
QString under(const QString& folder, const QString& name)
{
    return folder + QLatin1Char('/') + name;
}
}

namespace DataPaths {
QString dataDirectoryName() { return QStringLiteral(".vocalumezenta"); }
QString engineName() { return QStringLiteral("engine"); }
QString booksName() { return QStringLiteral("books"); }
QString coversName() { return QStringLiteral("covers"); }
QString webStorageName() { return QStringLiteral("file__0"); }
QString webDatabasesName() { return QStringLiteral("Databases.db"); }
QString bookmarksName() { return QStringLiteral("bookmarks.db"); }
QString bookDatabaseName() { return QStringLiteral("database.db"); }
QString lockName() { return QStringLiteral("vocalume.lock"); }
QString engineStampName() { return QStringLiteral("engine.stamp"); }

QString dataDirectory() { return QDir(QDir::homePath()).absoluteFilePath(dataDirectoryName()); }
QString engineDirectory() { return under(dataDirectory(), engineName()); }
QString engineStamp() { return under(dataDirectory(), engineStampName()); }
QString booksDirectory() { return under(engineDirectory(), booksName()); }
QString coversDirectory() { return under(engineDirectory(), coversName()); }
QString bookDirectory(const QString& sku) { return under(booksDirectory(), sku); }
QString bookDatabase(const QString& sku) { return under(bookDirectory(sku), bookDatabaseName()); }
QString webStorageDirectory() { return under(dataDirectory(), webStorageName()); }
QString bookmarksDatabase() { return under(webStorageDirectory(), bookmarksName()); }

QString packageFile(const QString& bookPath) { return bookPath + QStringLiteral("..zip"); }
QString partFile(const QString& packagePath) { return packagePath + QStringLiteral(".part"); }
QString resumeFile(const QString& packagePath) { return packagePath + QStringLiteral(".resume"); }
QString unpackFolder(const QString& destPath) { return destPath + QStringLiteral("..tmp"); }
QString previousFolder(const QString& destPath) { return destPath + QStringLiteral("..old"); }
QString earlierPackageFile(const QString& bookPath) { return bookPath + QStringLiteral(".zip"); }
QString earlierUnpackFolder(const QString& destPath) { return destPath + QStringLiteral("_tmp"); }
QString earlierPreviousFolder(const QString& destPath) { return destPath + QStringLiteral("_old"); }

bool isPlainName(const QString& name)
{
    return !name.isEmpty() && name != QLatin1String(".") && !name.contains(QLatin1String(".."))
        && !name.contains(QLatin1Char('/')) && !name.contains(QLatin1Char('\\')) && !name.contains(QChar(0));
}
}
