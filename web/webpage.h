// The engine's page: a fixed user agent, and long-running scripts are never interrupted.
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

protected:
    QString userAgentForUrl(const QUrl& url) const override;
};
