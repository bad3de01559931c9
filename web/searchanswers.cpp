#include "web/searchanswers.h"

#include "base/diagnostics.h"
#include "base/scriptliteral.h"
#include "search/indexrows.h"
#include "web/resultliteral.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

SearchAnswers::SearchAnswers(QObject* parent)
    : QObject(parent)
{
    connect(&searches, &SearchService::searchEnded, this, &SearchAnswers::answer);
    // A request replaced while it waited never answers: its callback is forgotten.
    connect(&searches, &SearchService::requestDropped, this, [this](int requestId) { callbacks.remove(requestId); });
}

void SearchAnswers::search(const SearchRequest& request, const QString& callback)
{
    callbacks.insert(searches.search(request), callback);
}

void SearchAnswers::searchEach(const QList<Asked>& asked)
{
    QList<SearchRequest> requests;
    for (const Asked& a : asked)
        requests << a.request;
    const QList<int> ids = searches.searchEach(requests);
    for (int i = 0; i < ids.size(); ++i)
        callbacks.insert(ids.at(i), asked.at(i).callback);
}

void SearchAnswers::getWords(const SearchRequest& request, const QString& callback)
{
    callbacks.insert(searches.getWords(request), callback);
}

void SearchAnswers::getScopes(const QString& sku, const QString& callback)
{
    Diagnostics::debug("getScopes callback: %s", qPrintable(callback));
    const QString statement = ScriptLiteral::doubleQuoted(callback, ResultLiteral::scopes(searches.getScopes(sku)));
    emit pageStatement(statement);
    Diagnostics::debug("Risposta getScopes: %s", statement.toUtf8().constData());
}

void SearchAnswers::answer(int requestId, const SearchResults& results)
{
    const QString statement = ScriptLiteral::singleQuoted(callbacks.take(requestId), ResultLiteral::search(results));
    emit pageStatement(statement);
    if (Diagnostics::wanted()) {
        Diagnostics::debug("%s", results.kind == SearchResults::Kind::WordList ? "Risposta analitic:\n" : "Risposta ricerca:\n");
        Diagnostics::debug("%s", statement.toUtf8().constData());
    }
}

void SearchAnswers::searchEachBook(const QString& word, const QString& type, const QString& books, const QString& offset)
{
    QList<SearchAnswers::Asked> asked;
    for (const QJsonValue& value : QJsonDocument::fromJson(books.toUtf8()).array()) {
        const QJsonObject book = value.toObject();
        asked << SearchAnswers::Asked { { word, QString(), type, book.value(QStringLiteral("sku")).toString(),
                                            QStringLiteral("0"), offset, book.value(QStringLiteral("lang")).toString() },
            book.value(QStringLiteral("callback")).toString() };
    }
    searchEach(asked);
}

QString SearchAnswers::indexRows(
    const QString& sku, const QString& place, const QString& after, const QString& count, const QString& sourceLanguage)
{
    IndexRows::Place from;
    const QJsonArray key = QJsonDocument::fromJson(place.toUtf8()).array();
    if (key.size() == 3) {
        from.name = key.at(0).toString();
        from.lemma = key.at(1).toVariant().toLongLong();
        from.file = key.at(2).toVariant().toLongLong();
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
