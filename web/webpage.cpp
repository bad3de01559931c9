#include "web/webpage.h"

webPage::webPage(QObject* parent)
    : QWebPage(parent)
{
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
