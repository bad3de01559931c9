#include "web/pageservices.h"

#include <QJsonArray>
#include <QJsonDocument>

PageServices::PageServices(QObject* parent)
    : QObject(parent)
{
}

QString PageServices::suggest(QString sku, QString word, QString sourceLanguage)
{
    const QStringList found = suggestions.suggest(sku, word, sourceLanguage);
    return QString::fromUtf8(QJsonDocument(QJsonArray::fromStringList(found)).toJson(QJsonDocument::Compact));
}
