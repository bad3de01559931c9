#include "app/mainwindow.h"

#include "app/datadirectory.h"
#include "app/dialogs.h"
#include "app/update.h"
#include "base/appsettings.h"
#include "base/datapaths.h"
#include "base/diagnostics.h"
#include "base/processexit.h"
#include "base/scriptliteral.h"
#include "library/librarymerge.h"
#include "packages/bookinstaller.h"
#include "packages/cachedimage.h"
#include "packages/download.h"
#include "resources/resources.h"
#include "services/libraryws.h"
#include "services/loginws.h"
#include "services/servicereply.h"
#include "services/updatews.h"
#include "store/webstore.h"
#include "web/pageloader.h"
#include "web/qtjavascriptinteraction.h"
#include "web/scriptcall.h"
#include "ui_mainwindow.h"
#include "vocalumeconfig.h"
#include "web/customagentwebview.h"
#include "web/webpage.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QKeyEvent>
#include <QLabel>
#include <QProgressBar>
#include <QStatusBar>
#include <QSqlError>
#include <QTimer>
#include <QWebSettings>

MainWindow* mainWindowInstance = nullptr;
int MainWindow::syncWatchdogMilliseconds = 20000;

MainWindow::MainWindow(QWidget* parent)
    : QMainWindow(parent)
    , ui(new Ui::MainWindow)
{
    VocalumeResources::init();
    ui->setupUi(this);
    setMinimumSize(800, 600);

    db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"));

    progressBar = new QProgressBar;
    progressBar->setMaximumHeight(16);
    progressBar->setMaximumWidth(340);
    progressBar->setTextVisible(false);
    progressBar->setRange(0, 100);
    progressBar->setValue(0);

    webView = new CustomAgentWebView;
    webView->setContextMenuPolicy(Qt::NoContextMenu);
    webView->setPage(new webPage(webView));
    Diagnostics::debug("Initializing webview...");

    QWebSettings* global = QWebSettings::globalSettings();
    global->setAttribute(QWebSettings::OfflineStorageDatabaseEnabled, true);
    global->setAttribute(QWebSettings::LocalStorageEnabled, true);
    QWebSettings::setOfflineStorageDefaultQuota(209715200);

    libraryWS = new LibraryWS;
    updateWS = new UpdateWS;
    syncWatchdog = new QTimer(this);
    syncWatchdog->setSingleShot(true);
    connect(syncWatchdog, &QTimer::timeout, this, &MainWindow::onCheckTimeout);
    connect(libraryWS, &LibraryWS::errorMessage, this, &MainWindow::onLibraryWSError);
    connect(libraryWS, &LibraryWS::replyLibrary, this, &MainWindow::getBooksList);
    connect(updateWS, &UpdateWS::replyUpdate, this, &MainWindow::onUpdateReply);

    warningIcon = new QLabel;
    warningIcon->setPixmap(QPixmap(QStringLiteral(":/images/warning_icon.png")));
    installer = new BookInstaller(this);
    showInstallation();

    AppSettings settings;
    const QString storedVersion = settings.version();
    bool migrated = true;
    if (!storedVersion.isEmpty() && storedVersion != QLatin1String(VOCALUME_VERSION))
        migrated = migrateDataDirectory(this);

    prepareDataDirectory(this);

    bridge = new QtJavascriptInteraction(webView);
    mainWindowInstance = this;
    bridge->attach(webView);

    loadDefaultList();
    QTimer::singleShot(100, this, &MainWindow::goToLibrary);

    loginWS = new LoginWS;
    connect(loginWS, &LoginWS::replySession, this, &MainWindow::getSessionID);
    connect(loginWS, &LoginWS::errorMessage, this, &MainWindow::onLoginError);

    // An unfinished migration is run again at the next start.
    if (migrated)
        settings.setVersion(QStringLiteral(VOCALUME_VERSION));
    startSync();
    updateWS->checkVersion();
}

