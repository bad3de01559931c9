#include "library/librarysync.h"

#include "base/appsettings.h"
#include "base/datapaths.h"
#include "base/diagnostics.h"
#include "base/directorytree.h"
#include "library/coverfetcher.h"
#include "library/librarymerge.h"
#include "packages/cachedimage.h"
#include "services/httpconnection.h"
#include "services/libraryws.h"
#include "services/loginws.h"
#include "services/servicereply.h"
#include "store/notesexport.h"
#include "store/webstore.h"

#include <QDir>
#include <QSignalBlocker>
#include <QTimer>

int LibrarySync::watchdogMilliseconds = 20000;
int LibrarySync::loginWatchdogMilliseconds = 20000;
int LibrarySync::storeRetryMilliseconds = 5000;

namespace {
// What the user is told when the store of a synchronisation does not open.
const WebStore::FailureTexts& syncTexts()
{
    static const WebStore::FailureTexts texts {
        QStringLiteral("Settaggi non trovati, non posso salvare le informazioni sul database"),
        [](const QString& path, const QString& reason) {
            return QStringLiteral("Apertura database ") + path + QStringLiteral(" fallita, motivo: ") + reason;
        },
    };
    return texts;
}

// What the user is told when the store refuses the library: the driver's words within ours.
QString notSaved(const QString& driverError)
{
    return QStringLiteral("Impossibile salvare la libreria nel database (") + driverError
        + QStringLiteral("). Riprova più tardi.");
}

QString completedWithoutCovers(int failed)
{
    if (failed == 1)
        return QStringLiteral("Sincronizzazione completata, ma 1 copertina non è stata scaricata: verrà riprovata alla "
                              "prossima sincronizzazione");
    return QStringLiteral("Sincronizzazione completata, ma %1 copertine non sono state scaricate: verranno riprovate "
                          "alla prossima sincronizzazione")
        .arg(failed);
}

// Runs `work` in a transaction of its own and commits it. When a statement or the commit fails,
// rolls back: false, with what the user is told in `error` (the driver's text within it) and
// `commitFailed` set when it was the commit.
bool commitWork(WebStore& store, const std::function<bool()>& work, QString& error, bool& commitFailed)
{
    commitFailed = false;
    if (!store.transaction()) {
        error = notSaved(store.errorString());
        return false;
    }
    if (!work()) {
        error = notSaved(store.errorString());
        store.rollback();
        return false;
    }
    if (store.commit())
        return true;
    error = notSaved(store.errorString());
    commitFailed = true;
    store.rollback();
    return false;
}

// The COVER rows of the covers already in the cache; the others are returned as missing.
bool recordCachedCovers(WebStore& store, const QVector<Book>& books, QVector<Book>& missing)
{
    missing.clear();
    for (const Book& book : books) {
        if (CachedImage::isCached(book.image)) {
            if (!LibraryMerge::recordCover(store, book.bookId, CachedImage::nameOf(book.image)))
                return false;
        } else {
            Diagnostics::debug("Copertina mancante: %s", qPrintable(book.image));
            missing.append(book);
        }
    }
    return true;
}
}

class LibrarySync::Private
{
public:
    explicit Private(LibrarySync* owner)
        : q(owner)
    {
    }

    // Opens `store`; when it does not open, warns with the caller's text.
    bool openStore(WebStore& store, const WebStore::FailureTexts& texts);
    void recordFetchedCovers(const QVector<CoverFetcher::Fetched>& fetched, int failed, QElapsedTimer since);

    LibrarySync* const q;
    LoginWS loginWS;
    LibraryWS libraryWS;
    // One watchdog for the synchronisation in progress, restarted by every synchronisation.
    QTimer syncWatchdog;
    // The same for the login in progress.
    QTimer loginWatchdog;
    CoverFetcher covers;
    SignIn signIn;
    bool syncReplyReceived = false;
    bool syncTimedOut = false;
    int mergeSerial = 0;
    // The sign-in that a merge waiting to be tried again is to complete; -1 when none.
    int retriedAttempt = -1;
    QString notesFile;
};

