#include "base/charnormalizer.h"

#include "base/appsettings.h"
#include "base/diagnostics.h"

#include <QStringList>

QString normalizeText(const QString& languageId, const QString& text)
{
    QString start;
    QString end;
    {
        const AppSettings settings;
        start = settings.startCharset(languageId);
        end = settings.endCharset(languageId);
    }
    const QStringList startList = start.split(QLatin1Char('|'), Qt::KeepEmptyParts);
    const QStringList endList = end.split(QLatin1Char('|'), Qt::KeepEmptyParts);
    if (startList.size() != endList.size()) {
        Diagnostics::debug("Errore, i due charset hanno un diverso numero di elementi\n");
        return text;
    }
    QString out = text;
    for (int i = 0; i < startList.size(); ++i)
        out.replace(startList.at(i), endList.at(i), Qt::CaseSensitive);
    return out;
}
