// The page-parameter parser of the script bridge. Input: a query text ("a=1&b=2").
// Invariants: the parameters are exactly the '&'-separated parts, each split at its first '='
// (name before, value up to the next '='), the last part of a name winning; "idbook" sets the
// current book; an earlier page's parameters are forgotten.
#include "fuzz/fuzzsupport.h"
#include "web/qtjavascriptinteraction.h"

#include <QMap>

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    FuzzSupport::initialize(argc, argv);
    return 0;
}

namespace {
// Written out by hand with indexOf, not with split, so the check does not share the parser's steps.
QMap<QString, QString> expected(const QString& query)
{
    QMap<QString, QString> parameters;
    if (query.isEmpty())
        return parameters;
    int start = 0;
    for (;;) {
        const int amp = query.indexOf(QLatin1Char('&'), start);
        const int end = amp < 0 ? query.size() : amp;
        const QString part = query.mid(start, end - start);
        const int eq = part.indexOf(QLatin1Char('='));
        QString name = eq < 0 ? part : part.left(eq);
        QString value;
        if (eq >= 0) {
            const int next = part.indexOf(QLatin1Char('='), eq + 1);
            value = part.mid(eq + 1, next < 0 ? -1 : next - eq - 1);
        }
        parameters[name] = value;
        if (amp < 0)
            return parameters;
        start = amp + 1;
    }
}
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QString query = QString::fromUtf8(reinterpret_cast<const char*>(data), int(size));
    QtJavascriptInteraction bridge;
    bridge.parsePageParameters(QStringLiteral("earlier=page&idbook=before"));
    bridge.parsePageParameters(query);

    const QMap<QString, QString> wanted = expected(query);
    FUZZ_CHECK(bridge.parameters() == wanted, query);
    for (auto it = wanted.cbegin(); it != wanted.cend(); ++it)
        FUZZ_CHECK(bridge.getParameter(it.key()) == it.value(), it.key());
    const QString book = wanted.contains(QStringLiteral("idbook")) ? wanted.value(QStringLiteral("idbook"))
                                                                 : QStringLiteral("before");
    FUZZ_CHECK(bridge.getBookID() == book, query);
    return 0;
}
