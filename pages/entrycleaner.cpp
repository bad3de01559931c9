#include "pages/entrycleaner.h"

#include <QRegularExpression>
#include <QSet>
#include <QVector>
#include <QXmlStreamReader>
#include <QXmlStreamWriter>

namespace {
using Names = QSet<QString>;

const Names& keptElements()
{
    static const Names names { "a", "abbr", "address", "article", "aside", "b", "bdi", "bdo", "big", "blockquote",
        "br", "caption", "center", "cite", "code", "col", "colgroup", "dd", "del", "details", "dfn", "div", "dl",
        "dt", "em", "figcaption", "figure", "font", "footer", "h1", "h2", "h3", "h4", "h5", "h6", "header", "hr", "i",
        "img", "ins", "kbd", "li", "mark", "ol", "p", "pre", "q", "rp", "rt", "ruby", "s", "samp", "section", "small",
        "span", "strike", "strong", "sub", "summary", "sup", "table", "tbody", "td", "tfoot", "th", "thead", "time",
        "tr", "tt", "u", "ul", "var", "wbr" };
    return names;
}

// Elements whose content is no text to read: left out together with everything inside them.
const Names& droppedWhole()
{
    static const Names names { "script", "style", "template", "noscript", "head", "title", "meta", "link", "base",
        "iframe", "frame", "frameset", "noframes", "object", "embed", "applet", "param", "noembed", "svg", "math",
        "map", "area", "audio", "video", "source", "track", "canvas", "select", "option", "optgroup", "datalist",
        "textarea" };
    return names;
}

const Names& voidElements()
{
    static const Names names { "br", "hr", "img", "col", "wbr" };
    return names;
}

// Attributes that only shape or describe the text; addresses and styles are checked apart. Names
// are left out: the page looks its own controls up by name.
const Names& keptAttributes()
{
    static const Names names { "id", "class", "title", "lang", "dir", "align", "valign", "width", "height",
        "colspan", "rowspan", "headers", "scope", "span", "start", "type", "reversed", "value", "border",
        "cellpadding", "cellspacing", "summary", "color", "size", "face", "datetime", "alt" };
    return names;
}

// A style that neither loads anything nor leaves the entry's box, read without the blanks and
// controls a word may be split by.
bool isHarmlessStyle(const QString& css)
{
    QString lower;
    for (const QChar c : css)
        if (!c.isSpace() && c.unicode() > 0x20)
            lower += c.toLower();
    for (const char* word : { "url", "image", "import", "expression", "behavior", "binding", "position", "@", "\\", "/*" })
        if (lower.contains(QLatin1String(word)))
            return false;
    return true;
}

// `text` without the characters XML cannot hold; `lineBreaks` keeps tabs and line feeds.
QString xmlCharacters(const QString& text, bool lineBreaks)
{
    QString out;
    out.reserve(text.size());
    for (int i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c.isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate()) {
            out += c;
            out += text.at(++i);
            continue;
        }
        const ushort u = c.unicode();
        const bool control = u < 0x20 && !(lineBreaks && (u == '\t' || u == '\n'));
        if (!control && !c.isSurrogate() && u != 0xFFFE && u != 0xFFFF)
            out += c;
    }
    return out;
}

bool keptAttribute(const QString& element, const QString& name, const QString& value)
{
    if (name == QLatin1String("href"))
        return element == QLatin1String("a") && EntryCleaner::isSafeAddress(value, false);
    if (name == QLatin1String("src"))
        return element == QLatin1String("img") && EntryCleaner::isSafeAddress(value, true);
    if (name == QLatin1String("style"))
        return isHarmlessStyle(value);
    return keptAttributes().contains(name);
}

void writeAttributes(QXmlStreamWriter& writer, const QString& element, const QXmlStreamAttributes& attributes)
{
    Names written;
    for (const QXmlStreamAttribute& attribute : attributes) {
        const QString name = attribute.name().toString().toLower();
        const QString value = xmlCharacters(attribute.value().toString(), false);
        if (attribute.namespaceUri().isEmpty() && !written.contains(name) && keptAttribute(element, name, value)) {
            writer.writeAttribute(name, value);
            written.insert(name);
        }
    }
}

bool isXhtml(const QStringRef& namespaceUri)
{
    return namespaceUri.isEmpty() || namespaceUri == QLatin1String("http://www.w3.org/1999/xhtml");
}

// One pass over an entry: the tags written, and how deep the reader is inside what is left out.
class Pass
{
public:
    explicit Pass(QString* out)
        : writer(out)
    {
    }

    void start(const QXmlStreamReader& reader)
    {
        const QString name = reader.name().toString().toLower();
        if (skipped > 0 || droppedWhole().contains(name)) {
            ++skipped;
            return;
        }
        const bool kept = isXhtml(reader.namespaceUri()) && keptElements().contains(name);
        if (kept && voidElements().contains(name)) {
            writer.writeEmptyElement(name);
            writeAttributes(writer, name, reader.attributes());
            skipped = 1; // a void element holds nothing
            return;
        }
        if (kept) {
            writer.writeStartElement(name);
            writeAttributes(writer, name, reader.attributes());
        }
        open.append(kept);
    }

    // False at the end of the entry itself.
    bool end()
    {
        if (skipped > 0)
            --skipped;
        else if (open.isEmpty())
            return false;
        else if (open.takeLast())
            closeElement();
        return true;
    }

    void text(const QStringRef& text)
    {
        if (skipped == 0)
            writer.writeCharacters(xmlCharacters(text.toString(), true));
    }

    // Closes what a text that is not well-formed left open, and a last void element.
    void finish()
    {
        while (!open.isEmpty())
            if (open.takeLast())
                closeElement();
        writer.writeCharacters(QString());
    }

private:
    void closeElement()
    {
        // An empty element still gets its end tag: "<span/>" would stay open for an HTML reader.
        writer.writeCharacters(QString());
        writer.writeEndElement();
    }

    QXmlStreamWriter writer;
    QVector<bool> open; // for each element inside the entry: whether its tags are written
    int skipped = 0;    // depth inside an element left out with its content
};
}

bool EntryCleaner::isSafeAddress(const QString& value, bool picture)
{
    QString probe;
    for (const QChar c : value)
        if (c.unicode() > 0x20 && c.unicode() != 0x7F)
            probe += c;
    if (probe.isEmpty())
        return !picture;
    // "/x" and "//host/x" would leave the package for the disk or a host.
    if (probe.startsWith(QLatin1Char('/')) || probe.startsWith(QLatin1Char('\\')))
        return false;
    static const QRegularExpression scheme(QStringLiteral("^([A-Za-z][A-Za-z0-9+.-]*):"));
    const QRegularExpressionMatch match = scheme.match(probe);
    if (!match.hasMatch())
        return true;
    const QString name = match.captured(1).toLower();
    return !picture && (name == QLatin1String("http") || name == QLatin1String("https") || name == QLatin1String("mailto"));
}

QString EntryCleaner::clean(const QString& xhtml)
{
    QXmlStreamReader reader(QStringLiteral("<entry>") + xhtml + QStringLiteral("</entry>"));
    QString out;
    Pass pass(&out);
    reader.readNextStartElement();
    while (!reader.atEnd() && !reader.hasError()) {
        const QXmlStreamReader::TokenType token = reader.readNext();
        if (token == QXmlStreamReader::StartElement)
            pass.start(reader);
        else if (token == QXmlStreamReader::EndElement && !pass.end())
            break;
        else if (token == QXmlStreamReader::Characters)
            pass.text(reader.text());
    }
    pass.finish();
    return out;
}
