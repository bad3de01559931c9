// The division extraction of content pages. Input: the asked id on the first line, then the
// XHTML text.
// Invariant: the answer is empty or a sequence of serialised div elements whose id attribute is
// exactly the asked id (an id can never widen or change the query it lands in).
// Found: an ampersand in the id was read as a reference inside the query's string.
#include "fuzz/fuzzsupport.h"
#include "pages/pageloader.h"

#include <QXmlStreamReader>

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    FuzzSupport::initialize(argc, argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QString input = QString::fromUtf8(reinterpret_cast<const char*>(data), int(size));
    const int newline = input.indexOf(QLatin1Char('\n'));
    if (newline < 0)
        return 0;
    const QString id = input.left(newline);
    const QString text = input.mid(newline + 1);
    // Qt's XML reader lets a zero character through into names that its serializer then writes
    // as they are; no content file holds one, so such texts are left out.
    if (text.contains(QChar(0)))
        return 0;
    const QString out = PageLoader::extractDivById(id, text);
    if (out.isEmpty())
        return 0;
    QXmlStreamReader reader(QStringLiteral("<answer>") + out + QStringLiteral("</answer>"));
    reader.readNextStartElement();
    int divs = 0;
    while (reader.readNextStartElement()) {
        FUZZ_CHECK(reader.name() == QLatin1String("div"), out);
        FUZZ_CHECK(reader.attributes().value(QStringLiteral("id")) == id, id + QLatin1Char('\n') + out);
        ++divs;
        reader.skipCurrentElement();
    }
    FUZZ_CHECK(!reader.hasError(), reader.errorString() + QLatin1Char('\n') + out);
    FUZZ_CHECK(divs > 0, out);
    return 0;
}
