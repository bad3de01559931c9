// The program's one top-level window. It owns every long-lived object (web view, status-bar
// indicators, the default SQL connection) and runs the start-up sequence in its constructor.
#pragma once

#include <QMainWindow>
#include <QSqlDatabase>
#include <QString>

class CustomAgentWebView;
class QKeyEvent;
class QLabel;
class QProgressBar;

namespace Ui {
class MainWindow;
}

class MainWindow : public QMainWindow
{
    Q_OBJECT
public:
    explicit MainWindow(QWidget* parent = nullptr);
    ~MainWindow() override;

    // Unpacks `zipPath` into `destPath` through `destPath`_tmp; deletes the archive on success.
    // Refuses (false, no message) while another extraction runs.
    bool unpackBook(const QString& zipPath, const QString& destPath, const QString& baseDir);

    // Status-bar busy indicator (an endless bar) used while long work runs.
    void showBusyIndicator();
    void hideBusyIndicator();

    // Members reached directly by the subsystems, as the window's owner of shared state.
    QProgressBar* progressBar = nullptr;
    QSqlDatabase db;
    CustomAgentWebView* webView = nullptr;
    QLabel* warningIcon = nullptr;
    bool loginPending = false;
    bool unpacking = false;
    bool syncReplyReceived = false;
    bool syncTimedOut = false;

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    void unpackFailed(const QString& diagnostic, const QString& boxText);
    void resetApplication();

    Ui::MainWindow* ui = nullptr;
};
