// The pages and files the page asks for, read out of their per-file archives in the engine
// folder: an engine page or file with its scripts inlined, a page for the view with the address
// it is shown under, a dictionary's content file whole or one division of it (cleaned: the
// dictionaries come from outside). A dictionary still packed is unpacked when first read. The
// reader keeps no page state: the bridge holds the page parameters and the book open for
// reading, which it learns through bookOpened. What the user is to be told goes out through
// signals, and so do the answers to the page's callbacks.
#pragma once

#include <QObject>
#include <QString>
#include <QUrl>

class BookInstaller;

class PageReader : public QObject
{
    Q_OBJECT
public:
    explicit PageReader(QObject* parent = nullptr);

    // Unpacks the dictionaries, shared with the downloads so that one extraction runs at a time;
    // none: a dictionary still packed is not opened.
    void setInstaller(BookInstaller* shared) { installer = shared; }

    // A page for the view: its text, scripts inlined, and the address it is shown under.
    struct Page {
        QString html;
        QUrl address;
    };

    // Engine page `name` ("login.html"), shown under its own file. False when it cannot be read.
    bool readEnginePage(const QString& name, Page* shown);
    // The text of engine file `page`, scripts inlined; a page of a dictionary still packed opens
    // the dictionary first. Empty when it cannot be read.
    QString getHtmlPage(const QString& page);
    // Engine page `page` with the parameter text `params` ("idbook=5&x=y"), which becomes part
    // of the path it is shown under. False when it cannot be read.
    bool readFixedPage(const QString& page, const QString& params, Page* shown);
    // The engine page named by `url`, a relative address with a query, shown under that
    // address. False when the engine folder is missing, and (the user told) when the page
    // cannot be read.
    bool readUrl(const QString& url, Page* shown);
    // Answers `callback`, through pageStatement, with the whole content file `file` of
    // dictionary `sku`, or with the division `id` of it.
    void getFile(const QString& sku, const QString& file, const QString& callback);
    void getHtml(const QString& sku, const QString& id, const QString& file, const QString& callback);
    // The division `id` of content file `file` of dictionary `sku`, cleaned as getHtml gives it
    // to the page; empty when it cannot be read.
    static QString entryHtml(const QString& sku, const QString& id, const QString& file);

    // Makes dictionary `bookId` ready for reading: unpacks `archivePath` into its folder when the
    // folder is missing, then tells bookOpened. An empty id stands for the books folder itself.
    // False when the id is not a plain name, the engine folder is missing or the unpack failed.
    bool openBook(const QString& archivePath, const QString& bookId);
    // The package of dictionary `id` in the books folder.
    static QString bookPackage(const QString& id);

signals:
    // A statement answering a callback of the page.
    void pageStatement(const QString& statement);
    // Dictionary `bookId` is ready for reading: it is the one open now.
    void bookOpened(const QString& bookId);
    void statusMessage(const QString& text, int timeout);
    // The text of the user's warning box.
    void warning(const QString& text);

private:
    // Reads member `member` of the archive of engine file `page` into `html`, scripts inlined.
    static bool readPage(const QString& page, const QString& member, QString* html, bool forHtmlPage = false);
    // How a content file was read for a callback: not looked for (the engine folder is missing:
    // the page hears nothing), unreadable (after its diagnostic), or read.
    enum class BookFile { NoEngine, Unreadable, Read };
    // Reads content file `file` of dictionary `sku` into `text`.
    static BookFile readBookFile(const QString& sku, const QString& file, QString* text);
    // Division `id` of a content file's text, cleaned.
    static QString cleanEntry(const QString& id, const QString& contentFile);

    BookInstaller* installer = nullptr;
};
