// The one web view that shows every page of the engine.
#pragma once

#include <QTimer>
#include <QWebView>

class CustomAgentWebView : public QWebView
{
public:
    explicit CustomAgentWebView(QWidget* parent = nullptr);
    ~CustomAgentWebView() override;

private:
    // A page that was left is garbage of the script engine, and what it used stays in WebKit's
    // memory caches and allocator until they are told to let go, which WebKit alone does late
    // or never: every page opened again kept more. Shortly after a page has loaded the caches
    // are emptied, which also collects the script garbage and gives free memory back. Pages
    // opened in quick succession share one emptying.
    QTimer releaseLeftPages;
    QMetaObject::Connection pageLoaded;
};
