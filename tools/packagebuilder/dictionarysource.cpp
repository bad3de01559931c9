#include "tools/packagebuilder/dictionarysource.h"

#include <QFile>
#include <QTextStream>

namespace {
QStringList list(const QString& field)
{
    QStringList items;
    for (const QString& item : field.split(QLatin1Char(','), Qt::SkipEmptyParts))
        if (!item.trimmed().isEmpty())
            items << item.trimmed();
    return items;
}
}

bool DictionarySource::parseLine(const QString& line, const QString& source, DictionaryEntry& entry)
{
    QStringList fields = line.split(QLatin1Char('\t'));
    if (fields.size() > 7 || fields.at(0).trimmed().isEmpty())
        return false;
    while (fields.size() < 7)
        fields << QString();
    entry = DictionaryEntry();
    entry.headword = fields.at(0).trimmed();
    entry.omo = fields.at(1).trimmed();
    entry.pos = fields.at(2).trimmed();
    entry.definition = fields.at(3).trimmed();
    entry.forms = list(fields.at(4));
    entry.keywords = list(fields.at(5));
    entry.scopes = list(fields.at(6));
    entry.source = source;
    return true;
}

bool DictionarySource::read(const QString& path, const QString& defaultSource, const EntryHandler& onEntry)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) {
        error = QStringLiteral("cannot read ") + path;
        return false;
    }
    QTextStream in(&file);
    in.setCodec("UTF-8");
    QString source = defaultSource;
    int lineNumber = 0;
    while (!in.atEnd()) {
        const QString line = in.readLine();
        ++lineNumber;
        if (line.trimmed().isEmpty() || line.startsWith(QLatin1Char('#')))
            continue;
        if (line.startsWith(QLatin1String("@source "))) {
            source = line.mid(8).trimmed();
            continue;
        }
        DictionaryEntry entry;
        if (!parseLine(line, source, entry)) {
            error = QStringLiteral("%1:%2: malformed entry").arg(path).arg(lineNumber);
            return false;
        }
        if (!onEntry(entry)) {
            error = QStringLiteral("%1:%2: entry refused").arg(path).arg(lineNumber);
            return false;
        }
    }
    return true;
}
