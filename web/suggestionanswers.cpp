#include "web/suggestionanswers.h"

#include "base/scriptliteral.h"
#include "search/spellingsuggestions.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QThread>
#include <memory>

SuggestionAnswers::SuggestionAnswers(QObject* parent)
    : QObject(parent)
{
    connect(&suggestions, &HeadwordSuggestions::ready, this, &SuggestionAnswers::read);
}

SuggestionAnswers::~SuggestionAnswers()
{
    for (QThread* thread : findChildren<QThread*>())
        thread->wait();
}

void SuggestionAnswers::suggestEverywhere(const QString& word, const QString& books, const QString& callback)
{
    QVector<SpellingSuggestions::Book> list;
    for (const QJsonValue& book : QJsonDocument::fromJson(books.toUtf8()).array())
        list.push_back({ book.toObject().value(QStringLiteral("sku")).toString(),
            book.toObject().value(QStringLiteral("lang")).toString() });
    auto found = std::make_shared<QStringList>();
    QThread* thread = QThread::create([list, word, found] { *found = SpellingSuggestions::closest(list, word); });
    thread->setParent(this);
    connect(thread, &QThread::finished, this, [this, thread, found, callback] {
        thread->deleteLater();
        QStringList words;
        for (const QString& w : qAsConst(*found))
            words << QLatin1Char('"') + ScriptLiteral::escapeNested(w, QLatin1Char('"'), QLatin1Char('\'')) + QLatin1Char('"');
        emit pageStatement(ScriptLiteral::singleQuoted(
            callback, QStringLiteral("{result:true,words:[") + words.join(QLatin1Char(',')) + QStringLiteral("]}")));
    });
    thread->start(QThread::LowPriority);
}

void SuggestionAnswers::prepare(const QString& sku, const QString& sourceLanguage, const QString& callback)
{
    listener = { sku, sourceLanguage, callback };
    if (suggestions.isReady(sku, sourceLanguage))
        read(sku, sourceLanguage);
    else
        suggestions.prepare(sku, sourceLanguage);
}

void SuggestionAnswers::read(const QString& sku, const QString& sourceLanguage)
{
    if (!listener.callback.isEmpty() && listener.sku == sku && listener.language == sourceLanguage)
        emit pageStatement(ScriptLiteral::singleQuoted(listener.callback, QStringLiteral("{result:true}")));
}

QString SuggestionAnswers::suggest(const QString& sku, const QString& word, const QString& sourceLanguage)
{
    bool waiting = false;
    const QStringList found = suggestions.suggest(sku, word, sourceLanguage, 5, &waiting);
    if (waiting)
        return QStringLiteral("null");
    return QString::fromUtf8(QJsonDocument(QJsonArray::fromStringList(found)).toJson(QJsonDocument::Compact));
}
