#include "app/diagnostics.h"
#include "app/mainwindow.h"
#include "app/splashscreen.h"
#include "resources/resources.h"

#include <QApplication>
#include <QThread>
#include <cstdio>

int main(int argc, char* argv[])
{
#ifndef VOCALUME_KEEP_OUTPUT
    // Diagnostics are for developers; a normal run discards them. The streams are pointed at
    // the null device rather than left closed, so no file opened later can inherit their
    // descriptors and receive a stray diagnostic.
    std::freopen("/dev/null", "w", stdout);
    std::freopen("/dev/null", "w", stderr);
    Diagnostics::setEnabled(false);
#endif
    QApplication app(argc, argv);
    VocalumeResources::init();

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

    const int code = app.exec();
    delete window;
    delete splash;
    delete pixmap;
    return code;
}
