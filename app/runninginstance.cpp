#include "app/runninginstance.h"

#include "base/datapaths.h"
#include "base/diagnostics.h"

#include <QCryptographicHash>
#include <QDir>
#include <QLocalSocket>
#include <QThread>
#include <QUrl>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {
// A request is a short line; a peer sending more without a line end is not one of ours.
constexpr qint64 maxRequestBytes = 64 * 1024;
// The running copy starts listening right after taking the lock: a request arriving in between
// waits for it this long.
constexpr int connectAttempts = 20;
constexpr int connectPauseMs = 100;
constexpr int socketWaitMs = 2000;

// Whether `path` is a folder of this user's that nobody else can enter (made so when it is this
// user's but open to others); never a link.
bool isPrivateFolder(const QString& path)
{
    struct stat info {};
    const QByteArray name = QFile::encodeName(path);
    if (::lstat(name.constData(), &info) != 0 || !S_ISDIR(info.st_mode) || info.st_uid != ::getuid())
        return false;
    return (info.st_mode & 077) == 0 || ::chmod(name.constData(), 0700) == 0;
}

// The folder of the socket: the session's runtime folder, else a folder of this user's own in
// the temporary folder, made for it; empty when neither is safe.
QString socketFolder()
{
    const QString runtime = QString::fromLocal8Bit(qgetenv("XDG_RUNTIME_DIR"));
    if (!runtime.isEmpty() && QDir::isAbsolutePath(runtime) && isPrivateFolder(runtime))
        return QDir::cleanPath(runtime);
    const QString own = QDir::tempPath() + QStringLiteral("/vocalume-") + QString::number(::getuid());
    ::mkdir(QFile::encodeName(own).constData(), 0700);
    return isPrivateFolder(own) ? own : QString();
}

// Whether the other end of a connected local socket runs as this user.
bool peerIsThisUser(const QLocalSocket& socket)
{
    ucred peer {};
    socklen_t size = sizeof peer;
    return ::getsockopt(int(socket.socketDescriptor()), SOL_SOCKET, SO_PEERCRED, &peer, &size) == 0
        && peer.uid == ::getuid();
}
}

RunningInstance::RunningInstance(const QString& dataDirectory, QObject* parent)
    : QObject(parent)
    , dataDirectory(QDir::cleanPath(QDir(dataDirectory).absolutePath()))
    , lock(this->dataDirectory + QLatin1Char('/') + DataPaths::lockName())
{
    // Held for the whole run, however long: only a copy that is no longer running (its process
    // gone, or another program under its number) leaves a stale lock, never an old one.
    lock.setStaleLockTime(0);
    connect(&server, &QLocalServer::newConnection, this, &RunningInstance::accept);
}

QString RunningInstance::serverName(const QString& dataDirectory)
{
    const QString folder = socketFolder();
    if (folder.isEmpty())
        return QString();
    const QByteArray data = QDir::cleanPath(QDir(dataDirectory).absolutePath()).toUtf8();
    const QByteArray digest = QCryptographicHash::hash(data, QCryptographicHash::Sha1).toHex().left(16);
    return folder + QStringLiteral("/vocalume-%1-%2").arg(::getuid()).arg(QString::fromLatin1(digest));
}

RunningInstance::Claim RunningInstance::claim()
{
    if (!QDir().mkpath(dataDirectory)) {
        Diagnostics::warning("Impossibile creare la cartella dei dati %s", qPrintable(dataDirectory));
        return Claim::Unguarded;
    }
    if (lock.tryLock(0)) {
        listen();
        return Claim::Running;
    }
    if (lock.error() == QLockFile::LockFailedError)
        return Claim::Other;
    Diagnostics::warning("Impossibile creare il blocco %s (%d)", qPrintable(dataDirectory), int(lock.error()));
    return Claim::Unguarded;
}

void RunningInstance::listen()
{
    const QString name = serverName(dataDirectory);
    if (name.isEmpty()) {
        Diagnostics::warning("Nessuna cartella privata per le richieste di altre copie del programma");
        return;
    }
    // A socket left by a copy that ended without closing it; only the lock's holder gets here.
    QLocalServer::removeServer(name);
    server.setSocketOptions(QLocalServer::UserAccessOption);
    if (!server.listen(name))
        Diagnostics::warning("Impossibile ascoltare su %s: %s", qPrintable(name), qPrintable(server.errorString()));
}

void RunningInstance::accept()
{
    while (QLocalSocket* socket = server.nextPendingConnection()) {
        // Only this user's own copies may ask: a request carries the words the user looks up.
        if (!peerIsThisUser(*socket)) {
            socket->abort();
            socket->deleteLater();
            continue;
        }
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] { readRequests(socket); });
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        readRequests(socket);
    }
}

void RunningInstance::readRequests(QLocalSocket* socket)
{
    while (socket->canReadLine()) {
        const QString line = QString::fromUtf8(socket->readLine(maxRequestBytes)).trimmed();
        const QString verb = line.section(QLatin1Char(' '), 0, 0);
        const QString argument = QUrl::fromPercentEncoding(line.section(QLatin1Char(' '), 1).toUtf8());
        Diagnostics::debug("Richiesta da un'altra copia: %s", qPrintable(verb));
        if (!verb.isEmpty())
            emit requested(verb, argument);
    }
    if (socket->bytesAvailable() > maxRequestBytes)
        socket->abort();
}

bool RunningInstance::send(const QString& verb, const QString& argument)
{
    QLocalSocket socket;
    const QString name = serverName(dataDirectory);
    if (name.isEmpty())
        return false;
    for (int attempt = 0; attempt < connectAttempts; ++attempt) {
        socket.connectToServer(name);
        if (socket.waitForConnected(socketWaitMs))
            break;
        QThread::msleep(connectPauseMs);
    }
    if (socket.state() != QLocalSocket::ConnectedState || !peerIsThisUser(socket))
        return false;
    socket.write(verb.toUtf8() + ' ' + QUrl::toPercentEncoding(argument) + '\n');
    const bool written = socket.waitForBytesWritten(socketWaitMs) && socket.bytesToWrite() == 0;
    socket.disconnectFromServer();
    return written;
}
