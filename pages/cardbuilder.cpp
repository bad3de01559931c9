#include "pages/cardbuilder.h"

#include <QCryptographicHash>
#include <QRegularExpression>
#include <QSet>
#include <QVector>
#include <QXmlStreamReader>

namespace {
// The only tags a side keeps inside a sense; the others leave their text.
const QSet<QString> inlineTags { QStringLiteral("b"), QStringLiteral("i"), QStringLiteral("em"),
    QStringLiteral("strong"), QStringLiteral("span"), QStringLiteral("br") };

QString escaped(const QString& text) { return text.toHtmlEscaped(); }

// A class value with nothing but letters, digits, '-', '_' and spaces.
QString classAttribute(const QString& value)
{
    QString safe = value;
    safe.remove(QRegularExpression(QStringLiteral("[^A-Za-z0-9_ -]")));
    safe = safe.simplified();
    return safe.isEmpty() ? QString() : QStringLiteral(" class=\"") + safe + QLatin1Char('"');
}

bool hasClass(const QXmlStreamReader& xml, const QString& name)
{
    return xml.attributes().value(QStringLiteral("class")).toString().split(QLatin1Char(' ')).contains(name);
}

// Whether the element the reader is on begins a sense block: a "def" paragraph, or when the
// entry has none, any paragraph or list item.
bool isSense(const QXmlStreamReader& xml, bool definitions)
{
    const QStringRef tag = xml.name();
    if (definitions)
        return tag == QLatin1String("p") && hasClass(xml, QStringLiteral("def"));
    return tag == QLatin1String("p") || tag == QLatin1String("li");
}

// Copies the sense blocks of an entry onto the allowed tags, within the letters allowed.
class SenseCopy {
public:
    SenseCopy(const QString& html, bool definitions)
        : xml(QStringLiteral("<entry>") + html + QStringLiteral("</entry>"))
        , definitions(definitions)
    {
    }

    QString run()
    {
        while (!xml.atEnd() && letters > 0) {
            switch (xml.readNext()) {
            case QXmlStreamReader::StartElement:
                opened();
                break;
            case QXmlStreamReader::EndElement:
                closed();
                break;
            case QXmlStreamReader::Characters:
                if (!open.isEmpty())
                    text(xml.text().toString());
                break;
            default:
                break;
            }
        }
        while (!open.isEmpty())
            closed();
        return out;
    }

private:
    void opened()
    {
        if (open.isEmpty()) {
            if (!isSense(xml, definitions) || blocks == CardBuilder::MaxSenses)
                return;
            ++blocks;
            blockStart = out.size();
            blockHasText = false;
            open << QStringLiteral("p");
            out += QStringLiteral("<p") + classAttribute(xml.attributes().value(QStringLiteral("class")).toString())
                + QLatin1Char('>');
            return;
        }
        const QString tag = xml.name().toString().toLower();
        const bool kept = inlineTags.contains(tag);
        open << (kept ? tag : QString());
        if (tag == QLatin1String("br"))
            out += QStringLiteral("<br>");
        else if (kept)
            out += QLatin1Char('<') + tag + classAttribute(xml.attributes().value(QStringLiteral("class")).toString())
                + QLatin1Char('>');
    }

    void closed()
    {
        if (open.isEmpty())
            return;
        const QString tag = open.takeLast();
        if (!tag.isEmpty() && tag != QLatin1String("br"))
            out += QStringLiteral("</") + tag + QLatin1Char('>');
        // A block without text (an empty definition) leaves nothing and does not count.
        if (open.isEmpty() && !blockHasText) {
            out.truncate(blockStart);
            --blocks;
        }
    }

    void text(const QString& piece)
    {
        blockHasText = blockHasText || !piece.trimmed().isEmpty();
        if (piece.size() <= letters) {
            out += escaped(piece);
            letters -= piece.size();
            return;
        }
        out += escaped(piece.left(letters).trimmed()) + QStringLiteral("…");
        letters = 0;
    }

