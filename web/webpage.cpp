#include "web/webpage.h"

#include "base/diagnostics.h"
#include "web/enginenetworkaccess.h"
#include "web/engineurls.h"

#include <QNetworkRequest>
#include <QWebFrame>

webPage::webPage(QObject* parent)
    : QWebPage(parent)
{
    setNetworkAccessManager(new EngineNetworkAccess(this));
}

webPage::~webPage() = default;

bool webPage::shouldInterruptJavaScript()
{
    return false;
}

QString webPage::userAgentForUrl(const QUrl&) const
{
    return QStringLiteral("brevinapc Qt");
}

bool webPage::acceptNavigationRequest(QWebFrame* frame, const QNetworkRequest& request, NavigationType type)
{
    const QUrl url = request.url();
    if (frame == mainFrame() && EngineUrls::isEnginePage(url))
        return true;
    if (type == NavigationTypeLinkClicked && EngineUrls::isOutsideAddress(url))
        emit externalLinkClicked(url);
    else
        Diagnostics::debug("Navigazione rifiutata: %s", qPrintable(url.toString()));
    return false;
}