bool LibrarySync::Private::openStore(WebStore& store, const WebStore::FailureTexts& texts)
{
    if (store.open())
        return true;
    emit q->warning(store.failureText(texts));
    return false;
}

void LibrarySync::Private::recordFetchedCovers(const QVector<CoverFetcher::Fetched>& fetched, int failed, QElapsedTimer since)
{
    if (!fetched.isEmpty()) {
        WebStore store;
        QString failure;
        bool commitFailed = false;
        const bool opened = openStore(store, syncTexts());
        if (!opened)
            failure = store.failureText(syncTexts());
        const bool recorded = opened && commitWork(store, [&] {
            for (const CoverFetcher::Fetched& cover : fetched)
                if (!LibraryMerge::recordCover(store, cover.bookId, cover.name))
                    return false;
            return true;
        }, failure, commitFailed);
        store.close();
        if (!recorded && opened
            && q->retryLater(store, commitFailed, since, [=] { recordFetchedCovers(fetched, failed, since); }))
            return;
        if (!recorded) {
            q->showFailure(failure);
            return;
        }
        emit q->coversRecorded();
    }
    emit q->busy(false);
    if (failed > 0)
        emit q->statusMessage(completedWithoutCovers(failed), 4000);
    else
        emit q->statusMessage(QStringLiteral("Sincronizzazione completata"), 2000);
}

LibrarySync::LibrarySync(QObject* parent)
    : QObject(parent)
    , d(new Private(this))
{
    d->syncWatchdog.setSingleShot(true);
    connect(&d->syncWatchdog, &QTimer::timeout, this, &LibrarySync::onCheckTimeout);
    d->loginWatchdog.setSingleShot(true);
    connect(&d->loginWatchdog, &QTimer::timeout, this, &LibrarySync::onLoginTimeout);
    connect(&d->libraryWS, &LibraryWS::errorMessage, this, &LibrarySync::onLibraryWSError);
    connect(&d->libraryWS, &LibraryWS::replyLibrary, this, &LibrarySync::getBooksList);
    connect(&d->loginWS, &LoginWS::replySession, this, &LibrarySync::getSessionID);
    connect(&d->loginWS, &LoginWS::errorMessage, this, &LibrarySync::onLoginError);
    connect(&d->covers, &CoverFetcher::loading, this, [this](int counter, int missing) {
        emit statusMessage(QStringLiteral("Caricamento copertina %1 / %2 in corso").arg(counter).arg(missing), 0);
    });
    connect(&d->covers, &CoverFetcher::finished, this, [this](const QVector<CoverFetcher::Fetched>& fetched, int failed) {
        QElapsedTimer since;
        since.start();
        d->recordFetchedCovers(fetched, failed, since);
    });
}

LibrarySync::~LibrarySync() = default;

bool LibrarySync::signInWaiting() const { return d->signIn.waiting(); }

void LibrarySync::keepNotesIn(const QString& file) { d->notesFile = file; }

void LibrarySync::startLogin(const QString& username, const QString& password)
{
    emit busy(true);
    emit statusMessage(QStringLiteral("Login in corso..."), 0);
    d->signIn.begin(username);
    d->loginWatchdog.start(loginWatchdogMilliseconds);
    d->loginWS.login(username, password);
}

void LibrarySync::getSessionID(QString session)
{
    d->loginWatchdog.stop();
    AppSettings settings;
    settings.setUsername(d->signIn.username());
    settings.setSessionId(session);
    emit busy(false);
    emit statusMessage(QStringLiteral("Login eseguito correttamente"), 2000);
    d->signIn.accepted();
    if (!startSync())
        answerSignIn(d->signIn.current(), SignIn::Answer::Refused);
}

void LibrarySync::onLoginError(QString error)
{
    Diagnostics::debug("onLoginError %s", qPrintable(error));
    // A store that did not answer, or whose certificate is not trusted, is not a wrong name or
    // password: the user is told which.
    if (error == ServiceReply::networkError())
        refuseSignIn(SignIn::Answer::StoreUnreachable, QString(), QString());
    else if (HttpConnection::isCertificateFailure(error))
        refuseSignIn(SignIn::Answer::Failed, error, QString());
    else
        refuseSignIn(SignIn::Answer::Refused, QString(), QString());
}

