#include "web/flashcardanswers.h"

#include "base/scriptliteral.h"
#include "pages/cardbuilder.h"
#include "web/pagereader.h"
#include "web/userfiles.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QUrl>

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
}

FlashCardAnswers::FlashCardAnswers(QObject* parent)
    : QObject(parent)
{
    connect(&anki, &AnkiConnect::finished, this, &FlashCardAnswers::sent);
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

QString FlashCardAnswers::exportFile(const QString& rows)
{
    return UserFiles::exportAnkiCards(cards(rows), Deck);
}

void FlashCardAnswers::send(const QString& rows, const QString& callback)
{
    const FlashCards all = cards(rows);
    if (all.isEmpty()) {
        emit pageStatement(ScriptLiteral::singleQuoted(callback, QStringLiteral("{result:true,added:0,present:0}")));
        return;
    }
    if (!anki.send(all, Deck)) {
        emit pageStatement(ScriptLiteral::singleQuoted(callback, QStringLiteral("{result:false,busy:true}")));
        return;
    }
    sendCallback = callback;
}

void FlashCardAnswers::sent()
{
    const QString literal = anki.error() == AnkiConnect::Error::None
        ? QStringLiteral("{result:true,added:%1,present:%2}").arg(anki.added()).arg(anki.present())
        : QStringLiteral("{result:false,error:\"%1\"}").arg(ScriptLiteral::escapeNested(anki.errorString(), QLatin1Char('"'), QLatin1Char('\'')));
    emit pageStatement(ScriptLiteral::singleQuoted(sendCallback, literal));
    sendCallback.clear();
}
