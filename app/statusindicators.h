// The window's status bar as the rest of the program reports into it: messages, the progress
// bar (a determinate one while a package unpacks, an endless one while long work runs) and the
// warning icon a failed synchronisation shows for a while.
#pragma once

#include <QObject>
#include <QString>

class QLabel;
class QProgressBar;
class QStatusBar;

class StatusIndicators : public QObject
{
    Q_OBJECT
public:
    // Deleted by its owner while `bar` still exists: the widgets go with it.
    explicit StatusIndicators(QStatusBar* bar, QObject* parent = nullptr);
    ~StatusIndicators() override;

    // Not parented until placed in the status bar.
    QProgressBar* progressBar() const { return progress; }
    QLabel* warningIcon() const { return icon; }

public slots:
    void showMessage(const QString& text, int milliseconds);
    // The endless bar (value 1, range 0 to 0) used while long work runs.
    void showBusy();
    void setBusy(bool shown);
    // A bar from 0 to 100 that follows setProgress.
    void showProgress();
    void setProgress(int value);
    void hideProgress();
    void showWarningIcon(int milliseconds);
    void removeWarningIcon();

private:
    QStatusBar* bar;
    QProgressBar* progress;
    QLabel* icon;
};
