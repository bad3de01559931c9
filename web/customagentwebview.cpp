#include "web/customagentwebview.h"

CustomAgentWebView::CustomAgentWebView(QWidget* parent)
    : QWebView(parent)
{
}

CustomAgentWebView::~CustomAgentWebView() = default;
