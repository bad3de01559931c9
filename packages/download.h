// A dictionary download as the page sees it: progress while the package arrives, one failure
// callback, or the installation (unpacking into books/<sku>, STATUS "1") and its completion.
#pragma once

#include <QObject>
#include <QString>
#include <QVector>

#include "services/book.h"

class CustomAgentWebView;
class DownloadManager;
class MainWindow;

class Download : public QObject
{
    Q_OBJECT
public:
    explicit Download(MainWindow* mainWindow, QObject* parent = nullptr);
    ~Download() override;

    // Starts a fresh transfer (dropping any earlier one) unless the package is already there.
    void start();
    // Stops the transfer; the page hears nothing more of this download.
    void cancel();
    // Deletes the download now, or once its installation has ended when one is running (the
    // installation lets events run, and the page may ask for the same dictionary meanwhile).
    void discard();

    // Whether `sku` can name a package and a book folder: one plain name inside the books folder.
    static bool isPackageName(const QString& sku);
    // Text of the page's progress literal for `done` of `total` bytes (total 0: size unknown).
    static QString progressLiteral(int done, int total);

    CustomAgentWebView* view = nullptr;
    DownloadManager* manager = nullptr;
    MainWindow* mainWindow = nullptr;
    QVector<Book> library;
    QString callback;
    QString sku;
    QString filePath;
    bool cancelled = false;

public slots:
    void updateProgress(int done, int total);
    void done(bool error);

private:
    void install();
    void reportFailure();
    void callPage(const QString& statement);
    QString bookIdentifier() const;

    // The first announced size is checked against the free space; a refusal replaces the
    // generic failure text.
    bool spaceChecked = false;
    QString refusal;
    bool installing = false;
    bool discarded = false;
};
