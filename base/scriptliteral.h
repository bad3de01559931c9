// The statements through which native code answers the page: a call of the page's global
// SignalQt with the page's callback name and a result literal, in the three forms in use.
// Plain text building, so any layer (and any thread) can prepare an answer; running it in the
// page is the web layer's ScriptCall.
#pragma once

#include <QChar>
#include <QString>

class ScriptLiteral
{
public:
    // SignalQt('<callback>', '<literal>')
    static QString singleQuoted(const QString& callback, const QString& literal);
    // SignalQt('<callback>', "<literal>")
    static QString doubleQuoted(const QString& callback, const QString& literal);
    // SignalQt('<callback>', '<literal>', 'true'): an intermediate notification.
    static QString intermediate(const QString& callback, const QString& literal);

    // Makes `text` safe inside a script string delimited by `quote` that itself sits inside a
    // script string delimited by `outerQuote` (as a literal's text values do): backslashes,
    // both quotes, line breaks and "</" can neither end a string nor the script.
    static QString escapeNested(const QString& text, QChar quote, QChar outerQuote);
    // `text` as a double-quoted script string (an argument of a page function), which nothing in
    // the text can end.
    static QString string(const QString& text);
};
