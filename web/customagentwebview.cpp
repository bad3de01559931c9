#include "web/customagentwebview.h"

CustomAgentWebView::CustomAgentWebView(QWidget* parent)
    : QWebView(parent)
{
    // Every page is typed into at once: the login form, the library, the search box.
    connect(this, &QWebView::loadFinished, this, [this] { setFocus(Qt::OtherFocusReason); });
}

CustomAgentWebView::~CustomAgentWebView() = default;
