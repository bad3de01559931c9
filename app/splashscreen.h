// The start-up picture, drawn over a capture of the desktop so its transparent parts show
// what lies beneath.
#pragma once

#include <QPixmap>
#include <QSplashScreen>

class SplashScreen : public QSplashScreen
{
public:
    SplashScreen(const QPixmap& image, Qt::WindowFlags flags);
    ~SplashScreen() override;

    // Top-left corner that centres an image of `imageSize` on a desktop of `desktopSize`.
    static QPoint centredPosition(const QSize& desktopSize, const QSize& imageSize);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    QPixmap captureDesktop(int width, int height) const;

    int x;
    int y;
    QPixmap background;
    QPixmap image;
};
