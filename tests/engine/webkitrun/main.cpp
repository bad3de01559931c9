// Opens a staged engine page in the web engine the program uses, with Web SQL and local storage
// set up as the program sets them, and waits for the page's test report.
//
//   enginepage <page file> [--query q]
//
// Exit status: 0 when the report ends in "N passed, 0 failed" and no uncaught script error was
// seen; 1 otherwise.

#include <QApplication>
#include <QCommandLineParser>
#include <QElapsedTimer>
#include <QFileInfo>
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
public:
    using QWebPage::QWebPage;

protected:
    void javaScriptConsoleMessage(const QString& message, int line, const QString& source) override
    {
        static const QRegularExpression uncaught(QStringLiteral("^(TypeError|ReferenceError|SyntaxError|RangeError|EvalError)"));
        if (uncaught.match(message).hasMatch())
            ++uncaughtErrors;
        std::printf("console: %s (%s:%d)\n", qPrintable(message), qPrintable(QUrl(source).fileName()), line);
    }
};

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QCommandLineParser cli;
    cli.addPositionalArgument(QStringLiteral("page"), QStringLiteral("staged page file"));
    cli.addOption({ QStringLiteral("query"), QStringLiteral("page address query"), QStringLiteral("q") });
    cli.process(app);
    if (cli.positionalArguments().size() != 1)
        cli.showHelp(2);

    QTemporaryDir storage;
    QWebSettings* settings = QWebSettings::globalSettings();
    settings->setAttribute(QWebSettings::OfflineStorageDatabaseEnabled, true);
    settings->setAttribute(QWebSettings::LocalStorageEnabled, true);
    settings->setAttribute(QWebSettings::LocalContentCanAccessFileUrls, true);
    settings->setOfflineStoragePath(storage.path());
    settings->setOfflineStorageDefaultQuota(209715200);
    settings->setLocalStoragePath(storage.path() + QStringLiteral("/file__0"));

    ReportingPage page;
    page.setViewportSize(QSize(1280, 800));
    QUrl url = QUrl::fromLocalFile(QFileInfo(cli.positionalArguments().first()).absoluteFilePath());
    url.setQuery(cli.value(QStringLiteral("query")));

    const int timeout = 60000; // ms for the report, far more than a page's tests take
    QElapsedTimer clock;
    QTimer poll;
    QObject::connect(&page, &QWebPage::loadFinished, &app, [&](bool ok) {
        if (!ok) {
            std::printf("cannot load %s\n", qPrintable(url.toString()));
            app.exit(1);
            return;
        }
        clock.start();
        poll.start(50);
    });
    QObject::connect(&poll, &QTimer::timeout, &app, [&] {
        const QString report = page.mainFrame()->evaluateJavaScript(QStringLiteral("window.__pageTestReport || ''")).toString();
        if (report.isEmpty()) {
            if (clock.elapsed() > timeout) {
                std::printf("no test report after %d ms\n", timeout);
                app.exit(1);
            }
            return;
        }
        poll.stop();
        std::printf("%s\n", qPrintable(report));
        static const QRegularExpression summary(QStringLiteral("(\\d+) passed, (\\d+) failed$"));
        const auto m = summary.match(report);
        const bool passed = m.hasMatch() && m.captured(1).toInt() > 0 && m.captured(2).toInt() == 0;
        if (uncaughtErrors)
            std::printf("%d uncaught script error(s)\n", uncaughtErrors);
        app.exit(passed && uncaughtErrors == 0 ? 0 : 1);
    });
    page.mainFrame()->load(url);
    const int rc = app.exec();
    std::fflush(stdout);
    return rc;
}
