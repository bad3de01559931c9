// The window's first page, the library (or the sign-in page), is shown by a timer once the window
// is made: a bench that opens another page waits for it first, or it would replace that page.
#pragma once

#include "app/mainwindow.h"
#include "web/customagentwebview.h"

#include <QTest>

inline bool waitForFirstPage(MainWindow& window)
{
    return QTest::qWaitFor(
        [&window] {
            const QString page = window.webView->url().path();
            return page.endsWith(QLatin1String("libreria.html")) || page.endsWith(QLatin1String("login.html"));
        },
        20000);
}