MainWindow::~MainWindow()
{
    delete ui;
    delete updateWS;
    delete libraryWS;
    delete loginWS;
    delete bridge;
    if (!webView->parent())
        delete webView;
    delete warningIcon;
    delete progressBar;
    db = QSqlDatabase();
    if (mainWindowInstance == this)
        mainWindowInstance = nullptr;
}

QString MainWindow::readEnginePage(const QDir& engine, const QString& name) const
{
    QByteArray bytes;
    if (PageLoader::readArchive(engine.absoluteFilePath(name) + QStringLiteral(".zip"), name, &bytes) != 0)
        return QString();
    return PageLoader::inlineScripts(engine, QString::fromUtf8(bytes));
}

void MainWindow::goToLibrary()
{
    QDir engine;
    enterEngineDirectory(this, engine);

    QString page = QStringLiteral("login.html");
    QString storeFailure;
    const bool logged = WebStore::isLogged(&storeFailure);
    if (!storeFailure.isEmpty())
        Dialogs::warning(this, QStringLiteral("Vocalume"), storeFailure);
    if (logged) {
        WebStore store;
        const WebStore::FailureTexts texts {
            QStringLiteral("Settaggi non trovati, non posso leggere le informazioni sui libri dal database"),
            [](const QString& path, const QString& reason) {
                return QStringLiteral("Apertura database ") + path + QStringLiteral(" fallita, motivo: ") + reason;
            },
        };
        if (!Dialogs::openStore(this, store, texts))
            return;
        store.close();
        page = QStringLiteral("libreria.html");
    }

    const QString html = readEnginePage(engine, page);
    if (html.isEmpty()) {
        statusBar()->showMessage(QStringLiteral("Errore nell'apertura della libreria"), 2000);
        Dialogs::warning(this, QStringLiteral("Vocalume"), QStringLiteral("Si sono verificati errori aprendo la libreria"));
        statusBar()->removeWidget(progressBar);
        statusBar()->showMessage(QString());
        return;
    }
    if (ui->scrollArea->widget() != webView)
        ui->scrollArea->setWidget(webView);
    webView->setHtml(html, QUrl::fromLocalFile(engine.absoluteFilePath(page)));
}

bool MainWindow::goToReading(const QString& archivePath, const QString& bookId)
{
    // The identifier names a folder and a package inside the books folder, nothing else.
    if (!bookId.isEmpty() && !Download::isPackageName(bookId))
        return false;
    QDir books;
    if (!enterBooksDirectory(this, books))
        return false;
    // With an empty id the books folder itself counts as the dictionary's folder.
    const QString bookPath = bookId.isEmpty() ? books.absolutePath() : books.absoluteFilePath(bookId);
    if (!QFileInfo::exists(bookPath) && !unpackBook(archivePath, bookPath, books.absolutePath()))
        return false;
    bridge->bookId = bookId;
    Diagnostics::debug("goToReading bookID %s", qPrintable(bookId));
    return true;
}

void MainWindow::showBusyIndicator()
{
    progressBar->setValue(1);
    progressBar->setRange(0, 0);
    statusBar()->addPermanentWidget(progressBar, 0);
    progressBar->show();
}

void MainWindow::hideBusyIndicator()
{
    statusBar()->removeWidget(progressBar);
}

void MainWindow::keyPressEvent(QKeyEvent* event)
{
    if (!(event->modifiers() & Qt::ControlModifier) || event->key() != Qt::Key_R)
        return;
    const QString question = QStringLiteral(
        "Resettare i dati dell'applicazione? (il programma verrà chiuso e i libri dovranno essere riscaricati)");
    if (!Dialogs::confirm(this, question))
        return;
    // A reset ends exactly as a sign-out does: no local data, no settings, program closed.
    logout();
}

bool MainWindow::unpackBook(const QString& zipPath, const QString& destPath, const QString& baseDir)
{
    return installer->unpackBook(zipPath, destPath, baseDir);
}

