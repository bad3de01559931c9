// The cleaning of dictionary entries before the page shows them. Input: the entry's XHTML.
// Invariants: the result is well-formed; no element in it can run script, hold a frame, an
// object, a form or an image map; no attribute is an event handler; every address in it is one
// the page handles, read as the web engine reads it (without controls and white space); no style
// loads anything; cleaning the result again changes nothing.
#include "fuzz/fuzzsupport.h"
#include "pages/entrycleaner.h"

#include <QXmlStreamReader>

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    FuzzSupport::initialize(argc, argv);
    return 0;
}

namespace {
// Written apart from the cleaner's own lists: the names that must never come through.
bool isForbiddenElement(const QString& name)
{
    static const QStringList names { "script", "style", "iframe", "frame", "object", "embed", "applet", "form",
        "input", "button", "meta", "link", "base", "map", "area", "svg", "math", "template" };
    return names.contains(name);
}

bool isForbiddenAttribute(const QString& name, const QString& value)
{
    QString address;
    for (const QChar c : value)
        if (!c.isSpace() && c.unicode() > 0x20)
            address += c.toLower();
    if (name == QLatin1String("href") || name == QLatin1String("src"))
        return !EntryCleaner::isSafeAddress(value, name == QLatin1String("src")) || address.startsWith("javascript:")
            || address.startsWith("data:") || address.startsWith("//");
    return name.startsWith(QLatin1String("on")) || (name == QLatin1String("style") && address.contains("url"))
        || name == QLatin1String("usemap") || name == QLatin1String("action") || name == QLatin1String("formaction");
}
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QString input = QString::fromUtf8(reinterpret_cast<const char*>(data), int(size));
    const QString out = EntryCleaner::clean(input);
    QXmlStreamReader reader(QStringLiteral("<entry>") + out + QStringLiteral("</entry>"));
    while (!reader.atEnd()) {
        if (reader.readNext() != QXmlStreamReader::StartElement)
            continue;
        const QString name = reader.name().toString();
        FUZZ_CHECK(!isForbiddenElement(name.toLower()), out);
        for (const QXmlStreamAttribute& attribute : reader.attributes())
            FUZZ_CHECK(!isForbiddenAttribute(attribute.name().toString().toLower(), attribute.value().toString()),
                       out);
    }
    FUZZ_CHECK(!reader.hasError(), reader.errorString() + QLatin1Char('\n') + out);
    FUZZ_CHECK(EntryCleaner::clean(out) == out, input + QLatin1Char('\n') + out);
    return 0;
}
