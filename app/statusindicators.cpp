#include "app/statusindicators.h"

#include <QLabel>
#include <QPixmap>
#include <QProgressBar>
#include <QStatusBar>
#include <QTimer>

StatusIndicators::StatusIndicators(QStatusBar* bar, QObject* parent)
    : QObject(parent)
    , bar(bar)
    , progress(new QProgressBar)
    , icon(new QLabel)
{
    progress->setMaximumHeight(16);
    progress->setMaximumWidth(340);
    progress->setTextVisible(false);
    progress->setRange(0, 100);
    progress->setValue(0);
    icon->setPixmap(QPixmap(QStringLiteral(":/images/warning_icon.png")));
}

StatusIndicators::~StatusIndicators()
{
    delete icon;
    delete progress;
}

void StatusIndicators::showMessage(const QString& text, int milliseconds)
{
    bar->showMessage(text, milliseconds);
}

void StatusIndicators::showBusy()
{
    progress->setValue(1);
    progress->setRange(0, 0);
    bar->addPermanentWidget(progress, 0);
    progress->show();
}

void StatusIndicators::setBusy(bool shown)
{
    if (shown)
        showBusy();
    else
        hideProgress();
}

void StatusIndicators::showProgress()
{
    progress->setValue(0);
    progress->setMinimum(0);
    progress->setMaximum(100);
    bar->addPermanentWidget(progress);
    progress->show();
}

void StatusIndicators::setProgress(int value)
{
    progress->setValue(value);
}

void StatusIndicators::hideProgress()
{
    bar->removeWidget(progress);
}

void StatusIndicators::showWarningIcon(int milliseconds)
{
    bar->addPermanentWidget(icon);
    icon->show();
    QTimer::singleShot(milliseconds, this, &StatusIndicators::removeWarningIcon);
}

void StatusIndicators::removeWarningIcon()
{
    bar->removeWidget(icon);
}
