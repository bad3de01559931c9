#include "app/desktophabits.h"
#include "app/dialogs.h"
#include "app/launchoptions.h"
#include "app/mainwindow.h"
#include "app/runninginstance.h"
#include "app/splashscreen.h"
#include "base/datapaths.h"
#include "base/diagnostics.h"
#include "resources/resources.h"

#include <QApplication>
#include <QThread>
#include <cstdio>

namespace {
// Brings the window to the front when another copy asks.
void answerOtherCopy(MainWindow* window, const QString& verb)
{
    if (verb != RunningInstance::raiseVerb())
        return;
    window->setWindowState((window->windowState() & ~Qt::WindowMinimized) | Qt::WindowActive);
    window->show();
    window->raise();
    window->activateWindow();
}
}

int main(int argc, char* argv[])
{
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
        if (instance.send(RunningInstance::raiseVerb()))
            return 0;
        Dialogs::warning(nullptr, QStringLiteral("Vocalume"),
            QStringLiteral("Vocalume è già aperto, ma non risponde. Chiudere l'altra finestra di Vocalume e "
                           "riprovare."));
        return 1;
    }

    QPixmap* pixmap = new QPixmap(QStringLiteral(":/images/splash-png32-alfa.png"));
    SplashScreen* splash = new SplashScreen(*pixmap, Qt::WindowStaysOnTopHint);
    Diagnostics::debug("showing splashscreen");
    splash->show();
    QApplication::processEvents();

    QThread::sleep(2);

    Diagnostics::debug("Initializing MainWindow");
    MainWindow* window = new MainWindow;
    window->showMaximized();
    splash->finish(window);
    QObject::connect(&instance, &RunningInstance::requested, window,
        [window](const QString& verb) { answerOtherCopy(window, verb); });

    const int code = app.exec();
    delete window;
    delete splash;
    delete pixmap;
    return code;
}