// The installer's status, progress and warnings, shown in this window.
void MainWindow::showInstallation()
{
    connect(installer, &BookInstaller::statusMessage, this, &MainWindow::showStatusMessage);
    connect(installer, &BookInstaller::progressShown, this, [this] {
        progressBar->setValue(0);
        progressBar->setMinimum(0);
        progressBar->setMaximum(100);
        statusBar()->addPermanentWidget(progressBar);
        progressBar->show();
    });
    connect(installer, &BookInstaller::progressChanged, progressBar, &QProgressBar::setValue);
    connect(installer, &BookInstaller::progressHidden, this, [this] { statusBar()->removeWidget(progressBar); });
    connect(installer, &BookInstaller::warning, this, &MainWindow::showWarning);
}

void MainWindow::showStatusMessage(const QString& text, int timeout)
{
    statusBar()->showMessage(text, timeout);
}

void MainWindow::showWarning(const QString& text)
{
    Dialogs::warning(this, QStringLiteral("Vocalume"), text);
}

void MainWindow::startDownload(const QString& filePath, const QString& sku)
{
    if (!Download::isPackageName(sku))
        return;
    QDir books;
    if (!enterBooksDirectory(this, books))
        return;

    Download* download = new Download;
    if (Download* old = bridge->downloads.value(sku)) {
        Diagnostics::debug("deleting download structure for %s", qPrintable(sku));
        old->discard();
    }
    bridge->downloads.insert(sku, download);
    CustomAgentWebView* view = webView;
    connect(download, &Download::pageStatement, view,
            [view](const QString& statement) { ScriptCall::run(view, statement); });
    connect(download, &Download::statusMessage, this, &MainWindow::showStatusMessage);
    connect(download, &Download::warning, this, &MainWindow::showWarning);
    download->installer = installer;
    download->goToReading = [this](const QString& packagePath, const QString& bookId) {
        return goToReading(packagePath, bookId);
    };
    download->booksPath = books.absolutePath();
    download->sku = sku;
    download->filePath = filePath;
    download->callback = bridge->downloadCallback;
    download->library = libraryBooks;
    download->start();
}

QString MainWindow::getBookField(const QString& bookId, const QString& name) const
{
    for (const Book& book : libraryBooks)
        if (book.bookId == bookId)
            return book.field(name);
    return QString();
}

void MainWindow::onUpdateReply(bool reply, QString url)
{
    Update::offerDownload(this, reply, url);
}

void MainWindow::startLogin(const QString& username, const QString& password)
{
    showBusyIndicator();
    statusBar()->showMessage(QStringLiteral("Login in corso..."));
    loginUsername = username;
    // A new sign-in replaces any earlier one, whatever stage that one has reached.
    ++signInAttempt;
    signInAnswered = false;
    loginPending = false;
    loginWS->login(username, password);
}

void MainWindow::getSessionID(QString session)
{
    AppSettings settings;
    settings.setUsername(loginUsername);
    settings.setSessionId(session);
    hideBusyIndicator();
    statusBar()->showMessage(QStringLiteral("Login eseguito correttamente"), 2000);
    loginPending = true;
    signInAnswered = false;
    if (!startSync())
        answerSignIn(signInAttempt, refusedSignIn());
}

void MainWindow::onLoginError(QString error)
{
    hideBusyIndicator();
    statusBar()->showMessage(QString());
    Diagnostics::debug("onLoginError %s", qPrintable(error));
    WebStore store;
    const WebStore::FailureTexts texts {
        QStringLiteral("Settaggi non trovati, non posso salvare le informazioni sul database"),
        [](const QString&, const QString&) { return QStringLiteral("Apertura database delle note fallita 2"); },
    };
    // The refusal is recorded when the store opens; the page hears of it in any case.
    if (Dialogs::openStore(this, store, texts)) {
        int counter = store.maxId();
        store.setApplicationValue(counter, QStringLiteral("LOGIN"), QStringLiteral("FALSE"));
        store.close();
    }
    // A store that did not answer is not a wrong name or password: the user is told which.
    answerSignIn(signInAttempt, error == ServiceReply::networkError() ? unreachableStore() : refusedSignIn());
}

