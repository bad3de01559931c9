#include "app/desktophabits.h"
#include "app/desktoplookup.h"
#include "app/dialogs.h"
#include "app/launchoptions.h"
#include "app/mainwindow.h"
#include "app/runninginstance.h"
#include "app/selectionpopup.h"
#include "app/splashscreen.h"
#include "app/startuptrace.h"
#include "base/datapaths.h"
#include "base/diagnostics.h"
#include "desktop/desktopbus.h"
#include "resources/resources.h"
#include "web/customagentwebview.h"

#include <QApplication>
#include <QThread>
#include <QTimer>
#include <cstdio>

namespace {
// Started by the session bus and never asked for the window, the program ends after this long
// without a question from the desktop; the bus starts it again when needed.
constexpr int idleServiceMs = 10 * 60 * 1000;
}

int main(int argc, char* argv[])
{
    StartupTrace::mark("main");
    // Read before the streams close, so that the help, the version and a refused option still
    // reach the terminal.
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    LaunchOptions options;
    switch (options.parse(arguments, qEnvironmentVariable(LaunchOptions::environmentVariable))) {
    case LaunchOptions::Outcome::Help:
    case LaunchOptions::Outcome::Version:
        std::fputs(qPrintable(options.text()), stdout);
        return 0;
    case LaunchOptions::Outcome::Error:
        std::fprintf(stderr, "vocalume: %s\n", qPrintable(options.text()));
        return 2;
    case LaunchOptions::Outcome::Run:
        break;
    }
    ServiceEndpoint::setCurrent(options.endpoint());
    ServiceEndpoint::setStoreHost(options.storeHost());

#ifndef VOCALUME_KEEP_OUTPUT
    // Diagnostics are for developers; a normal run discards them. The streams are pointed at
    // the null device rather than left closed, so no file opened later can inherit their
    // descriptors and receive a stray diagnostic.
    std::freopen("/dev/null", "w", stdout);
    std::freopen("/dev/null", "w", stderr);
    Diagnostics::setEnabled(false);
#endif
    QApplication app(argc, argv);
    DesktopHabits::installQtTranslations(&app);
    VocalumeResources::init();

    // One copy per data folder, decided before anything in it is touched: a second copy's
    // start-up would clean away the first one's download in progress.
    RunningInstance instance(DataPaths::dataDirectory());
    if (instance.claim() == RunningInstance::Claim::Other) {
        if (options.serviceOnly() || instance.send(options.requestVerb(), options.requestArgument()))
            return 0;
        Dialogs::warning(nullptr, QStringLiteral("Vocalume"),
            QStringLiteral("Vocalume è già aperto, ma non risponde. Chiudere l'altra finestra di Vocalume e "
                           "riprovare."));
        return 1;
    }

    // Destroyed in this order's reverse: the window, then the splash, then its picture.
    QScopedPointer<QPixmap> pixmap;
    QScopedPointer<SplashScreen> splash;
    QScopedPointer<MainWindow> window;
    bool makingWindow = false;
    DesktopLookup lookup([&]() -> MainWindow* {
        // The splash lets requests of other copies in: one arriving meanwhile waits for this window.
        if (window || makingWindow)
            return window.data();
        makingWindow = true;
        pixmap.reset(new QPixmap(QStringLiteral(":/images/splash-png32-alfa.png")));
        splash.reset(new SplashScreen(*pixmap, Qt::WindowStaysOnTopHint));
        Diagnostics::debug("showing splashscreen");
        splash->show();
        QApplication::processEvents();
        StartupTrace::mark("splash");

        QThread::sleep(2);
        StartupTrace::mark("slept");

        Diagnostics::debug("Initializing MainWindow");
        window.reset(new MainWindow);
        StartupTrace::mark("constructed");
        StartupTrace::markFirstPagePainted(window->webView);
        window->showMaximized();
        splash->finish(window.data());
        StartupTrace::mark("shown");
        makingWindow = false;
        return window.data();
    });
    QObject::connect(&instance, &RunningInstance::requested, &lookup, &DesktopLookup::request);

    // The pop-up look-up stands on its own: a word looked up from another program needs no main
    // window, and a program started only for it ends when it closes.
    SelectionPopup popup(lookup, [&window] { return !window.isNull(); });
    lookup.setPopup([&popup](const QString& word) { popup.lookUp(word); });
    QObject::connect(&popup, &SelectionPopup::lastWindowClosed, &app, [&options] {
        if (!options.serviceOnly())
            QApplication::quit();
    });

    DesktopBus bus;
    QObject::connect(&bus, &DesktopBus::lookUpWanted, &lookup, [&lookup](const QString& word) { lookup.lookUp(word); });
    QObject::connect(&bus, &DesktopBus::selectionLookUpWanted, &lookup, &DesktopLookup::lookUpSelection);
    QObject::connect(&bus, &DesktopBus::entryWanted, &lookup,
        [&lookup](const QString& sku, const QString& word) { lookup.lookUp(word, sku); });
    bus.start();

    QTimer idle;
    if (options.serviceOnly()) {
        idle.setSingleShot(true);
        idle.setInterval(idleServiceMs);
        QObject::connect(&idle, &QTimer::timeout, &app, [&window] {
            if (!window)
                QApplication::quit();
        });
        QObject::connect(&bus, &DesktopBus::used, &idle, QOverload<>::of(&QTimer::start));
        idle.start();
    } else {
        lookup.request(options.requestVerb(), options.requestArgument());
    }
    return app.exec();
}
