#include "base/charnormalizer.h"

#include "base/appsettings.h"
#include "base/diagnostics.h"
#include "base/filestamp.h"

#include <QHash>
#include <QMutex>
#include <QStringList>

namespace {
struct Tables {
    QStringList start;
    QStringList end;
};

Tables readTables(const QString& languageId)
{
    const AppSettings settings;
    return { settings.startCharset(languageId).split(QLatin1Char('|'), Qt::KeepEmptyParts),
        settings.endCharset(languageId).split(QLatin1Char('|'), Qt::KeepEmptyParts) };
}

// Reading the settings costs more than a search's own work on a small dictionary, and the page
// asks for every word it ranks: the tables are kept per language for as long as the file stays
// the same. (The settings' place is fixed at their first use in the process, as the settings'
// own is.)
Tables tablesOf(const QString& languageId)
{
    static const QString path = AppSettings().fileName();
    static QMutex mutex;
    static QByteArray stamp;
    static QHash<QString, Tables> kept;
    const QByteArray now = FileStamp::of(path);
    QMutexLocker lock(&mutex);
    if (now.isEmpty() || now != stamp) {
        kept.clear();
        stamp = now;
    }
    auto found = kept.constFind(languageId);
    if (found != kept.constEnd())
        return found.value();
    const Tables tables = readTables(languageId);
    if (!now.isEmpty())
        kept.insert(languageId, tables);
    return tables;
}
}

QString normalizeText(const QString& languageId, const QString& text)
{
    const Tables tables = tablesOf(languageId);
    const QStringList& startList = tables.start;
    const QStringList& endList = tables.end;
    if (startList.size() != endList.size()) {
        Diagnostics::debug("Errore, i due charset hanno un diverso numero di elementi\n");
        return text;
    }
    QString out = text;
    for (int i = 0; i < startList.size(); ++i)
        out.replace(startList.at(i), endList.at(i), Qt::CaseSensitive);
    return out;
}
