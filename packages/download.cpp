#include "packages/download.h"

#include "base/datapaths.h"
#include "base/diagnostics.h"
#include "base/scriptliteral.h"
#include "packages/bookinstaller.h"
#include "packages/diskspace.h"
#include "packages/downloadmanager.h"
#include "services/httpconnection.h"
#include "store/webstore.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

Download::Download(QObject* parent)
    : QObject(parent)
{
}

Download::~Download()
{
    delete manager;
}

bool Download::isPackageName(const QString& sku)
{
    return DataPaths::isPlainName(sku);
}

void Download::start()
{
    delete manager;
    manager = new DownloadManager(sku, filePath);
    if (QFileInfo::exists(filePath))
        return;
    connect(manager->connection, &HttpConnection::dataReadProgress, this, &Download::updateProgress);
    connect(manager->connection, &HttpConnection::done, this, &Download::done);
    manager->start();
}

void Download::cancel()
{
    cancelled = true;
    // During the installation the transfer is over and its manager is still in use.
    if (manager && !installing) {
        manager->connection->abort();
        delete manager;
        manager = nullptr;
    }
    emit statusMessage(QStringLiteral("Download interrotto dall'utente"), 4000);
}

void Download::discard()
{
    if (installing)
        discarded = true;
    else
        delete this;
}

QString Download::progressLiteral(int done, int total)
{
    const float mebibytes = float(total) / 1048576.0f;
    // An unknown size (total 0) reads as no progress yet rather than being divided by.
    const int percent = total > 0 ? int(float(done) / float(total) * 100.0f) : 0;
    if (percent > 99)
        return QString();
    return QStringLiteral("{result:false,progress:\"") + QString::number(percent) + QStringLiteral("\",size:\"")
        + QString::asprintf("%0.1f", double(mebibytes)) + QStringLiteral("\"}");
}

void Download::updateProgress(int done, int total)
{
    if (!spaceChecked && total > 0 && manager) {
        spaceChecked = true;
        QString shortage;
        if (!DiskSpace::fits(total, QFileInfo(filePath).absolutePath(), &shortage)) {
            refusal = QStringLiteral("Spazio su disco insufficiente per scaricare il dizionario: ") + shortage;
            // The transfer ends as a failure at once: the page hears the refusal, nothing is kept.
            manager->connection->abort();
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
    if (manager->finished) {
        installing = true;
        install();
        installing = false;
        if (discarded)
            deleteLater();
    } else if (!cancelled) {
        reportFailure();
    }
}

void Download::reportFailure()
{
    QString message = refusal.isEmpty() ? manager->errorMessage() : refusal;
    Diagnostics::output("%s\n", qPrintable(message));
    message.replace(QLatin1Char('\''), QStringLiteral("&apos;"));
    emit pageStatement(ScriptLiteral::singleQuoted(
        callback, QStringLiteral("{result:false,error:\"") + message + QStringLiteral("\"}")));
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

void Download::install()
{
    const QString wait = ScriptLiteral::intermediate(callback, QStringLiteral("{result:false, progress:\"wait\"}"));
    Diagnostics::output("Wait: %s\n", qPrintable(wait));
    emit pageStatement(wait);

    const QString bookId = bookIdentifier();

    // A books folder removed meanwhile is made again, never the folders above it.
    QDir books(booksPath);
    if (booksPath.isEmpty() || !(books.exists() || books.mkdir(booksPath))) {
        emit warning(QStringLiteral("Settaggi dell'applicativo mancanti"));
        return;
    }

    const QString bookPath = books.absoluteFilePath(sku);
    const bool hadBook = QFileInfo::exists(bookPath);

    Diagnostics::output("Path database: %s\n", qPrintable(WebStore::path()));
    const QString packagePath = books.absoluteFilePath(sku + QStringLiteral(".zip"));

    // A dictionary missing from the library has no identifier: nothing is unpacked or recorded,
    // and the current book stays. An installed version stays until the new package has been
    // unpacked completely (the unpack then puts it in the old one's place).
    const bool unpacked
        = !bookId.isEmpty() && installer && installer->unpackBook(packagePath, bookPath, books.absolutePath());
    if (unpacked && hadBook)
        Diagnostics::output("Rimosso vecchio libro %s\n", qPrintable(sku));
    if (unpacked && (!goToReading || goToReading(packagePath, bookId)) && !recordInstalled(bookId))
        return;

    const QString finished = ScriptLiteral::singleQuoted(callback, QStringLiteral("{result:true,error:\\'\\',progress:\\'100\\'}"));
    Diagnostics::output("Done: %s\n", qPrintable(finished));
    emit pageStatement(finished);
    QCoreApplication::processEvents();
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
