#include "web/pagereader.h"

#include "base/datapaths.h"
#include "base/diagnostics.h"
#include "base/scriptliteral.h"
#include "packages/bookinstaller.h"
#include "pages/entrycleaner.h"
#include "pages/pageloader.h"

#include <QDir>
#include <QFileInfo>

namespace {
QDir engineFolder() { return QDir(DataPaths::engineDirectory()); }

QString htmlLiteral(const QString& text)
{
    return QStringLiteral("{html:'") + QString::fromLatin1(QUrl::toPercentEncoding(text)) + QStringLiteral("'}");
}
}

PageReader::PageReader(QObject* parent)
    : QObject(parent)
{
}

QString PageReader::bookPackage(const QString& id) { return DataPaths::packageFile(DataPaths::bookDirectory(id)); }

bool PageReader::readPage(const QString& page, const QString& member, QString* html, bool forHtmlPage)
{
    const QDir engine = engineFolder();
    QByteArray bytes;
    if (!PageLoader::isSafeRelativePath(page)
        || !PageLoader::readArchive(engine.absoluteFilePath(page) + QStringLiteral(".zip"), member, &bytes))
        return false;
    *html = PageLoader::inlineScripts(engine, QString::fromUtf8(bytes), forHtmlPage);
    return true;
}

bool PageReader::readEnginePage(const QString& name, Page* shown)
{
    shown->address = QUrl::fromLocalFile(engineFolder().absoluteFilePath(name));
    return readPage(name, name, &shown->html) && !shown->html.isEmpty();
}

QString PageReader::getHtmlPage(const QString& page)
{
    Diagnostics::debug("Javascript getHtmlPage page: %s", qPrintable(page));
    const QDir engine = engineFolder();
    if (!engine.exists() || !PageLoader::isSafeRelativePath(page))
        return QString();
    const QString base = engine.absoluteFilePath(page);
    const bool pageFile = page.endsWith(QLatin1String(".html")) || page.endsWith(QLatin1String(".js"));
    if (!QFile::exists(pageFile ? base + QStringLiteral(".zip") : base)) {
        const int first = page.indexOf(QLatin1Char('/'));
        const int second = first < 0 ? -1 : page.indexOf(QLatin1Char('/'), first + 1);
        if (second < 0)
            return QString();
        const QString id = page.mid(first + 1, second - first - 1);
        Diagnostics::debug("Estratto book id: %s", qPrintable(id));
        if (!QFile::exists(bookPackage(id)))
            return QString();
        openBook(bookPackage(id), id);
    }
    QString html;
    if (pageFile) {
        if (!readPage(page, PageLoader::lastComponent(page), &html, true))
            Diagnostics::debug("Errori nella decompressione del file htlm %s", qPrintable(base));
        return html;
    }
    QByteArray bytes;
    if (!PageLoader::readWholeFile(base, &bytes))
        return QString();
    return PageLoader::inlineScripts(engine, QString::fromUtf8(bytes), true);
}

bool PageReader::readFixedPage(const QString& page, const QString& params, Page* shown)
{
    Diagnostics::debug("Javascript getHtmlFixedPage page: %s params: %s", qPrintable(page), qPrintable(params));
    const QDir engine = engineFolder();
    if (!engine.exists())
        return false;
    if (!readPage(page, PageLoader::lastComponent(page), &shown->html)) {
        Diagnostics::debug("Errori nel caricamento del file htlm %s", qPrintable(engine.absoluteFilePath(page)));
        return false;
    }
    const QString localPath = engine.absoluteFilePath(page) + QLatin1Char('?') + params;
    shown->address = QUrl::fromLocalFile(localPath);
    Diagnostics::debug("Loading %s", qPrintable(localPath));
    return true;
}

bool PageReader::readUrl(const QString& url, Page* shown)
{
    Diagnostics::debug("loadURL: URL %s", url.toUtf8().constData());
    const QDir engine = engineFolder();
    if (!engine.exists())
        return false;
    const QString page = url.section(QLatin1Char('?'), 0, 0);
    const QString base = engine.absoluteFilePath(page);
    if (!readPage(page, page, &shown->html)) {
        emit statusMessage(QStringLiteral("Errore nell'apertura del file"), 2000);
        emit warning(QStringLiteral("Si sono verificati errori aprendo il file ") + base);
        return false;
    }
    shown->address = QUrl::fromLocalFile(base);
    shown->address.setQuery(QUrl(url).query());
    return true;
}

PageReader::BookFile PageReader::readBookFile(const QString& sku, const QString& file, QString* text)
{
    if (!engineFolder().exists())
        return BookFile::NoEngine;
    const QString path = DataPaths::bookDirectory(sku) + QLatin1Char('/') + file;
    QByteArray bytes;
    if (!DataPaths::isPlainName(sku) || !PageLoader::isSafeRelativePath(file)
        || !PageLoader::readArchive(path + QStringLiteral(".zip"), PageLoader::lastComponent(file), &bytes)) {
        Diagnostics::debug("Errori nella decompressione del file htlm %s", qPrintable(path));
        return BookFile::Unreadable;
    }
    *text = QString::fromUtf8(bytes);
    return BookFile::Read;
}

void PageReader::getFile(const QString& sku, const QString& file, const QString& callback)
{
    Diagnostics::debug("Javascript getFile sku %s file %s", sku.toUtf8().constData(), file.toUtf8().constData());
    QString text;
    const BookFile read = readBookFile(sku, file, &text);
    if (read != BookFile::NoEngine)
        emit pageStatement(ScriptLiteral::doubleQuoted(callback, read == BookFile::Read ? htmlLiteral(text) : QString()));
}

void PageReader::getHtml(const QString& sku, const QString& id, const QString& file, const QString& callback)
{
    Diagnostics::debug("Javascript getHTML\n");
    QString text;
    if (readBookFile(sku, file, &text) != BookFile::Read)
        return;
    emit pageStatement(ScriptLiteral::doubleQuoted(callback, htmlLiteral(cleanEntry(id, text))));
}

QString PageReader::entryHtml(const QString& sku, const QString& id, const QString& file)
{
    QString text;
    return readBookFile(sku, file, &text) == BookFile::Read ? cleanEntry(id, text) : QString();
}

QString PageReader::cleanEntry(const QString& id, const QString& contentFile)
{
    // Entries come from the package: they leave it cleaned.
    return EntryCleaner::clean(PageLoader::extractDivById(id, contentFile));
}

bool PageReader::openBook(const QString& archivePath, const QString& bookId)
{
    // The identifier names a folder and a package inside the books folder, nothing else.
    if (!bookId.isEmpty() && !DataPaths::isPlainName(bookId))
        return false;
    QDir books;
    if (!BookInstaller::enterBooksFolder(&books))
        return false;
    // With an empty id the books folder itself counts as the dictionary's folder.
    const QString bookPath = bookId.isEmpty() ? books.absolutePath() : books.absoluteFilePath(bookId);
    if (!QFileInfo::exists(bookPath)
        && !(installer && installer->unpackBook(archivePath, bookPath, books.absolutePath())))
        return false;
    emit bookOpened(bookId);
    return true;
}
