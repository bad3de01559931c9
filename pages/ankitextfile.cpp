#include "pages/ankitextfile.h"

#include "base/wholefile.h"

#include <QRegularExpression>

QString AnkiTextFile::field(const QString& value)
{
    static const QRegularExpression special(QStringLiteral("[\\t\\r\\n\"]"));
    if (!value.contains(special))
        return value;
    return QLatin1Char('"') + QString(value).replace(QLatin1Char('"'), QStringLiteral("\"\"")) + QLatin1Char('"');
}

QByteArray AnkiTextFile::text(const FlashCards& cards, const QString& deck)
{
    // The deck's name is a header's value: one line.
    const QString deckName = QString(deck).replace(QRegularExpression(QStringLiteral("[\\r\\n]")), QStringLiteral(" "));
    QString out = QStringLiteral("#separator:tab\n#html:true\n#notetype:Basic\n#deck:") + deckName
        + QStringLiteral("\n#guid column:1\n#tags column:4\n");
    for (const FlashCard& card : cards)
        out += field(card.id) + QLatin1Char('\t') + field(card.front) + QLatin1Char('\t') + field(card.back)
            + QLatin1Char('\t') + field(card.tags.join(QLatin1Char(' '))) + QLatin1Char('\n');
    return out.toUtf8();
}

bool AnkiTextFile::write(const QString& path, const FlashCards& cards, const QString& deck)
{
    WholeFile file(path);
    if (file.write(text(cards, deck))) {
        failure.clear();
        return true;
    }
    failure = QStringLiteral("Impossibile scrivere il file %1: %2.").arg(path, file.errorString());
    return false;
}
