#include "packages/download.h"

#include "base/datapaths.h"
#include "base/diagnostics.h"
#include "base/scriptliteral.h"
#include "packages/bookinstaller.h"
#include "packages/diskspace.h"
#include "packages/downloadmanager.h"
#include "store/webstore.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QPointer>

Download::Download(QObject* parent)
    : QObject(parent)
{
}

Download::~Download()
{
    delete manager;
}

void Download::start()
{
    delete manager;
    manager = new DownloadManager(sku, filePath);
    // A package that could not be removed would be taken for this one: the page hears of a
    // failure rather than waiting for a transfer that never starts.
    if (QFileInfo::exists(filePath)) {
        manager->failed = true;
        reportFailure();
        return;
    }
    for (const Book& book : library)
        if (book.bookId == sku)
            manager->expectedDigest = book.sha256;
    connect(manager, &DownloadManager::progress, this, &Download::updateProgress);
    connect(manager, &DownloadManager::retrying, this, &Download::tellRetry);
    connect(manager, &DownloadManager::ended, this, &Download::done);
    manager->start();
}

void Download::cancel()
{
    // Once the package is there, it is installed (or waits for that) whatever the page says.
    if (phase() != Phase::Transfer && phase() != Phase::Paused)
        return;
    cancelled = true;
    manager->cancel();
    delete manager;
    manager = nullptr;
    emit statusMessage(QStringLiteral("Download interrotto dall'utente"), 4000);
}

bool Download::pause()
{
    if (phase() != Phase::Transfer)
        return false;
    paused = true;
    manager->pause();
    emit statusMessage(QStringLiteral("Download in pausa: premi «Riprendi» per continuarlo"), 4000);
    return true;
}

void Download::tellRetry(int retry, int milliseconds)
{
    emit statusMessage(QStringLiteral("Connessione interrotta: nuovo tentativo di scaricare il dizionario tra %1 "
                                      "secondi (%2 di %3)")
                           .arg((milliseconds + 999) / 1000)
                           .arg(retry)
                           .arg(DownloadManager::Retries),
                       milliseconds + 1000);
}

void Download::discard()
{
    if (installing)
        discarded = true;
    else
        delete this;
}

void Download::follow(const QString& newCallback)
{
    callback = newCallback;
    emit pageStatement(ScriptLiteral::intermediate(callback, phaseLiteral()));
}

Download::Phase Download::phase() const
{
    if (installing)
        return outcomeTold ? Phase::Over : Phase::Installing;
    if (queued)
        return Phase::Queued;
    if (manager && !manager->finished && !manager->failed && !cancelled)
        return paused ? Phase::Paused : Phase::Transfer;
    return Phase::Over;
}

QString Download::phaseLiteral() const
{
    return QStringLiteral("{result:false, progress:\"%1\"}").arg(installing ? "wait" : "queued");
}

int Download::percentOf(qint64 done, qint64 total)
{
    // An unknown size (total 0) reads as no progress yet rather than being divided by.
    return total > 0 ? int(float(done) / float(total) * 100.0f) : 0;
}

QString Download::sizeText(qint64 total) { return QString::asprintf("%0.1f", double(float(total) / 1048576.0f)); }

QString Download::progressLiteral(int done, int total)
{
    const int percent = percentOf(done, total);
    if (percent > 99)
        return QString();
    return QStringLiteral("{result:false,progress:\"") + QString::number(percent) + QStringLiteral("\",size:\"")
        + sizeText(total) + QStringLiteral("\"}");
}

void Download::updateProgress(int done, int total)
{
    received = done;
    announced = total;
    if (!spaceChecked && total > 0 && manager) {
        spaceChecked = true;
        QString shortage;
        if (!DiskSpace::fits(total - manager->keptBytes(), QFileInfo(filePath).absolutePath(), &shortage)) {
            refusal = QStringLiteral("Spazio su disco insufficiente per scaricare il dizionario: ") + shortage;
            // The transfer ends as a failure at once: the page hears the refusal, nothing is kept.
            manager->refuse();
            return;
        }
    }
    const QString literal = progressLiteral(done, total);
    if (!literal.isEmpty())
        emit pageStatement(ScriptLiteral::intermediate(callback, literal));
}

void Download::done(bool error)
{
    Q_UNUSED(error);
    if (!manager)
        return;
    if (manager->finished)
        queueInstallation();
    else if (!cancelled)
        reportFailure();
}

void Download::queueInstallation()
{
    queued = true;
    if (!installer)
        runInstallation();
    else if (!installer->whenFree(this, [this] { runInstallation(); }))
        emit pageStatement(ScriptLiteral::intermediate(callback, phaseLiteral()));
}

