// Sign-in with the store account and synchronisation of the account's library into the web
// database: the login and library services, the watchdog of a synchronisation, the merge in
// short transactions with the covers fetched in between, and the one answer every sign-in gets.
// No widgets here: what the user is to see or be asked goes out through the signals, which the
// window turns into its status bar, boxes and page calls.
#pragma once

#include "library/signin.h"
#include "services/book.h"
#include "services/libraryws.h"
#include "services/loginws.h"
#include "store/webstore.h"

#include <QObject>
#include <QString>
#include <QTimer>
#include <QVector>

class LibrarySync : public QObject
{
    Q_OBJECT
public:
    explicit LibrarySync(QObject* parent = nullptr);
    ~LibrarySync() override;

    // How long a synchronisation waits for its reply before giving up.
    static int watchdogMilliseconds;

    // Sign-in with the store account; the outcome arrives as signInAnswered.
    void startLogin(const QString& username, const QString& password);
    // Fetches the account's library and merges it into the web database (when signed in).
    // A request still waiting for its reply is replaced. False when nobody is signed in.
    bool startSync();
    // Reads the library recorded in the web database (libraryLoaded follows when it opens).
    void loadDefaultList();
    // Whether an accepted sign-in still waits for its synchronisation.
    bool signInWaiting() const { return signIn.waiting(); }

public slots:
    void getSessionID(QString session);
    void onLoginError(QString error);
    void getBooksList(QVector<Book> booksList);
    void onLibraryWSError(QString error);
    void onCheckTimeout();

signals:
    // A status-bar text, kept for `milliseconds` (0: until the next one).
    void statusMessage(const QString& text, int milliseconds);
    // The busy indicator is to be shown (true) or removed (false).
    void busy(bool shown);
    // The warning icon is to be shown for `milliseconds`.
    void warningIcon(int milliseconds);
    // Boxes for the user: a warning under the program's title, a critical one under `title`.
    void warning(const QString& text);
    void critical(const QString& title, const QString& text);
    // A statement the page is to run (its message dialog, its spinner).
    void pageStatement(const QString& statement);
    // The one answer of a sign-in, a literal for the page's login callback.
    void signInAnswered(const QString& literal);
    // The library the program knows now: read from the store, or received from the service.
    void libraryLoaded(const QVector<Book>& books);
    // A merge ended; `pageChanged` when it changed what the library page shows or completed a
    // sign-in. Sent before the busy indicator goes and the outcome is shown.
    void mergeEnded(bool pageChanged);
    // The service refused the stored session: every local trace of the account is to go, once
    // the reader's notes are saved and the user has been told.
    void accessDenied();

private:
    // Opens `store`; when it does not open, warns with the caller's text.
    bool openStore(WebStore& store, const WebStore::FailureTexts& texts);
    void fetchCovers(WebStore& store, const QVector<Book>& books);
    // Commits; on failure tells the user, rolls back and hands the driver's text to `error`.
    bool commitOrRollBack(WebStore& store, QString* error = nullptr);
    bool completeSignIn(WebStore& store, QString* error);
    // Gives sign-in `attempt` its one answer, unless a newer sign-in replaced it or it has
    // been answered already.
    void answerSignIn(int attempt, const QString& literal);

    LoginWS loginWS;
    LibraryWS libraryWS;
    // One watchdog for the synchronisation in progress, restarted by every synchronisation.
    QTimer syncWatchdog;
    SignIn signIn;
    bool syncReplyReceived = false;
    bool syncTimedOut = false;
};
