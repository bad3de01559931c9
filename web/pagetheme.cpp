#include "web/pagetheme.h"

#include <QGuiApplication>
#include <QPalette>

namespace {
const int portalDark = 1;
const int portalLight = 2;

// The desktop's palette; a program without a GUI application (a service, a test harness) has
// none, and reads as light.
QPalette desktopPalette()
{
    if (qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
        return QGuiApplication::palette();
    QPalette light;
    light.setColor(QPalette::Window, Qt::white);
    return light;
}
}

PageTheme::PageTheme(QObject* parent)
    : QObject(parent)
    , dark(isDark(0, desktopPalette()))
{
    // The desktop's own theme changes the palette of a program that has no portal to ask.
    if (auto* application = qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
        connect(application, &QGuiApplication::paletteChanged, this, &PageTheme::update);
}

bool PageTheme::isDark(int portalValue, const QPalette& palette)
{
    if (portalValue == portalDark || portalValue == portalLight)
        return portalValue == portalDark;
    const QColor window = palette.color(QPalette::Window);
    return window.lightnessF() < 0.5;
}

QString PageTheme::name() const
{
    return dark ? QStringLiteral("scuro") : QStringLiteral("chiaro");
}

void PageTheme::setPortalValue(int value)
{
    portalValue = value;
    update();
}

void PageTheme::update()
{
    const bool nowDark = isDark(portalValue, desktopPalette());
    if (nowDark == dark)
        return;
    dark = nowDark;
    emit pageStatement(QStringLiteral("window.temaDesktop && temaDesktop('%1')").arg(name()));
}
