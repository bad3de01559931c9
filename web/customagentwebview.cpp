#include "web/customagentwebview.h"

#include <QWebSettings>

namespace {
// Late enough that the new page has drawn itself and started its own work.
const int releaseDelayMs = 500;
}

CustomAgentWebView::CustomAgentWebView(QWidget* parent)
    : QWebView(parent)
{
    // Every page is typed into at once: the login form, the library, the search box.
    connect(this, &QWebView::loadFinished, this, [this] { setFocus(Qt::OtherFocusReason); });
    releaseLeftPages.setSingleShot(true);
    releaseLeftPages.setInterval(releaseDelayMs);
    connect(&releaseLeftPages, &QTimer::timeout, this, [] { QWebSettings::clearMemoryCaches(); });
    pageLoaded = connect(this, &QWebView::loadFinished, this, [this] {
        if (!releaseLeftPages.isActive())
            releaseLeftPages.start();
    });
}

CustomAgentWebView::~CustomAgentWebView()
{
    // The page goes after this part of the view and still reports its load as ended: the timer
    // is gone by then.
    disconnect(pageLoaded);
}
