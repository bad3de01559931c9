// The engine's page: a fixed user agent, long-running scripts never interrupted, and only the
// engine's own pages ever shown. Nothing else reaches the network through it.
#pragma once

#include <QWebPage>

class webPage : public QWebPage
{
    Q_OBJECT
public:
    explicit webPage(QObject* parent = nullptr);
    ~webPage() override;

public slots:
    // Same name and signature as QWebPage's slot, which the web engine invokes by name.
    bool shouldInterruptJavaScript() override;

signals:
    // The user clicked a link to a web or mail address; it opens outside the program.
    void externalLinkClicked(const QUrl& url);

protected:
    QString userAgentForUrl(const QUrl& url) const override;
    // The main frame goes only to the engine's pages (a new page, a "#" anchor, a page's
    // parameters); every other request, and any request of a child frame, is refused.
    bool acceptNavigationRequest(QWebFrame* frame, const QNetworkRequest& request, NavigationType type) override;
};
