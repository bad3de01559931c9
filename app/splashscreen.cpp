#include "app/splashscreen.h"

#include <QGuiApplication>
#include <QPainter>
#include <QScreen>

SplashScreen::SplashScreen(const QPixmap& image, Qt::WindowFlags flags)
    : QSplashScreen(image, flags)
    , image(image)
{
    const QScreen* screen = QGuiApplication::primaryScreen();
    const QSize desktop = screen ? screen->geometry().size() : QSize();
    const QPoint corner = centredPosition(desktop, image.size());
    x = corner.x();
    y = corner.y();
    setMinimumSize(image.size());
    setMaximumSize(image.size());
    move(x, y);
    background = captureDesktop(image.width(), image.height());
}

SplashScreen::~SplashScreen() = default;

QPoint SplashScreen::centredPosition(const QSize& desktopSize, const QSize& imageSize)
{
    return QPoint((desktopSize.width() - imageSize.width()) / 2, (desktopSize.height() - imageSize.height()) / 2);
}

QPixmap SplashScreen::captureDesktop(int width, int height) const
{
    QScreen* screen = QGuiApplication::primaryScreen();
    return screen ? screen->grabWindow(0, x, y, width, height) : QPixmap();
}

void SplashScreen::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.drawPixmap(0, 0, background);
    painter.drawPixmap(0, 0, image);
}

void SplashScreen::resizeEvent(QResizeEvent*)
{
    setWindowOpacity(0.0);
    background = captureDesktop(width(), height());
    setWindowOpacity(1.0);
    repaint();
}