void MainWindow::logout()
{
    const QString data = DataPaths::dataDirectory();
    if (QDir(data).exists() && !removeDirectoryTree(data))
        Diagnostics::debug("Errori nella rimozione dati\n");
    AppSettings().clear();
    Dialogs::information(this, QStringLiteral("Vocalume"),
                         QStringLiteral("Operazione completata, l'applicazione verrà chiusa"));
    ProcessExit::terminate(0);
}

bool MainWindow::startSync()
{
    Diagnostics::debug("Sincronizzazione in corso...\n");
    AppSettings settings;
    const QString sessionId = settings.sessionId();
    const QString username = settings.username();
    if (sessionId.isEmpty())
        return false;
    syncReplyReceived = false;
    syncTimedOut = false;
    libraryWS->getHistory(username, sessionId);
    progressBar->setValue(1);
    progressBar->setRange(0, 0);
    syncWatchdog->start(syncWatchdogMilliseconds);
    statusBar()->addPermanentWidget(progressBar, 0);
    progressBar->show();
    statusBar()->showMessage(QStringLiteral("Sincronizzazione in corso..."));
    return true;
}

void MainWindow::showWarningIcon(int milliseconds)
{
    statusBar()->addPermanentWidget(warningIcon);
    warningIcon->show();
    QTimer::singleShot(milliseconds, this, &MainWindow::removeWarningIcon);
}

void MainWindow::onCheckTimeout()
{
    if (syncReplyReceived)
        return;
    syncTimedOut = true;
    hideBusyIndicator();
    showWarningIcon(2000);
    statusBar()->showMessage(QStringLiteral("Timeout sulla sincronizzazione"), 2000);
    libraryWS->abort();
}

void MainWindow::removeWarningIcon()
{
    statusBar()->removeWidget(warningIcon);
}

void MainWindow::onLibraryWSError(QString error)
{
    syncReplyReceived = true;
    syncWatchdog->stop();
    if (!syncTimedOut) {
        hideBusyIndicator();
        showWarningIcon(4000);
        statusBar()->showMessage(QStringLiteral("Sincronizzazione fallita: ") + error, 4000);
        libraryWS->abort();
        if (error.contains(QLatin1String("Accesso negato"))) {
            ScriptCall::run(webView, QStringLiteral("messageDialog(\"Accesso negato!<br/>Sarà necessario riloggarsi e "
                                                    "riscaricare i libri\", \"QtJavascriptInteraction.onLogout()\")"));
            logout();
            return;
        }
        ScriptCall::run(webView, QStringLiteral("messageDialog(\"Si è verificato un problema durante la "
                                                "sincronizzazione dei tuoi acquisti!<br/>Ti invitiamo a riprovare più "
                                                "tardi\")"));
        ScriptCall::run(webView, QStringLiteral("__APP.spinner=false"));
    }
    if (loginPending)
        answerSignIn(signInAttempt, signInFailure(error));
}

void MainWindow::loadDefaultList()
{
    WebStore store;
    const WebStore::FailureTexts texts {
        QStringLiteral("Settaggi non trovati, non posso leggere le informazioni sui libri dal database"),
        [](const QString&, const QString& reason) {
            return QStringLiteral("Apertura database delle note fallita, Motivo: ") + reason;
        },
    };
    if (!Dialogs::openStore(this, store, texts))
        return;
    const QVector<Book> books = LibraryMerge::readLibrary(store);
    store.close();
    libraryBooks = books;
}

