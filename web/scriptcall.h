// Runs the statements of ScriptLiteral in a page.
#pragma once

#include <QString>
#include <functional>

class QWebView;

class ScriptCall
{
public:
    // Evaluates `statement` in the main frame of `view`'s page (GUI thread only).
    static void run(QWebView* view, const QString& statement);
    // Every statement run also reaches the recorder (tests); an empty recorder removes it.
    static void setRecorder(std::function<void(const QString& statement)> recorder);
};
