// The one web view that shows every page of the engine.
#pragma once

#include <QWebView>

class CustomAgentWebView : public QWebView
{
public:
    explicit CustomAgentWebView(QWidget* parent = nullptr);
    ~CustomAgentWebView() override;
};
