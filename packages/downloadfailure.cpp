#include "packages/downloadfailure.h"

#include "packages/diskspace.h"
#include "packages/downloadmanager.h"

namespace {
// Less free space than this where the package is written is a full disk.
constexpr qint64 FullDisk = 1024 * 1024;

QString because(HttpConnection::Error failure, int status, qint64 received, bool written, const QString& folder)
{
    using F = HttpConnection::Error;
    if (!written || failure == F::NotStored) {
        const qint64 free = DiskSpace::available(folder);
        return free >= 0 && free < FullDisk
            ? QStringLiteral("il disco è pieno. Libera spazio e riprova")
            : QStringLiteral("il dizionario non si è potuto scrivere nella cartella dei dati. Controlla che sia "
                             "accessibile e riprova");
    }
    switch (failure) {
    case F::Unreachable:
        return QStringLiteral("il servizio di download non è raggiungibile. Controlla la connessione a Internet e riprova");
    case F::TimedOut:
        return QStringLiteral("il servizio di download ha smesso di rispondere. Riprova tra qualche minuto");
    case F::Dropped:
        return QStringLiteral("la connessione si è interrotta durante il download. Riprova");
    default:
        break;
    }
    if (status == 401 || status == 403)
        return QStringLiteral("il negozio non ha concesso il download. Esci, accedi di nuovo e riprova");
    if (status == 407)
        return QStringLiteral("un proxy della rete chiede un nome utente e una password per lasciar passare il "
                              "download. Indicali nelle impostazioni del proxy del sistema e riprova");
    if (status == 404 || status == 410)
        return QStringLiteral("il negozio non ha trovato il pacchetto del dizionario. Sincronizza la libreria e riprova");
    if (status >= 500)
        return QStringLiteral("il servizio di download ha avuto un problema (errore %1). Riprova più tardi").arg(status);
    if (status < 200 || status >= 300)
        return QStringLiteral("il servizio di download ha risposto con un errore (%1). Riprova più tardi").arg(status);
    if (received <= DownloadManager::SmallestPackage)
        return QStringLiteral("il servizio di download ha risposto senza inviare il dizionario. Sincronizza la libreria "
                              "e riprova");
    return QStringLiteral("il download non si è concluso. Riprova");
}
}

QString DownloadFailure::refusal(const QString& said)
{
    return QStringLiteral("Si è verificato un errore nello scaricamento del dizionario: il negozio ha risposto: «%1». "
                          "Sincronizza la libreria e riprova.")
        .arg(said);
}

QString DownloadFailure::keptAfterRefusal(const QString& said)
{
    return QStringLiteral("Si è verificato un errore nello scaricamento del dizionario: il negozio ha risposto: «%1». "
                          "Quanto già scaricato è conservato: riprendi il download quando il negozio lo concede.")
        .arg(said);
}

QString DownloadFailure::text(HttpConnection::Error failure, int status, qint64 received, bool written, const QString& folder)
{
    return QStringLiteral("Si è verificato un errore nello scaricamento del dizionario: ")
        + because(failure, status, received, written, folder) + QLatin1Char('.');
}
