#include "web/pageservices.h"

#include "search/bookdatabase.h"
#include "search/booksearch.h"
#include "search/searchstatements.h"

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

int PageServices::indexPosition(QString sku, QString word, QString sourceLanguage)
{
    const QString path = getBookDatabasePath(sku);
    BookDatabase database;
    if (path.isEmpty() || !database.open(path))
        return -1;
    const int position = database.count(SearchStatements::wordListPosition(word, sourceLanguage));
    database.close();
    return position;
}
