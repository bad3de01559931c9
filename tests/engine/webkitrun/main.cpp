// Opens a staged engine page in the same web engine the program uses, with Web SQL and local
// storage set up as the program sets them, and either waits for the page's test report or
// renders the page into a PNG file.
//
//   enginepage <page file> [--query q] [--screenshot out.png] [--size WxH] [--wait ms]
//
// Exit status: 0 when the report ends in "N passed, 0 failed" and no uncaught script error was
// seen; 1 otherwise.

#include <QApplication>
#include <QCommandLineParser>
#include <QElapsedTimer>
#include <QImage>
#include <QPainter>
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
    void javaScriptAlert(QWebFrame*, const QString& message) override
    {
        std::printf("alert: %s\n", qPrintable(message));
    }
};

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QCommandLineParser cli;
    cli.addPositionalArgument(QStringLiteral("page"), QStringLiteral("staged page file"));
    cli.addOption({ QStringLiteral("query"), QStringLiteral("page address query"), QStringLiteral("q") });
    cli.addOption({ QStringLiteral("screenshot"), QStringLiteral("PNG file to write"), QStringLiteral("file") });
    cli.addOption({ QStringLiteral("size"), QStringLiteral("viewport WxH"), QStringLiteral("size"), QStringLiteral("1280x800") });
    cli.addOption({ QStringLiteral("wait"), QStringLiteral("milliseconds before the screenshot"), QStringLiteral("ms"), QStringLiteral("1500") });
    cli.addOption({ QStringLiteral("timeout"), QStringLiteral("milliseconds to wait for the report"), QStringLiteral("ms"), QStringLiteral("60000") });
    cli.addOption({ QStringLiteral("storage"), QStringLiteral("offline storage directory (default: a new one)"), QStringLiteral("dir") });
    cli.process(app);
    if (cli.positionalArguments().size() != 1)
        cli.showHelp(2);

    QTemporaryDir storage;
    const QString storagePath = cli.isSet(QStringLiteral("storage")) ? cli.value(QStringLiteral("storage")) : storage.path();
    QWebSettings* settings = QWebSettings::globalSettings();
    settings->setAttribute(QWebSettings::OfflineStorageDatabaseEnabled, true);
    settings->setAttribute(QWebSettings::LocalStorageEnabled, true);
    settings->setAttribute(QWebSettings::LocalContentCanAccessFileUrls, true);
    settings->setOfflineStoragePath(storagePath);
    settings->setOfflineStorageDefaultQuota(209715200);
    settings->setLocalStoragePath(storagePath + QStringLiteral("/file__0"));

    const QStringList size = cli.value(QStringLiteral("size")).split(QLatin1Char('x'));
    const QSize viewport(size.value(0).toInt(), size.value(1).toInt());

    ReportingPage page;
    page.setViewportSize(viewport);
    QUrl url = QUrl::fromLocalFile(QFileInfo(cli.positionalArguments().first()).absoluteFilePath());
    url.setQuery(cli.value(QStringLiteral("query")));

    const bool screenshot = cli.isSet(QStringLiteral("screenshot"));
    int status = 1;
    QElapsedTimer clock;
    QTimer poll;
    QObject::connect(&page, &QWebPage::loadFinished, &app, [&](bool ok) {
        if (!ok) {
            std::printf("cannot load %s\n", qPrintable(url.toString()));
            app.exit(1);
            return;
        }
        clock.start();
        if (screenshot) {
            QTimer::singleShot(cli.value(QStringLiteral("wait")).toInt(), &app, [&] {
                QImage image(viewport, QImage::Format_ARGB32);
                image.fill(Qt::white);
                QPainter painter(&image);
                page.mainFrame()->render(&painter);
                painter.end();
                status = image.save(cli.value(QStringLiteral("screenshot"))) && uncaughtErrors == 0 ? 0 : 1;
                app.exit(status);
            });
            return;
        }
        poll.start(50);
    });
    QObject::connect(&poll, &QTimer::timeout, &app, [&] {
        const QString report = page.mainFrame()->evaluateJavaScript(QStringLiteral("window.__pageTestReport || ''")).toString();
        if (report.isEmpty()) {
            if (clock.elapsed() > cli.value(QStringLiteral("timeout")).toInt()) {
                std::printf("no test report after %s ms\n", qPrintable(cli.value(QStringLiteral("timeout"))));
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
