// The statements through which native code answers the page: a call of the page's global
// SignalQt with the page's callback name and a result literal, in the three forms in use.
#pragma once

#include <QString>
#include <functional>

class QWebView;

class ScriptCall
{
public:
    // SignalQt('<callback>', '<literal>')
    static QString singleQuoted(const QString& callback, const QString& literal);
    // SignalQt('<callback>', "<literal>")
    static QString doubleQuoted(const QString& callback, const QString& literal);
    // SignalQt('<callback>', '<literal>', 'true'): an intermediate notification.
    static QString intermediate(const QString& callback, const QString& literal);

    // Evaluates `statement` in the main frame of `view`'s page (GUI thread only).
    static void run(QWebView* view, const QString& statement);
    // Every statement run also reaches the recorder (tests); an empty recorder removes it.
    static void setRecorder(std::function<void(const QString& statement)> recorder);

    // Makes `text` safe inside a script string delimited by `quote` that itself sits inside a
    // script string delimited by `outerQuote` (as a literal's text values do): backslashes,
    // both quotes, line breaks and "</" can neither end a string nor the script.
    static QString escapeNested(const QString& text, QChar quote, QChar outerQuote);
};
