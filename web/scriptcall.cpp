#include "web/scriptcall.h"

#include <QWebFrame>
#include <QWebPage>
#include <QWebView>

namespace {
std::function<void(const QString&)> recorder;
}

void ScriptCall::setRecorder(std::function<void(const QString& statement)> r)
{
    recorder = std::move(r);
}

void ScriptCall::run(QWebView* view, const QString& statement)
{
    if (recorder)
        recorder(statement);
    if (view && view->page())
        view->page()->mainFrame()->evaluateJavaScript(statement);
}