void Download::runInstallation()
{
    queued = false;
    installing = true;
    const QString outcome = install();
    // Over before the page hears it: a page that asks what is under way as it hears the end
    // (a library page reading its state again) must not find this installation still running.
    // Hearing it, the page may ask for this dictionary again, which replaces and deletes this
    // download: from then on nothing here is touched.
    installing = false;
    const QPointer<Download> self(this);
    emit pageStatement(outcome);
    QCoreApplication::processEvents();
    if (self && discarded)
        deleteLater();
}

void Download::reportFailure()
{
    const QString message = refusal.isEmpty() ? manager->errorMessage() : refusal;
    tellFailure(message);
    emit statusMessage(message, 4000);
}

void Download::tellFailure(const QString& message)
{
    emit pageStatement(failureStatement(message));
}

QString Download::failureStatement(QString message) const
{
    Diagnostics::output("%s\n", qPrintable(message));
    message.replace(QLatin1Char('\''), QStringLiteral("&apos;"));
    return ScriptLiteral::singleQuoted(callback, QStringLiteral("{result:false,error:\"") + message + QStringLiteral("\"}"));
}

QString Download::bookIdentifier() const
{
    for (const Book& book : library) {
        if (book.bookId == sku) {
            Diagnostics::output("Libro trovato!!");
            return book.bookId;
        }
        Diagnostics::output("Libro non trovato %s!!\n", qPrintable(sku));
    }
    return QString();
}

QString Download::install()
{
    const QString wait = ScriptLiteral::intermediate(callback, phaseLiteral());
    Diagnostics::output("Wait: %s\n", qPrintable(wait));
    emit pageStatement(wait);

    QString failure = installOrSayWhyNot();
    // Over for whoever asks from here on: the page hears how it ended, and may ask at once.
    outcomeTold = true;
    if (failure.isEmpty()) {
        const QString finished
            = ScriptLiteral::singleQuoted(callback, QStringLiteral("{result:true,error:\\'\\',progress:\\'100\\'}"));
        Diagnostics::output("Done: %s\n", qPrintable(finished));
        return finished;
    }
    failure[0] = failure.at(0).toLower();
    return failureStatement(QStringLiteral("Installazione non riuscita: ") + failure
        + QStringLiteral(". Scarica di nuovo il dizionario per riprovare."));
}

QString Download::installOrSayWhyNot()
{
    const QString bookId = bookIdentifier();

    // A books folder removed meanwhile is made again, never the folders above it.
    QDir books(booksPath);
    if (booksPath.isEmpty() || !(books.exists() || books.mkdir(booksPath))) {
        const QString missing = QStringLiteral("Settaggi dell'applicativo mancanti");
        emit warning(missing);
        return missing;
    }

    const QString bookPath = books.absoluteFilePath(sku);
    const bool hadBook = QFileInfo::exists(bookPath);

    Diagnostics::output("Path database: %s\n", qPrintable(WebStore::path()));
    const QString packagePath = DataPaths::packageFile(bookPath);

    // A dictionary missing from the library has no identifier: nothing is unpacked or recorded,
    // and the current book stays.
    if (bookId.isEmpty())
        return QStringLiteral("il dizionario non risulta tra quelli del tuo account (sincronizza la libreria)");

    // An installed version stays until the new package has been unpacked completely (the
    // unpack then puts it in the old one's place). The installer's box says why it did not.
    QString refused = QStringLiteral("il pacchetto non si è potuto decomprimere");
    QMetaObject::Connection heard;
    if (installer)
        heard = connect(installer, &BookInstaller::warning, this, [&refused](const QString& text) { refused = text; });
    const bool unpacked = installer && installer->unpackBook(packagePath, bookPath, books.absolutePath());
    disconnect(heard);
    if (!unpacked)
        return refused;
    if (hadBook)
        Diagnostics::output("Rimosso vecchio libro %s\n", qPrintable(sku));
    emit bookReady(bookId);
    if (!recordInstalled(bookId))
        return QStringLiteral("la libreria non ha potuto registrarlo come installato");
    return QString();
}

bool Download::recordInstalled(const QString& bookId)
{
    WebStore store;
    if (!store.open()) {
        const WebStore::FailureTexts texts {
            QStringLiteral("Settaggi dell'applicativo mancanti"),
            [](const QString&, const QString&) {
                return QStringLiteral("Apertura database per la lettura degli indici delle ricerche fallita");
            },
        };
        emit warning(store.failureText(texts));
        return false;
    }
    if (!store.execWhenFree(QStringLiteral("UPDATE SYSTEM set VALUE='1' where VARIABLE='STATUS' and REFBOOK='")
                            + WebStore::quote(bookId) + QStringLiteral("'"))) {
        emit warning(QStringLiteral("Impossibile registrare il dizionario come installato nel database: ")
                     + store.lastError() + QStringLiteral(". Riprova a scaricarlo."));
        return false;
    }
    store.close();
    return true;
}
