#include "base/scriptliteral.h"

QString ScriptLiteral::singleQuoted(const QString& callback, const QString& literal)
{
    return QStringLiteral("SignalQt('") + callback + QStringLiteral("', '") + literal + QStringLiteral("')");
}

QString ScriptLiteral::doubleQuoted(const QString& callback, const QString& literal)
{
    return QStringLiteral("SignalQt('") + callback + QStringLiteral("', \"") + literal + QStringLiteral("\")");
}

QString ScriptLiteral::intermediate(const QString& callback, const QString& literal)
{
    return QStringLiteral("SignalQt('") + callback + QStringLiteral("', '") + literal + QStringLiteral("', 'true')");
}

namespace {
// Escapes one character for a script string literal as a \uXXXX sequence.
QString unicodeEscape(QChar c)
{
    return QStringLiteral("\\u%1").arg(c.unicode(), 4, 16, QLatin1Char('0'));
}
}

QString ScriptLiteral::escapeNested(const QString& text, QChar quote, QChar outerQuote)
{
    // The inner string is read twice: once by the outer script string, once by the literal's
    // own evaluation. A \uXXXX escape written with a doubled backslash survives the first read
    // as \uXXXX and becomes the character at the second, so no character can end either string.
    QString out;
    out.reserve(text.size());
    for (const QChar c : text) {
        const bool special = c == QLatin1Char('\\') || c == quote || c == outerQuote || c == QLatin1Char('<')
            || c == QLatin1Char('>') || c.unicode() < 0x20 || c == QChar(0x2028) || c == QChar(0x2029);
        if (special)
            out += QLatin1Char('\\') + unicodeEscape(c);
        else
            out += c;
    }
    return out;
}

QString ScriptLiteral::string(const QString& text)
{
    QString out = QStringLiteral("\"");
    for (const QChar c : text) {
        const bool special = c == QLatin1Char('\\') || c == QLatin1Char('"') || c.unicode() < 0x20
            || c == QChar(0x2028) || c == QChar(0x2029);
        out += special ? unicodeEscape(c) : QString(c);
    }
    return out + QLatin1Char('"');
}