void LibrarySync::onLoginTimeout()
{
    {
        // The request goes without a word of its own: the sign-in is answered here.
        const QSignalBlocker silent(&d->loginWS);
        d->loginWS.abort();
    }
    Diagnostics::debug("Timeout sul login");
    emit warningIcon(2000);
    refuseSignIn(SignIn::Answer::NoAnswer, QString(), QStringLiteral("Timeout sull'accesso"));
}

void LibrarySync::refuseSignIn(SignIn::Answer answer, const QString& error, const QString& status)
{
    d->loginWatchdog.stop();
    emit busy(false);
    emit statusMessage(status, status.isEmpty() ? 0 : 2000);
    WebStore store;
    const WebStore::FailureTexts texts {
        QStringLiteral("Settaggi non trovati, non posso salvare le informazioni sul database"),
        [](const QString&, const QString&) { return QStringLiteral("Apertura database delle note fallita 2"); },
    };
    // The refusal is recorded when the store opens; the page hears of it in any case.
    if (d->openStore(store, texts)) {
        int counter = 0;
        if (!store.maxId(counter) || !store.setApplicationValue(counter, QStringLiteral("LOGIN"), QStringLiteral("FALSE")))
            emit statusMessage(QStringLiteral("Impossibile salvare l'esito dell'accesso nel database: ") + store.errorString(),
                               4000);
        store.close();
    }
    answerSignIn(d->signIn.current(), answer, error);
}

bool LibrarySync::startSync()
{
    Diagnostics::debug("Sincronizzazione in corso...\n");
    AppSettings settings;
    const QString sessionId = settings.sessionId();
    const QString username = settings.username();
    if (sessionId.isEmpty())
        return false;
    d->syncReplyReceived = false;
    d->syncTimedOut = false;
    d->libraryWS.getHistory(username, sessionId);
    d->syncWatchdog.start(watchdogMilliseconds);
    emit busy(true);
    emit statusMessage(QStringLiteral("Sincronizzazione in corso..."), 0);
    return true;
}

void LibrarySync::onCheckTimeout()
{
    if (d->syncReplyReceived)
        return;
    d->syncTimedOut = true;
    emit busy(false);
    emit warningIcon(2000);
    emit statusMessage(QStringLiteral("Timeout sulla sincronizzazione"), 2000);
    d->libraryWS.abort();
}

void LibrarySync::onLibraryWSError(QString error)
{
    d->syncReplyReceived = true;
    d->syncWatchdog.stop();
    if (!d->syncTimedOut) {
        showFailure(error);
        d->libraryWS.abort();
        if (error.contains(QLatin1String("Accesso negato"))) {
            // The window saves the notes before it tells the user and waits for the Ok.
            emit accessDenied();
            return;
        }
        // A certificate that is not trusted will not mend itself later: the user is told whose.
        if (HttpConnection::isCertificateFailure(error)) {
            emit warning(error);
            emit syncStopped();
        } else {
            showPageFailure();
        }
    }
    if (d->signIn.waiting())
        answerSignIn(d->signIn.current(), SignIn::Answer::Failed, error);
}

void LibrarySync::showFailure(const QString& error)
{
    emit busy(false);
    emit warningIcon(4000);
    emit statusMessage(QStringLiteral("Sincronizzazione fallita: ") + error, 4000);
}

void LibrarySync::showPageFailure()
{
    emit syncProblem();
    emit syncStopped();
}

void LibrarySync::loadDefaultList()
{
    WebStore store;
    const WebStore::FailureTexts texts {
        QStringLiteral("Settaggi non trovati, non posso leggere le informazioni sui libri dal database"),
        [](const QString&, const QString& reason) {
            return QStringLiteral("Apertura database delle note fallita, Motivo: ") + reason;
        },
    };
    if (!d->openStore(store, texts))
        return;
    QVector<Book> books;
    if (!LibraryMerge::readLibrary(store, books)) {
        emit warning(texts.openFailed(WebStore::path(), store.errorString()));
        return;
    }
    store.close();
    libraryBooks = books;
    emit libraryLoaded(books);
}