    QXmlStreamReader xml;
    bool definitions;
    QVector<QString> open; // the block's tags within; empty: the one kept is closed
    QString out;
    int blocks = 0;
    int blockStart = 0;
    bool blockHasText = false;
    int letters = CardBuilder::MaxLetters;
};

bool hasDefinitions(const QString& html)
{
    QXmlStreamReader xml(QStringLiteral("<entry>") + html + QStringLiteral("</entry>"));
    while (!xml.atEnd())
        if (xml.readNext() == QXmlStreamReader::StartElement && isSense(xml, true))
            return true;
    return false;
}

// "²" for "2": the homograph number beside the headword.
QString superscript(const QString& number)
{
    static const QString digits = QStringLiteral("⁰¹²³⁴⁵⁶⁷⁸⁹");
    QString out;
    for (const QChar c : number)
        out += c.isDigit() && c.digitValue() >= 0 && c.digitValue() <= 9 ? digits.at(c.digitValue()) : c;
    return out;
}

// A tag for the dictionary: its title without spaces (which part tags), or its sku.
QString dictionaryTag(const CardBuilder::Saved& saved)
{
    QString tag = saved.dictionary.simplified().replace(QLatin1Char(' '), QLatin1Char('_'));
    tag.remove(QRegularExpression(QStringLiteral("[\"\\x00-\\x1f]")));
    return tag.isEmpty() ? saved.sku : tag;
}

// The user's note as HTML: escaped, its line breaks kept.
QString noteHtml(const QString& note)
{
    QString html = escaped(note.trimmed());
    html.replace(QStringLiteral("\r\n"), QStringLiteral("\n")).replace(QLatin1Char('\t'), QLatin1Char(' '));
    return html.replace(QLatin1Char('\n'), QStringLiteral("<br>"));
}
}

QString CardBuilder::cardId(const QString& sku, const QString& file, const QString& entryId)
{
    const QByteArray key = (sku + QLatin1Char('\n') + file + QLatin1Char('\n') + entryId).toUtf8();
    return QStringLiteral("vocalume-")
        + QString::fromLatin1(QCryptographicHash::hash(key, QCryptographicHash::Sha1).toHex().left(20));
}

QString CardBuilder::firstSenses(const QString& entryHtml)
{
    return SenseCopy(entryHtml, hasDefinitions(entryHtml)).run();
}

void CardBuilder::add(const Saved& saved, const QString& entryHtml)
{
    const QString id = cardId(saved.sku, saved.file, saved.entryId);
    if (!byId.contains(id)) {
        byId.insert(id, entries.size());
        Entry entry;
        entry.saved = saved;
        entry.senses = firstSenses(entryHtml);
        entries.append(entry);
    }
    Entry& entry = entries[byId.value(id)];
    entry.favourite = entry.favourite || saved.favourite;
    if (!saved.note.trimmed().isEmpty())
        entry.note = saved.note;
}

FlashCards CardBuilder::cards() const
{
    FlashCards out;
    for (const Entry& entry : entries)
        out << card(entry);
    return out;
}

FlashCard CardBuilder::card(const Entry& entry)
{
    const Saved& s = entry.saved;
    FlashCard card;
    card.id = cardId(s.sku, s.file, s.entryId);
    card.front = QStringLiteral("<b>") + escaped(s.headword) + QStringLiteral("</b>")
        + (s.homograph.isEmpty() ? QString()
                                 : QStringLiteral("<span class=\"omografo\">") + escaped(superscript(s.homograph))
                    + QStringLiteral("</span>"))
        + (s.dictionary.isEmpty() ? QString()
                                  : QStringLiteral("<br><span class=\"dizionario\">") + escaped(s.dictionary)
                    + QStringLiteral("</span>"));
    card.back = entry.senses;
    if (!entry.note.isEmpty())
        card.back += QStringLiteral("<p class=\"nota\"><i>Nota:</i> ") + noteHtml(entry.note) + QStringLiteral("</p>");
    card.tags << QStringLiteral("vocalume") << dictionaryTag(s);
    if (entry.favourite)
        card.tags << QStringLiteral("preferito");
    if (!entry.note.isEmpty())
        card.tags << QStringLiteral("nota");
    return card;
}
