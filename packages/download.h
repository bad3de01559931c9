// A dictionary download as the page sees it: progress while the package arrives, one failure
// callback, or the installation (unpacking into books/<sku>, STATUS "1") and its outcome. An
// installation waits for its turn while another one runs; the page hears that it is queued.
// It reaches neither the page nor the window itself: what the page is to run, the status bar
// and the warning box go out through signals, and making the book the current one is asked
// of the window's hook.
#pragma once

#include <QObject>
#include <QString>
#include <QVector>
#include <functional>

#include "services/book.h"

class BookInstaller;
class DownloadManager;

class Download : public QObject
{
    Q_OBJECT
public:
    // Where the download stands: its package arriving, waiting for the installer, being
    // installed, or over (installed, failed, cancelled or never started).
    enum class Phase { Transfer, Queued, Installing, Over };

    explicit Download(QObject* parent = nullptr);
    ~Download() override;

    // Starts a fresh transfer (dropping any earlier one) unless the package is already there.
    void start();
    // Stops the transfer; the page hears nothing more of this download.
    void cancel();
    // Deletes the download now, or once its installation has ended when one is running (the
    // installation lets events run, and the page may ask for the same dictionary meanwhile).
    void discard();
    // The page asks again for a dictionary whose package is being installed or waits for it:
    // `newCallback` hears where it stands and how it ends.
    void follow(const QString& newCallback);

    Phase phase() const;
    // The transfer's latest progress: bytes received and announced (0: not known).
    qint64 receivedBytes() const { return received; }
    qint64 announcedBytes() const { return announced; }

    // Whether `sku` can name a package and a book folder: one plain name inside the books folder.
    static bool isPackageName(const QString& sku);
    // Text of the page's progress literal for `done` of `total` bytes (total 0: size unknown),
    // and its two values: the whole percent done (0 while the size is unknown) and the size in
    // megabytes with one decimal.
    static QString progressLiteral(int done, int total);
    static int percentOf(qint64 done, qint64 total);
    static QString sizeText(qint64 total);

    DownloadManager* manager = nullptr;
    // Unpacks the package; shared by every installation so that only one runs at a time.
    BookInstaller* installer = nullptr;
    // Makes the installed book the current one (package path, book id); false leaves STATUS as
    // it is. Unset: there is nothing to make current, and the installation goes on.
    std::function<bool(const QString& packagePath, const QString& bookId)> goToReading;
    QVector<Book> library;
    QString callback;
    QString sku;
    QString filePath;
    // The books folder, found by whoever starts the download.
    QString booksPath;
    bool cancelled = false;

signals:
    // A statement for the page to run (its SignalQt answers).
    void pageStatement(const QString& statement);
    void statusMessage(const QString& text, int timeout);
    // The text of the user's warning box.
    void warning(const QString& text);

public slots:
    void updateProgress(int done, int total);
    void done(bool error);

private:
    void queueInstallation();
    void runInstallation();
    // Installs the package; the statement that tells the page how it ended.
    QString install();
    // Installs the package; the reason for the page when it did not (empty: installed).
    QString installOrSayWhyNot();
    void reportFailure();
    // The page's failure literal for `message`.
    void tellFailure(const QString& message);
    QString failureStatement(QString message) const;
    QString phaseLiteral() const;
    // STATUS "1" for the installed book; false (after its warning) when the store does not open
    // or the update fails.
    bool recordInstalled(const QString& bookId);
    QString bookIdentifier() const;

    // The first announced size is checked against the free space; a refusal replaces the
    // generic failure text.
    bool spaceChecked = false;
    QString refusal;
    bool queued = false;
    bool installing = false;
    bool discarded = false;
    qint64 received = 0;
    qint64 announced = 0;
};