void LibrarySync::getBooksList(QVector<Book> booksList)
{
    d->syncReplyReceived = true;
    d->syncWatchdog.stop();
    // Books whose identifier cannot name a folder inside the books folder are left out.
    const QVector<Book> books = LibraryMerge::mergeable(booksList);
    libraryBooks = books;
    emit libraryLoaded(books);
    // The sign-in this merge completes, if any (also one that a merge still to be tried again
    // was to complete); a newer sign-in takes over from it.
    const int waiting = d->signIn.takeWaiting();
    const int attempt = waiting >= 0 ? waiting : d->retriedAttempt;
    QElapsedTimer since;
    since.start();
    mergeBooks(books, attempt, ++d->mergeSerial, since);
}

void LibrarySync::mergeBooks(const QVector<Book>& books, int attempt, int serial, QElapsedTimer since)
{
    if (serial != d->mergeSerial)
        return;
    WebStore store;
    if (!d->openStore(store, syncTexts())) {
        const QString failure = store.failureText(syncTexts());
        answerSignIn(attempt, SignIn::Answer::Failed, failure);
        showFailure(failure);
        showPageFailure();
        return;
    }
    // The rows, with the covers already cached and the sign-in they complete, go in one short
    // transaction; the missing covers are fetched afterwards with none held, so that neither
    // the page's own writes nor the sign-in wait behind a download.
    const bool signingIn = d->signIn.isCurrent(attempt);
    bool changed = false;
    bool commitFailed = false;
    QString failure;
    QVector<Book> missing;
    const bool written = commitWork(store, [&] {
        return LibraryMerge::mergeLibrary(store, books, changed) && recordCachedCovers(store, books, missing)
            && (!signingIn || completeSignIn(store));
    }, failure, commitFailed);
    store.close();
    d->retriedAttempt = -1;
    if (!written && retryLater(store, commitFailed, since, [=] { mergeBooks(books, attempt, serial, since); })) {
        d->retriedAttempt = attempt;
        return;
    }
    if (signingIn)
        answerSignIn(attempt, written ? SignIn::Answer::Accepted : SignIn::Answer::Failed, failure);
    if (!written) {
        showFailure(failure);
        showPageFailure();
        return;
    }
    emit mergeEnded(changed, signingIn);
    d->covers.fetch(missing);
}

bool LibrarySync::retryLater(const WebStore& store, bool commitFailed, const QElapsedTimer& since,
                             const std::function<void()>& again)
{
    if (store.wasBusy() && since.elapsed() < storeRetryMilliseconds) {
        Diagnostics::debug("Database occupato, nuovo tentativo");
        QTimer::singleShot(100, this, again);
        return true;
    }
    if (commitFailed)
        emit critical(QStringLiteral("Error"), QStringLiteral("rollback"));
    return false;
}

bool LibrarySync::completeSignIn(WebStore& store)
{
    const QString sessionId = AppSettings().sessionId();
    int counter = 0;
    return store.maxId(counter) && store.setApplicationValue(counter, QStringLiteral("LOGIN"), QStringLiteral("TRUE"))
        && store.setApplicationValue(counter, QStringLiteral("USERNAME"), d->signIn.username())
        && store.setApplicationValue(counter, QStringLiteral("SESSIONID"), sessionId);
}

void LibrarySync::answerSignIn(int attempt, SignIn::Answer answer, const QString& error)
{
    if (d->signIn.answer(attempt))
        emit signInAnswered(answer, error);
}

QString LibrarySync::getBookField(const QString& bookId, const QString& name) const
{
    for (const Book& book : libraryBooks)
        if (book.bookId == bookId)
            return book.field(name);
    return QString();
}

void LibrarySync::signOut()
{
    NotesExport notes;
    if (!d->notesFile.isEmpty() && !notes.update(d->notesFile)) {
        emit warning(QStringLiteral("Gli appunti non sono stati salvati di nuovo, quindi nessun dato è stato rimosso. ")
            + notes.errorText());
        return;
    }
    const QString data = DataPaths::dataDirectory();
    if (QDir(data).exists() && !removeDirectoryTree(data))
        Diagnostics::debug("Errori nella rimozione dati\n");
    AppSettings().clear();
    emit signedOut();
}
