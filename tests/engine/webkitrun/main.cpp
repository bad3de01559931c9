// Opens a staged engine page (enginepage <page file> <address query>) in the program's web engine,
// with Web SQL and local storage on, and prints the page's test report. Exit status 0 when it ends
// in "N passed, 0 failed" (N > 0) and no uncaught script error was seen.

#include <QApplication>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTimer>
#include <QUrl>
#include <QWebFrame>
#include <QWebPage>
#include <QWebSettings>
#include <cstdio>

namespace {

int uncaughtErrors = 0;

class ReportingPage : public QWebPage
{
protected:
    void javaScriptConsoleMessage(const QString& message, int line, const QString& source) override
    {
        static const QRegularExpression uncaught(QStringLiteral("^(TypeError|ReferenceError|SyntaxError|RangeError|EvalError)"));
        uncaughtErrors += uncaught.match(message).hasMatch() ? 1 : 0;
        std::printf("console: %s (%s:%d)\n", qPrintable(message), qPrintable(QUrl(source).fileName()), line);
    }
};

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    if (argc != 3) {
        std::printf("usage: enginepage <page file> <address query>\n");
        return 2;
    }
    QTemporaryDir storage;
    QWebSettings* settings = QWebSettings::globalSettings();
    settings->setAttribute(QWebSettings::OfflineStorageDatabaseEnabled, true);
    settings->setAttribute(QWebSettings::LocalStorageEnabled, true);
    settings->setOfflineStoragePath(storage.path());
    settings->setOfflineStorageDefaultQuota(209715200);
    settings->setLocalStoragePath(storage.path());

    ReportingPage page;
    page.setViewportSize(QSize(1280, 800));
    QUrl url = QUrl::fromLocalFile(QString::fromLocal8Bit(argv[1]));
    url.setQuery(QString::fromLocal8Bit(argv[2]));

    // The report is polled for; a page that gives none within a minute fails.
    int waited = 0;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &app, [&] {
        const QString report = page.mainFrame()->evaluateJavaScript(QStringLiteral("window.__pageTestReport || ''")).toString();
        if (report.isEmpty() && (waited += 50) < 60000)
            return;
        std::printf("%s\n", report.isEmpty() ? "no test report" : qPrintable(report));
        const auto m = QRegularExpression(QStringLiteral("(\\d+) passed, 0 failed$")).match(report);
        if (uncaughtErrors)
            std::printf("%d uncaught script error(s)\n", uncaughtErrors);
        app.exit(m.hasMatch() && m.captured(1).toInt() > 0 && !uncaughtErrors ? 0 : 1);
    });
    QObject::connect(&page, &QWebPage::loadFinished, &app, [&](bool ok) {
        if (ok)
            return poll.start(50);
        std::printf("cannot load %s\n", qPrintable(url.toString()));
        app.exit(1);
    });
    page.mainFrame()->load(url);
    const int rc = app.exec();
    std::fflush(stdout);
    return rc;
}
