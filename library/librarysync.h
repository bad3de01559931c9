// Sign-in with the store account and synchronisation of the account's library into the web
// database: the login and library services, the watchdogs of a login and of a synchronisation,
// the merge in one short transaction, the covers fetched afterwards, and the one answer every
// sign-in gets.
// No widgets and no page here: what the user is to see or be asked goes out through the signals,
// which the window turns into its status bar and boxes, and the bridge into the page's calls.
#pragma once

#include "library/signin.h"
#include "services/book.h"

#include <QElapsedTimer>
#include <QObject>
#include <QScopedPointer>
#include <QString>
#include <QVector>
#include <functional>

class WebStore;

class LibrarySync : public QObject
{
    Q_OBJECT
public:
    explicit LibrarySync(QObject* parent = nullptr);
    ~LibrarySync() override;

    // How long a synchronisation waits for its reply before giving up.
    static int watchdogMilliseconds;
    // How long a login waits for its reply before the sign-in fails.
    static int loginWatchdogMilliseconds;
    // How long a merge or a record of covers is tried again while the page holds the file.
    static int storeRetryMilliseconds;

    // Sign-in with the store account; the outcome arrives as signInAnswered.
    void startLogin(const QString& username, const QString& password);
    // Fetches the account's library and merges it into the web database (when signed in).
    // A request still waiting for its reply is replaced. False when nobody is signed in.
    bool startSync();
    // Reads the library recorded in the web database (libraryLoaded follows when it opens).
    void loadDefaultList();
    // Whether an accepted sign-in still waits for its synchronisation.
    bool signInWaiting() const;
    // Field `name` of the first record of `bookId` in libraryBooks; empty when there is none.
    QString getBookField(const QString& bookId, const QString& name) const;
    // Sign-out: removes every local trace of the account, the data folder and the settings;
    // signedOut follows. With a notes file named (keepNotesIn), the notes are first written into
    // it again as they are then; when that fails nothing is removed and the user is warned.
    void signOut();
    // The file the notes were saved into when the store refused the account: the sign-out that
    // follows writes them there again first, so that nothing written meanwhile goes unsaved.
    void keepNotesIn(const QString& file);

    // The account's library as last read from the store or received from the service; every
    // download copies it.
    QVector<Book> libraryBooks;

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
    // A synchronisation failed and the page is to tell the user so (syncStopped follows).
    void syncProblem();
    // A synchronisation has stopped without a library: the page stops waiting for it.
    void syncStopped();
    // The one answer of a sign-in; `error` tells the failure of SignIn::Answer::Failed.
    void signInAnswered(SignIn::Answer answer, const QString& error);
    // The library the program knows now: read from the store, or received from the service.
    void libraryLoaded(const QVector<Book>& books);
    // A merge has committed its rows: `changed` when it changed what the library page shows,
    // `signedIn` when it completed a sign-in. Sent before the missing covers are fetched.
    void mergeEnded(bool changed, bool signedIn);
    // Covers fetched after a merge are recorded: the library page may show them now.
    void coversRecorded();
    // The service refused the stored session: every local trace of the account is to go, once
    // the reader's notes are saved and the user has been told.
    void accessDenied();
    // The account's local data is gone: the user is to be told, and the program ends.
    void signedOut();

private:
    // The services, the watchdogs and the state kept between the steps, and the steps that name
    // their types.
    class Private;

    // Writes the merge of `books` (and completes sign-in `attempt` when it is still the newest
    // one) in one transaction, then fetches the missing covers. `serial` names the reply it
    // merges: a newer reply's merge makes a later try of this one give up.
    void mergeBooks(const QVector<Book>& books, int attempt, int serial, QElapsedTimer since);
    // After a write that failed: true when `again` is to run shortly, the page holding the file
    // and storeRetryMilliseconds not past since `since`. Otherwise the box of a failed commit
    // shows, once the rollback has freed the file for the page's own writes.
    bool retryLater(const WebStore& store, bool commitFailed, const QElapsedTimer& since, const std::function<void()>& again);
    bool completeSignIn(WebStore& store);
    // What the status bar and the page show when a synchronisation fails.
    void showFailure(const QString& error);
    void showPageFailure();
    void onLoginTimeout();
    // Ends a sign-in that the login did not accept: LOGIN "FALSE" recorded, the page answered
    // with `answer` (and `error`), the status bar showing `status`.
    void refuseSignIn(SignIn::Answer answer, const QString& error, const QString& status);
    // Gives sign-in `attempt` its one answer, unless a newer sign-in replaced it or it has
    // been answered already.
    void answerSignIn(int attempt, SignIn::Answer answer, const QString& error = QString());

    QScopedPointer<Private> d;
};
