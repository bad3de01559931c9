// The program's one top-level window. It owns every long-lived object (web view, status-bar
// indicators, the default SQL connection used for dictionary scopes), runs the start-up
// sequence in its constructor and wires what the objects below it report to the status bar,
// the boxes and the page. Nothing below it knows the window.
#pragma once

#include <QMainWindow>
#include <QSqlDatabase>
#include <QString>

class BookInstaller;
class CustomAgentWebView;
class DataDirectory;
class LibrarySync;
class UpdateWS;
class QtJavascriptInteraction;
class StatusIndicators;
class QKeyEvent;

namespace Ui {
class MainWindow;
}

class MainWindow : public QMainWindow
{
    Q_OBJECT
public:
    explicit MainWindow(QWidget* parent = nullptr);
    ~MainWindow() override;

    // Status-bar busy indicator (an endless bar) used while long work runs.
    void showBusyIndicator();
    void hideBusyIndicator();

    // Sign-in with the store account; the outcome reaches the page's login callback.
    void startLogin(const QString& username, const QString& password);
    // Removes every local trace of the account and ends the program.
    void logout();
    // Fetches the account's library and merges it into the web database (when signed in).
    // A request still waiting for its reply is replaced. False when nobody is signed in.
    bool startSync();

    // Members reached directly by the subsystems, as the window's owner of shared state.
    QSqlDatabase db;
    CustomAgentWebView* webView = nullptr;
    // Owns the progress bar and the warning icon and shows them in the status bar.
    StatusIndicators* indicators = nullptr;
    // Installs packages (dictionaries, the engine) one at a time.
    BookInstaller* installer = nullptr;
    // The data folder: prepared, migrated and its engine deployed at start-up.
    DataDirectory* dataDirectory = nullptr;
    QtJavascriptInteraction* bridge = nullptr;
    // Sign-in, library synchronisation (with their services and slots) and the account's library.
    LibrarySync* library = nullptr;
    UpdateWS* updateWS = nullptr;

public slots:
    // Shows the login page or, for a signed-in user, the library page.
    void goToLibrary();
    // Reads the library recorded in the web database into `library`.
    void loadDefaultList();
    void onUpdateReply(bool reply, QString url);

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    // The status bar, progress bar and warning box of installations.
    void showInstallation();
    void showWarning(const QString& text);
    // The status bar and warning box of whatever reports both (statusMessage, warning).
    template <typename Source> void showReports(Source* source);
    // What the bridge's services report, shown in this window.
    void connectBridge();
    // Tells the page services the desktop's colour preference, now and as it changes.
    void followColorScheme();
    // Turns what sign-in and synchronisation report into the status bar, boxes and page calls.
    void connectLibrary();
    // Shows the dialog of a refused session once a page can show it.
    void showAccessDenied();

    Ui::MainWindow* ui = nullptr;
    // The page's dialog after the store refused the session, until a page has shown it.
    QString accessDeniedDialog;
};
