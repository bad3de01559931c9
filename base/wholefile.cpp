#include "base/wholefile.h"

#include <QFileInfo>
#include <QSaveFile>

WholeFile::WholeFile(const QString& path)
    : path(path)
{
}

bool WholeFile::write(const QByteArray& bytes)
{
    failure.clear();
    QSaveFile file(path);
    if (file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() && file.commit())
        return true;
    failure = reason(file, true);
    return false;
}

QString WholeFile::reason(const QFileDevice& file, bool writing)
{
    // The error kinds do not tell a missing folder from a refused permission: look at the place.
    const QFileInfo info(file.fileName());
    const QFileInfo folder(info.absolutePath());
    if (writing && !folder.isDir())
        return QStringLiteral("la cartella non esiste");
    if (info.isDir())
        return QStringLiteral("è una cartella, non un file");
    if (!writing && !info.exists())
        return QStringLiteral("il file non esiste");
    if (writing ? (info.exists() ? !info.isWritable() : !folder.isWritable()) : !info.isReadable())
        return QStringLiteral("permesso negato");
    switch (file.error()) {
    case QFileDevice::WriteError:
    case QFileDevice::ResourceError:
        return QStringLiteral("scrittura interrotta, forse il disco è pieno");
    case QFileDevice::ReadError:
        return QStringLiteral("errore di lettura dal disco");
    case QFileDevice::OpenError:
        return writing ? QStringLiteral("la cartella non accetta nuovi file") : QStringLiteral("impossibile aprire il file");
    default:
        return QStringLiteral("errore del sistema (%1)").arg(file.errorString());
    }
}
