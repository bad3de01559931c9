// Reading pages and content files out of their per-file archives: the file F lives in the zip
// archive F.zip whose one member is named after F's last path component.
#pragma once

#include <QByteArray>
#include <QDir>
#include <QString>

class PageLoader
{
public:
    // Largest page, content file or archive read into memory. A dictionary page or script is a
    // few hundred kilobytes at most; the bound keeps a hostile size far from the 2 GiB a
    // QByteArray can hold and from exhausting memory.
    static constexpr qint64 MaxFileBytes = 64 * 1024 * 1024;

    // Each reader returns true when it read, false when it did not (`*member` or `*contents`
    // then unchanged).

    // Reads the member `memberName` (exact stored name) of the zip archive held in memory; fails
    // also for a member larger than MaxFileBytes, or whose bytes do not match its declared size.
    static bool readZipMember(const QString& memberName, const QByteArray& archive, QByteArray* member);
    // Reads a whole file in chunks of at most 4096 bytes, letting pending events run between
    // chunks; fails also for a file larger than MaxFileBytes.
    static bool readWholeFile(const QString& path, QByteArray* contents);
    // Reads member `memberName` of the archive file `archivePath`.
    static bool readArchive(const QString& archivePath, const QString& memberName, QByteArray* member);
    // Replaces every <script src="..."> of `html` by an inline block holding the script's text
    // read from its archive under `baseDirectory`. The empty text when a tag is not closed.
    // `forHtmlPage` selects the diagnostic used for page requests of the script.
    static QString inlineScripts(const QDir& baseDirectory, const QString& html, bool forHtmlPage = false);
    // The serialised div elements of the XHTML `text` whose id attribute equals `id`.
    static QString extractDivById(const QString& id, const QString& text);
    // The last path component of `path` ("/" separated), or all of it.
    static QString lastComponent(const QString& path);
    // A path from the page is usable only when it stays below its base directory.
    static bool isSafeRelativePath(const QString& path);
};
