#include "library/librarysync.h"

#include "base/appsettings.h"
#include "base/diagnostics.h"
#include "library/librarymerge.h"
#include "packages/cachedimage.h"
#include "services/httpconnection.h"
#include "services/servicereply.h"

#include <QSqlError>
#include <QStringList>

int LibrarySync::watchdogMilliseconds = 20000;

LibrarySync::LibrarySync(QObject* parent)
    : QObject(parent)
{
    syncWatchdog.setSingleShot(true);
    connect(&syncWatchdog, &QTimer::timeout, this, &LibrarySync::onCheckTimeout);
    connect(&libraryWS, &LibraryWS::errorMessage, this, &LibrarySync::onLibraryWSError);
    connect(&libraryWS, &LibraryWS::replyLibrary, this, &LibrarySync::getBooksList);
    connect(&loginWS, &LoginWS::replySession, this, &LibrarySync::getSessionID);
    connect(&loginWS, &LoginWS::errorMessage, this, &LibrarySync::onLoginError);
}

LibrarySync::~LibrarySync() = default;

void LibrarySync::startLogin(const QString& username, const QString& password)
{
    emit busy(true);
    emit statusMessage(QStringLiteral("Login in corso..."), 0);
    signIn.begin(username);
    loginWS.login(username, password);
}

void LibrarySync::getSessionID(QString session)
{
    AppSettings settings;
    settings.setUsername(signIn.username());
    settings.setSessionId(session);
    emit busy(false);
    emit statusMessage(QStringLiteral("Login eseguito correttamente"), 2000);
    signIn.accepted();
    if (!startSync())
        answerSignIn(signIn.current(), SignIn::refused());
}

void LibrarySync::onLoginError(QString error)
{
    emit busy(false);
    emit statusMessage(QString(), 0);
    Diagnostics::debug("onLoginError %s", qPrintable(error));
    WebStore store;
    const WebStore::FailureTexts texts {
        QStringLiteral("Settaggi non trovati, non posso salvare le informazioni sul database"),
        [](const QString&, const QString&) { return QStringLiteral("Apertura database delle note fallita 2"); },
    };
    // The refusal is recorded when the store opens; the page hears of it in any case.
    if (openStore(store, texts)) {
        int counter = store.maxId();
        store.setApplicationValue(counter, QStringLiteral("LOGIN"), QStringLiteral("FALSE"));
        store.close();
    }
    // A store that did not answer, or whose certificate is not trusted, is not a wrong name or
    // password: the user is told which.
    QString answer = SignIn::refused();
    if (error == ServiceReply::networkError())
        answer = SignIn::unreachableStore();
    else if (HttpConnection::isCertificateFailure(error))
        answer = SignIn::failure(error);
    answerSignIn(signIn.current(), answer);
}

bool LibrarySync::startSync()
{
    Diagnostics::debug("Sincronizzazione in corso...\n");
    AppSettings settings;
    const QString sessionId = settings.sessionId();
    const QString username = settings.username();
    if (sessionId.isEmpty())
        return false;
    syncReplyReceived = false;
    syncTimedOut = false;
    libraryWS.getHistory(username, sessionId);
    syncWatchdog.start(watchdogMilliseconds);
    emit busy(true);
    emit statusMessage(QStringLiteral("Sincronizzazione in corso..."), 0);
    return true;
}

void LibrarySync::onCheckTimeout()
{
    if (syncReplyReceived)
        return;
    syncTimedOut = true;
    emit busy(false);
    emit warningIcon(2000);
    emit statusMessage(QStringLiteral("Timeout sulla sincronizzazione"), 2000);
    libraryWS.abort();
}

void LibrarySync::onLibraryWSError(QString error)
{
    syncReplyReceived = true;
    syncWatchdog.stop();
    if (!syncTimedOut) {
        emit busy(false);
        emit warningIcon(4000);
        emit statusMessage(QStringLiteral("Sincronizzazione fallita: ") + error, 4000);
        libraryWS.abort();
        if (error.contains(QLatin1String("Accesso negato"))) {
            // The window saves the notes before it tells the user and waits for the Ok.
            emit accessDenied();
            return;
        }
        // A certificate that is not trusted will not mend itself later: the user is told whose.
        if (HttpConnection::isCertificateFailure(error))
            emit warning(error);
        else
            emit pageStatement(QStringLiteral("messageDialog(\"Si è verificato un problema durante la "
                                              "sincronizzazione dei tuoi acquisti!<br/>Ti invitiamo a riprovare più "
                                              "tardi\")"));
        emit pageStatement(QStringLiteral("__APP.spinner=false"));
    }
    if (signIn.waiting())
        answerSignIn(signIn.current(), SignIn::failure(error));
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
    if (!openStore(store, texts))
        return;
    const QVector<Book> books = LibraryMerge::readLibrary(store);
    store.close();
    emit libraryLoaded(books);
}

