// The program's one top-level window. It owns every long-lived object (web view, status-bar
// indicators, the default SQL connection used for dictionary scopes) and runs the start-up
// sequence in its constructor.
#pragma once

#include <QDir>
#include <QMainWindow>
#include <QSqlDatabase>
#include <QString>
#include <QVector>

#include "packages/bookinstaller.h"
#include "services/book.h"

class CustomAgentWebView;
class LibrarySync;
class UpdateWS;
class QtJavascriptInteraction;
class StatusIndicators;
class QKeyEvent;
class QLabel;
class QProgressBar;

class MainWindow;
// The one main window of the process; set by its constructor once the bridge exists.
extern MainWindow* mainWindowInstance;

namespace Ui {
class MainWindow;
}

class MainWindow : public QMainWindow
{
    Q_OBJECT
public:
    explicit MainWindow(QWidget* parent = nullptr);
    ~MainWindow() override;

    // Makes a dictionary ready for reading: unpacks its package into books/<bookId> when that
    // folder is missing and makes it the bridge's current book.
    bool goToReading(const QString& archivePath, const QString& bookId);

    // The installer's unpackBook, its messages shown in this window.
    bool unpackBook(const QString& zipPath, const QString& destPath, const QString& baseDir,
        BookInstaller::Contents contents = BookInstaller::Contents::Dictionary);

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
    // Field `name` of the first library record of `bookId`; empty when there is none.
    QString getBookField(const QString& bookId, const QString& name) const;

    // Members reached directly by the subsystems, as the window's owner of shared state.
    QProgressBar* progressBar = nullptr;
    QSqlDatabase db;
    CustomAgentWebView* webView = nullptr;
    QLabel* warningIcon = nullptr;
    // Owns progressBar and warningIcon and shows them in the status bar.
    StatusIndicators* indicators = nullptr;
    // Installs packages (dictionaries, the engine) one at a time.
    BookInstaller* installer = nullptr;
    QtJavascriptInteraction* bridge = nullptr;
    // Sign-in and library synchronisation, with their services.
    LibrarySync* library = nullptr;
    UpdateWS* updateWS = nullptr;
    // The account's library as last read or received, copied into every download.
    QVector<Book> libraryBooks;

public slots:
    // Shows the login page or, for a signed-in user, the library page.
    void goToLibrary();
    // The sign-in and synchronisation slots hand over to `library`, which is connected to its
    // own services; removeWarningIcon is the window's.
    void loadDefaultList();
    void onLibraryWSError(QString error);
    void getBooksList(QVector<Book> booksList);
    void onCheckTimeout();
    void removeWarningIcon();
    void getSessionID(QString session);
    void onLoginError(QString error);
    void onUpdateReply(bool reply, QString url);

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    // Reads engine page `name` with its scripts inlined; empty when it cannot be read.
    QString readEnginePage(const QDir& engine, const QString& name) const;
    // The status bar, progress bar and warning box of installations and downloads.
    void showInstallation();
    void showWarning(const QString& text);
    // Turns what sign-in and synchronisation report into the status bar, boxes and page calls.
    void connectLibrary();
    // Shows the dialog of a refused session once a page can show it.
    void showAccessDenied();

    Ui::MainWindow* ui = nullptr;
    // The page's dialog after the store refused the session, until a page has shown it.
    QString accessDeniedDialog;
};
