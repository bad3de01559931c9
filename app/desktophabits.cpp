#include "app/desktophabits.h"

#include <QAction>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QMainWindow>
#include <QScreen>
#include <QTranslator>

bool DesktopHabits::installQtTranslations(QCoreApplication* app)
{
    auto* translator = new QTranslator(app);
    if (!translator->load(QLocale(QLocale::Italian, QLocale::Italy), QStringLiteral("qtbase"), QStringLiteral("_"),
                          QLibraryInfo::location(QLibraryInfo::TranslationsPath))) {
        delete translator;
        return false;
    }
    return app->installTranslator(translator);
}

void DesktopHabits::fitToScreen(QWidget* window)
{
    const QScreen* screen = window->screen() ? window->screen() : QGuiApplication::primaryScreen();
    if (!screen)
        return;
    const QRect available = screen->availableGeometry();
    window->resize(window->size().boundedTo(available.size()).expandedTo(window->minimumSize()));
    QRect frame(QPoint(), window->size());
    frame.moveCenter(available.center());
    window->move(qMax(frame.left(), available.left()), qMax(frame.top(), available.top()));
}

void DesktopHabits::addQuitKey(QMainWindow* window)
{
    auto* quit = new QAction(QStringLiteral("Esci"), window);
    quit->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));
    QObject::connect(quit, &QAction::triggered, window, &QWidget::close);
    window->addAction(quit);
}