void LibrarySync::getBooksList(QVector<Book> booksList)
{
    syncReplyReceived = true;
    syncWatchdog.stop();
    // Books whose identifier cannot name a folder inside the books folder are left out.
    const QVector<Book> books = LibraryMerge::mergeable(booksList);
    emit libraryLoaded(books);
    // The sign-in this merge completes, if any; a newer sign-in takes over from it.
    const int attempt = signIn.takeWaiting();
    WebStore store;
    const WebStore::FailureTexts texts {
        QStringLiteral("Settaggi non trovati, non posso salvare le informazioni sul database"),
        [](const QString& path, const QString& reason) {
            return QStringLiteral("Apertura database ") + path + QStringLiteral(" fallita, motivo: ") + reason;
        },
    };
    if (!openStore(store, texts)) {
        answerSignIn(attempt, SignIn::failure(store.failureText(texts)));
        return;
    }
    // The rows go in one short transaction; covers are fetched with none held, so that the
    // page's own writes never wait behind a download, and are recorded in a second one.
    store.transaction();
    const bool changed = LibraryMerge::mergeLibrary(store, books);
    QString failure;
    const bool merged = commitOrRollBack(store, &failure);
    fetchCovers(store, books);

    const bool signingIn = signIn.isCurrent(attempt);
    const bool signedIn = signingIn && merged && completeSignIn(store, &failure);
    store.close();
    if (signingIn)
        answerSignIn(attempt, signedIn ? SignIn::success() : SignIn::failure(failure));

    emit mergeEnded(signedIn || changed);
    emit busy(false);
    if (merged)
        emit statusMessage(QStringLiteral("Sincronizzazione completata"), 2000);
    else
        emit statusMessage(QStringLiteral("Sincronizzazione fallita: ") + failure, 4000);
}

bool LibrarySync::openStore(WebStore& store, const WebStore::FailureTexts& texts)
{
    if (store.open())
        return true;
    emit warning(store.failureText(texts));
    return false;
}

void LibrarySync::fetchCovers(WebStore& store, const QVector<Book>& books)
{
    int missing = 0;
    for (const Book& book : books) {
        if (!CachedImage::isCached(book.image)) {
            ++missing;
            Diagnostics::debug("Copertina mancante: %s", qPrintable(book.image));
        }
    }
    QStringList updates;
    int counter = 1;
    for (const Book& book : books) {
        // Asked here, not above: an earlier book of the list may have brought the same picture.
        CachedImage cover(book.image);
        bool recorded = cover.present;
        if (!cover.present) {
            emit statusMessage(QStringLiteral("Caricamento copertina %1 / %2 in corso").arg(counter).arg(missing), 0);
            if (cover.download()) {
                const QString certificate = cover.certificateFailure();
                emit warning(QStringLiteral("Impossibile scaricare la copertina del libro %1").arg(book.title)
                             + (certificate.isEmpty() ? QString() : QStringLiteral(".\n") + certificate));
            } else {
                recorded = true;
            }
            ++counter;
        }
        if (recorded)
            updates << QStringLiteral("UPDATE SYSTEM set VALUE='") + WebStore::quote(cover.name)
                    + QStringLiteral("' where VARIABLE='COVER'") + QStringLiteral(" and REFBOOK = '")
                    + WebStore::quote(book.bookId) + QStringLiteral("'");
    }
    store.transaction();
    for (const QString& update : updates)
        store.exec(update);
    commitOrRollBack(store);
}

bool LibrarySync::commitOrRollBack(WebStore& store, QString* error)
{
    if (store.commit())
        return true;
    if (error)
        *error = store.database().lastError().text();
    emit critical(QStringLiteral("Error"), QStringLiteral("rollback"));
    store.rollback();
    return false;
}

bool LibrarySync::completeSignIn(WebStore& store, QString* error)
{
    store.transaction();
    const QString sessionId = AppSettings().sessionId();
    int counter = store.maxId();
    store.setApplicationValue(counter, QStringLiteral("LOGIN"), QStringLiteral("TRUE"));
    store.setApplicationValue(counter, QStringLiteral("USERNAME"), signIn.username());
    store.setApplicationValue(counter, QStringLiteral("SESSIONID"), sessionId);
    return commitOrRollBack(store, error);
}

void LibrarySync::answerSignIn(int attempt, const QString& literal)
{
    if (signIn.answer(attempt))
        emit signInAnswered(literal);
}
