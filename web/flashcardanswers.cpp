#include "web/flashcardanswers.h"

#include "base/scriptliteral.h"
#include "pages/cardbuilder.h"
#include "web/pagereader.h"
#include "web/userfiles.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QThread>
#include <QUrl>
#include <memory>

const QString FlashCardAnswers::Deck = QStringLiteral("Vocalume");

namespace {
// A row of the page as the card builder reads it; its REF holds the entry's id, content file,
// headword and homograph number, each percent-encoded, '|' between them.
CardBuilder::Saved savedOf(const QJsonObject& row)
{
    const QString ref = row.value(QStringLiteral("REF")).toString();
    const auto part = [&ref](int n) { return QUrl::fromPercentEncoding(ref.section(QLatin1Char('|'), n, n).toUtf8()); };
    CardBuilder::Saved saved;
    saved.sku = row.value(QStringLiteral("IDBOOK")).toString();
    saved.dictionary = row.value(QStringLiteral("DIZIONARIO")).toString();
    saved.entryId = part(0);
    saved.file = part(1);
    saved.headword = part(2);
    saved.homograph = part(3);
    const QString table = row.value(QStringLiteral("table")).toString();
    saved.favourite = table == QLatin1String("FAVORITE");
    if (table == QLatin1String("NOTE"))
        saved.note = row.value(QStringLiteral("NOTE")).toString();
    return saved;
}

// A text, number or truth value as a member of the page's result literal.
QString literalValue(const QJsonValue& value)
{
    if (value.isBool())
        return value.toBool() ? QStringLiteral("true") : QStringLiteral("false");
    if (value.isDouble())
        return QString::number(value.toInt());
    return QLatin1Char('"') + ScriptLiteral::escapeNested(value.toString(), QLatin1Char('"'), QLatin1Char('\''))
        + QLatin1Char('"');
}

// A JSON object of such values as the page's result literal.
QString literalOf(const QJsonObject& object)
{
    QStringList members;
    for (auto it = object.begin(); it != object.end(); ++it)
        members << it.key() + QLatin1Char(':') + literalValue(it.value());
    return QLatin1Char('{') + members.join(QLatin1Char(',')) + QLatin1Char('}');
}
}

FlashCardAnswers::FlashCardAnswers(QObject* parent)
    : QObject(parent)
{
    connect(&anki, &AnkiConnect::finished, this, &FlashCardAnswers::sent);
}

FlashCardAnswers::~FlashCardAnswers()
{
    for (QThread* thread : findChildren<QThread*>())
        thread->wait();
}

FlashCards FlashCardAnswers::cards(const QString& rows)
{
    CardBuilder builder;
    for (const QJsonValue& value : QJsonDocument::fromJson(rows.toUtf8()).array()) {
        const CardBuilder::Saved saved = savedOf(value.toObject());
        if (saved.sku.isEmpty() || saved.entryId.isEmpty() || (!saved.favourite && saved.note.trimmed().isEmpty()))
            continue;
        builder.add(saved, PageReader::entryHtml(saved.sku, saved.entryId, saved.file));
    }
    return builder.cards();
}

void FlashCardAnswers::build(const QString& rows, std::function<void(const FlashCards&)> then)
{
    auto made = std::make_shared<FlashCards>();
    QThread* thread = QThread::create([rows, made] { *made = cards(rows); });
    thread->setParent(this);
    connect(thread, &QThread::finished, this, [thread, made, then] {
        thread->deleteLater();
        then(*made);
    });
    thread->start(QThread::LowPriority);
}

void FlashCardAnswers::exportFile(const QString& rows, const QString& callback)
{
    build(rows, [this, callback](const FlashCards& made) {
        const QString outcome = UserFiles::exportAnkiCards(made, Deck);
        emit pageStatement(
            ScriptLiteral::singleQuoted(callback, literalOf(QJsonDocument::fromJson(outcome.toUtf8()).object())));
    });
}

void FlashCardAnswers::send(const QString& rows, const QString& callback)
{
    if (!sendCallback.isEmpty()) {
        emit pageStatement(ScriptLiteral::singleQuoted(callback, QStringLiteral("{result:false,busy:true}")));
        return;
    }
    sendCallback = callback;
    build(rows, [this](const FlashCards& made) {
        if (!made.isEmpty() && anki.send(made, Deck))
            return;
        emit pageStatement(
            ScriptLiteral::singleQuoted(sendCallback, QStringLiteral("{result:true,added:0,present:0}")));
        sendCallback.clear();
    });
}

void FlashCardAnswers::sent()
{
    const QJsonObject outcome = anki.error() == AnkiConnect::Error::None
        ? QJsonObject { { QStringLiteral("result"), true }, { QStringLiteral("added"), anki.added() },
              { QStringLiteral("present"), anki.present() } }
        : QJsonObject { { QStringLiteral("result"), false }, { QStringLiteral("error"), anki.errorString() } };
    emit pageStatement(ScriptLiteral::singleQuoted(sendCallback, literalOf(outcome)));
    sendCallback.clear();
}