void MainWindow::getBooksList(QVector<Book> booksList)
{
    syncReplyReceived = true;
    syncWatchdog->stop();
    // Books whose identifier cannot name a folder inside the books folder are left out.
    const QVector<Book> books = LibraryMerge::mergeable(booksList);
    libraryBooks = books;
    // The sign-in this merge completes, if any; a newer sign-in takes over from it.
    const int attempt = loginPending ? signInAttempt : -1;
    loginPending = false;
    WebStore store;
    const WebStore::FailureTexts texts {
        QStringLiteral("Settaggi non trovati, non posso salvare le informazioni sul database"),
        [](const QString& path, const QString& reason) {
            return QStringLiteral("Apertura database ") + path + QStringLiteral(" fallita, motivo: ") + reason;
        },
    };
    if (!Dialogs::openStore(this, store, texts)) {
        answerSignIn(attempt, signInFailure(store.failureText(texts)));
        return;
    }
    // The rows go in one short transaction; covers are fetched with none held, so that the
    // page's own writes never wait behind a download, and are recorded in a second one.
    store.transaction();
    const bool changed = LibraryMerge::mergeLibrary(store, books);
    QString failure;
    const bool merged = commitOrRollBack(store, &failure);
    fetchCovers(store, books);

    const bool signingIn = attempt >= 0 && attempt == signInAttempt;
    const bool signedIn = signingIn && merged && completeSignIn(store, &failure);
    store.close();
    if (signingIn)
        answerSignIn(attempt, signedIn ? QStringLiteral("{result:true,error:\"\"}") : signInFailure(failure));

    if (bridge->syncing || signedIn || changed)
        goToLibrary();
    hideBusyIndicator();
    if (merged)
        statusBar()->showMessage(QStringLiteral("Sincronizzazione completata"), 2000);
    else
        statusBar()->showMessage(QStringLiteral("Sincronizzazione fallita: ") + failure, 4000);
}

void MainWindow::fetchCovers(WebStore& store, const QVector<Book>& books)
{
    int missing = 0;
    for (const Book& book : books) {
        CachedImage cover(book.image);
        if (!cover.present) {
            ++missing;
            Diagnostics::debug("Copertina mancante: %s", qPrintable(book.image));
        }
    }
    QStringList updates;
    int counter = 1;
    for (const Book& book : books) {
        CachedImage cover(book.image);
        bool recorded = cover.present;
        if (!cover.present) {
            statusBar()->showMessage(QStringLiteral("Caricamento copertina %1 / %2 in corso").arg(counter).arg(missing));
            if (cover.download())
                Dialogs::warning(this, QStringLiteral("Vocalume"),
                                 QStringLiteral("Impossibile scaricare la copertina del libro %1").arg(book.title));
            else
                recorded = true;
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

bool MainWindow::commitOrRollBack(WebStore& store, QString* error)
{
    if (store.commit())
        return true;
    if (error)
        *error = store.database().lastError().text();
    Dialogs::critical(nullptr, QStringLiteral("Error"), QStringLiteral("rollback"));
    store.rollback();
    return false;
}

bool MainWindow::completeSignIn(WebStore& store, QString* error)
{
    store.transaction();
    const QString sessionId = AppSettings().sessionId();
    int counter = store.maxId();
    store.setApplicationValue(counter, QStringLiteral("LOGIN"), QStringLiteral("TRUE"));
    store.setApplicationValue(counter, QStringLiteral("USERNAME"), loginUsername);
    store.setApplicationValue(counter, QStringLiteral("SESSIONID"), sessionId);
    return commitOrRollBack(store, error);
}

void MainWindow::answerSignIn(int attempt, const QString& literal)
{
    if (attempt < 0 || attempt != signInAttempt || signInAnswered)
        return;
    signInAnswered = true;
    loginPending = false;
    ScriptCall::run(webView, ScriptLiteral::singleQuoted(bridge->loginCallback, literal));
}

QString MainWindow::signInFailure(const QString& error) const
{
    // The text lands in a double-quoted string of a single-quoted literal.
    return QStringLiteral("{result:false,error:\"") + ScriptLiteral::escapeNested(error, QLatin1Char('"'), QLatin1Char('\''))
        + QStringLiteral("\"}");
}

QString MainWindow::unreachableStore()
{
    return QStringLiteral("{result:false,error:\"Impossibile contattare il negozio. Controlla la connessione a Internet "
                          "e riprova.\"}");
}

QString MainWindow::refusedSignIn()
{
    return QStringLiteral("{result:false,error:\"Impossibile eseguire l\\'accesso. Controlla i dati inseriti oppure "
                          "effettua la registrazione.\"}");
}
