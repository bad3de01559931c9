#include "packages/download.h"

#include "base/datapaths.h"
#include "base/diagnostics.h"
#include "packages/bookinstaller.h"
#include "packages/diskspace.h"
#include "packages/downloadmanager.h"
#include "store/webstore.h"

#include <QDir>
#include <QFileInfo>
#include <memory>

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
    current = Phase::Transfer;
    for (const Book& book : library)
        if (book.bookId == sku)
            manager->expectedDigest = book.sha256;
    connect(manager, &DownloadManager::progress, this, &Download::updateProgress);
    connect(manager, &DownloadManager::retrying, this, &Download::tellRetry);
    connect(manager, &DownloadManager::ended, this, &Download::transferEnded);
    manager->start();
}

void Download::cancel()
{
    // Once the package is there, it is installed (or waits for that) whatever the page says.
    if (current != Phase::Transfer && current != Phase::Paused)
        return;
    current = Phase::Over;
    manager->cancel();
    delete manager;
    manager = nullptr;
    emit statusMessage(QStringLiteral("Download interrotto dall'utente"), 4000);
}

bool Download::pause()
{
    if (current != Phase::Transfer)
        return false;
    current = Phase::Paused;
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
    disconnect(this, nullptr, nullptr, nullptr);
    // A transfer stops at once: the download replacing this one writes the same files.
    if (manager) {
        manager->disconnect(this);
        delete manager;
        manager = nullptr;
    }
    current = Phase::Over;
    deleteLater();
}

int Download::percentOf(qint64 done, qint64 total)
{
    // An unknown size (total 0) reads as no progress yet rather than being divided by.
    return total > 0 ? int(float(done) / float(total) * 100.0f) : 0;
}

QString Download::sizeText(qint64 total) { return QString::asprintf("%0.1f", double(float(total) / 1048576.0f)); }

void Download::updateProgress(int done, int total)
{
    received = done;
    announced = total;
    if (!spaceChecked && total > 0 && manager) {
        spaceChecked = true;
        const QString shortage = DiskSpace::shortage(total - manager->keptBytes(), QFileInfo(filePath).absolutePath());
        if (!shortage.isEmpty()) {
            refusal = QStringLiteral("Spazio su disco insufficiente per scaricare il dizionario: ") + shortage;
            // The transfer ends as a failure at once: the page hears the refusal, nothing is kept.
            manager->refuse();
            return;
        }
    }
    emit progressed(done, total);
}

void Download::transferEnded()
{
    if (!manager || current != Phase::Transfer)
        return;
    if (manager->finished)
        queueInstallation();
    else
        reportFailure();
}

void Download::queueInstallation()
{
    current = Phase::Queued;
    const auto outcome = std::make_shared<Outcome>();
    if (!installer) {
        current = Phase::Installing;
        emit phaseChanged(current);
        outcome->failure = QStringLiteral("il pacchetto non si è potuto decomprimere");
        installationEnded(*outcome);
        return;
    }
    const auto started = [this] {
        current = Phase::Installing;
        emit phaseChanged(current);
    };
    const auto work = [outcome, installer = installer, sku = sku, bookId = bookIdentifier(), books = booksPath] {
        *outcome = install(installer, sku, bookId, books);
    };
    if (!installer->install(this, started, work, [this, outcome] { installationEnded(*outcome); }))
        emit phaseChanged(current);
}

// Over for whoever asks from here on: the page hears how it ended, and may ask again at once,
// which replaces this download (discard): nothing here is touched after the outcome.
void Download::installationEnded(const Outcome& outcome)
{
    current = Phase::Over;
    if (!outcome.warning.isEmpty())
        emit warning(outcome.warning);
    if (outcome.unpacked)
        emit bookReady(sku);
    if (outcome.failure.isEmpty()) {
        emit installed();
        return;
    }
    QString failure = outcome.failure;
    failure[0] = failure.at(0).toLower();
    emit failed(QStringLiteral("Installazione non riuscita: ") + failure
        + QStringLiteral(". Scarica di nuovo il dizionario per riprovare."));
}

void Download::reportFailure()
{
    current = Phase::Over;
    const QString message = refusal.isEmpty() ? manager->errorString() : refusal;
    emit failed(message);
    emit statusMessage(message, 4000);
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

Download::Outcome Download::install(BookInstaller* installer, const QString& sku, const QString& bookId, const QString& booksPath)
{
    Outcome outcome;
    // A books folder removed meanwhile is made again, never the folders above it.
    QDir books(booksPath);
    if (booksPath.isEmpty() || !(books.exists() || books.mkdir(booksPath))) {
        outcome.warning = outcome.failure = QStringLiteral("Settaggi dell'applicativo mancanti");
        return outcome;
    }
    const QString bookPath = books.absoluteFilePath(sku);
    const bool hadBook = QFileInfo::exists(bookPath);
    Diagnostics::output("Path database: %s\n", qPrintable(WebStore::path()));

    // A dictionary missing from the library has no identifier: nothing is unpacked or recorded,
    // and the current book stays.
    if (bookId.isEmpty()) {
        outcome.failure = QStringLiteral("il dizionario non risulta tra quelli del tuo account (sincronizza la libreria)");
        return outcome;
    }
    // An installed version stays until the new package has been unpacked completely (the
    // unpack then puts it in the old one's place).
    PackageUnpack unpack(DataPaths::packageFile(bookPath), bookPath, books.absolutePath());
    if (!installer->unpack(unpack)) {
        outcome.failure = unpack.errorString().isEmpty() ? QStringLiteral("il pacchetto non si è potuto decomprimere")
                                                         : unpack.errorString();
        return outcome;
    }
    outcome.unpacked = true;
    if (hadBook)
        Diagnostics::output("Rimosso vecchio libro %s\n", qPrintable(sku));
    if (!recordInstalled(bookId, &outcome.warning))
        outcome.failure = QStringLiteral("la libreria non ha potuto registrarlo come installato");
    return outcome;
}

bool Download::recordInstalled(const QString& bookId, QString* warning)
{
    WebStore store;
    if (!store.open()) {
        const WebStore::FailureTexts texts {
            QStringLiteral("Settaggi dell'applicativo mancanti"),
            [](const QString&, const QString&) {
                return QStringLiteral("Apertura database per la lettura degli indici delle ricerche fallita");
            },
        };
        *warning = store.failureText(texts);
        return false;
    }
    if (!store.setValueWhenFree(bookId, QStringLiteral("STATUS"), QStringLiteral("1"))) {
        *warning = QStringLiteral("Impossibile registrare il dizionario come installato nel database: ")
            + store.errorString() + QStringLiteral(". Riprova a scaricarlo.");
        return false;
    }
    store.close();
    return true;
}
