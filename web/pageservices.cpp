#include "web/pageservices.h"

#include "search/indexrows.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

PageServices::PageServices(QObject* parent)
    : QObject(parent)
{
}

QString PageServices::suggest(QString sku, QString word, QString sourceLanguage)
{
    const QStringList found = suggestions.suggest(sku, word, sourceLanguage);
    return QString::fromUtf8(QJsonDocument(QJsonArray::fromStringList(found)).toJson(QJsonDocument::Compact));
}

QString PageServices::indexRows(QString sku, QString place, QString after, QString count, QString sourceLanguage)
{
    IndexRows::Place from;
    const QJsonDocument key = QJsonDocument::fromJson(place.toUtf8());
    if (key.isArray() && key.array().size() == 3) {
        from.name = key.array().at(0).toString();
        from.lemma = key.array().at(1).toVariant().toLongLong();
        from.file = key.array().at(2).toVariant().toLongLong();
    } else {
        from.name = place.toLower();
    }
    const int rows = qBound(0, count.toInt(), 500);
    QJsonArray out;
    for (const IndexRows::Row& r : IndexRows::read(sku, sourceLanguage, from, after == QLatin1String("1"), rows)) {
        QJsonObject item;
        item.insert(QStringLiteral("idzenta"), r.id);
        item.insert(QStringLiteral("word"), r.word);
        item.insert(QStringLiteral("file"), r.file);
        item.insert(QStringLiteral("omo"), r.omo);
        item.insert(QStringLiteral("hw"), r.hw);
        item.insert(QStringLiteral("k"), QJsonArray { r.place.name, double(r.place.lemma), double(r.place.file) });
        out.append(item);
    }
    return QString::fromUtf8(QJsonDocument(out).toJson(QJsonDocument::Compact));
}
