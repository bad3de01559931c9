#include "app/mainwindow.h"

#include "app/datadirectory.h"
#include "app/desktophabits.h"
#include "app/dataremoval.h"
#include "app/dialogs.h"
#include "app/statusindicators.h"
#include "app/update.h"
#include "base/appsettings.h"
#include "base/datapaths.h"
#include "base/diagnostics.h"
#include "base/processexit.h"
#include "base/scriptliteral.h"
#include "library/librarysync.h"
#include "packages/bookinstaller.h"
#include "packages/download.h"
#include "resources/resources.h"
#include "services/updatews.h"
#include "store/webstore.h"
#include "web/pageloader.h"
#include "web/qtjavascriptinteraction.h"
#include "web/scriptcall.h"
#include "ui_mainwindow.h"
#include "vocalumeconfig.h"
#include "web/customagentwebview.h"
#include "web/webpage.h"

#include <QFileInfo>
#include <QKeyEvent>
#include <QStatusBar>
#include <QTimer>
#include <QWebFrame>
#include <QWebPage>
#include <QWebSettings>

MainWindow* mainWindowInstance = nullptr;

MainWindow::MainWindow(QWidget* parent)
    : QMainWindow(parent)
    , ui(new Ui::MainWindow)
{
    VocalumeResources::init();
    ui->setupUi(this);
    setMinimumSize(800, 600);
    DesktopHabits::fitToScreen(this);
    DesktopHabits::addQuitKey(this);

    db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"));

    indicators = new StatusIndicators(statusBar());
    progressBar = indicators->progressBar();

    webView = new CustomAgentWebView;
    webView->setContextMenuPolicy(Qt::NoContextMenu);
    webView->setPage(new webPage(webView));
    Diagnostics::debug("Initializing webview...");

    QWebSettings* global = QWebSettings::globalSettings();
    global->setAttribute(QWebSettings::OfflineStorageDatabaseEnabled, true);
    global->setAttribute(QWebSettings::LocalStorageEnabled, true);
    QWebSettings::setOfflineStorageDefaultQuota(209715200);

    library = new LibrarySync(this);
    updateWS = new UpdateWS;
    connectLibrary();
    connect(updateWS, &UpdateWS::replyUpdate, this, &MainWindow::onUpdateReply);

    warningIcon = indicators->warningIcon();
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
    delete library;
    delete bridge;
    if (!webView->parent())
        delete webView;
    delete indicators;
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

    QString storeFailure;
    const bool logged = WebStore::isLogged(&storeFailure);
    if (!storeFailure.isEmpty())
        Dialogs::warning(this, QStringLiteral("Vocalume"), storeFailure);
    const QString page = logged ? QStringLiteral("libreria.html") : QStringLiteral("login.html");

    const QString html = readEnginePage(engine, page);
    if (html.isEmpty()) {
        statusBar()->showMessage(QStringLiteral("Errore nell'apertura della libreria"), 2000);
        Dialogs::warning(this, QStringLiteral("Vocalume"), QStringLiteral("Si sono verificati errori aprendo la libreria"));
        indicators->hideProgress();
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
    indicators->showBusy();
}

void MainWindow::hideBusyIndicator()
{
    indicators->hideProgress();
}

void MainWindow::keyPressEvent(QKeyEvent* event)
{
    if (!(event->modifiers() & Qt::ControlModifier) || event->key() != Qt::Key_R)
        return;
    // A reset ends exactly as a sign-out does: no local data, no settings, program closed.
    if (DataRemoval::confirmReset(this))
        logout();
}

bool MainWindow::unpackBook(
    const QString& zipPath, const QString& destPath, const QString& baseDir, BookInstaller::Contents contents)
{
    return installer->unpackBook(zipPath, destPath, baseDir, contents);
}

// The installer's status, progress and warnings, shown in this window.
void MainWindow::showInstallation()
{
    connect(installer, &BookInstaller::statusMessage, indicators, &StatusIndicators::showMessage);
    connect(installer, &BookInstaller::progressShown, indicators, &StatusIndicators::showProgress);
    connect(installer, &BookInstaller::progressChanged, indicators, &StatusIndicators::setProgress);
    connect(installer, &BookInstaller::progressHidden, indicators, &StatusIndicators::hideProgress);
    connect(installer, &BookInstaller::warning, this, &MainWindow::showWarning);
}

void MainWindow::showWarning(const QString& text)
{
    Dialogs::warning(this, QStringLiteral("Vocalume"), text);
}

void MainWindow::startDownload(const QString& filePath, const QString& sku)
{
    bridge->startDownload(filePath, sku);
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

void MainWindow::connectLibrary()
{
    connect(library, &LibrarySync::statusMessage, indicators, &StatusIndicators::showMessage);
    connect(library, &LibrarySync::busy, indicators, &StatusIndicators::setBusy);
    connect(library, &LibrarySync::warningIcon, indicators, &StatusIndicators::showWarningIcon);
    connect(library, &LibrarySync::warning, this, &MainWindow::showWarning);
    connect(library, &LibrarySync::critical, this,
            [](const QString& title, const QString& text) { Dialogs::critical(nullptr, title, text); });
    connect(library, &LibrarySync::pageStatement, this, [this](const QString& statement) { ScriptCall::run(webView, statement); });
    connect(library, &LibrarySync::signInAnswered, this, [this](const QString& literal) {
        ScriptCall::run(webView, ScriptLiteral::singleQuoted(bridge->loginCallback, literal));
    });
    connect(library, &LibrarySync::libraryLoaded, this, [this](const QVector<Book>& books) { libraryBooks = books; });
    // A synchronisation redraws the library only where it is shown: any other page (a note being
    // typed, the login page with its error) stays, and the library page reads SYSTEM afresh
    // when the user comes back to it. A completed sign-in brings the library.
    const auto libraryShown = [this] {
        return QFileInfo(webView->page()->mainFrame()->url().path()).fileName() == QLatin1String("libreria.html");
    };
    connect(library, &LibrarySync::mergeEnded, this, [this, libraryShown](bool changed, bool signedIn) {
        const bool asked = bridge->syncing;
        // The page's request has its answer.
        bridge->syncing = false;
        if (signedIn || (libraryShown() && (changed || asked)))
            goToLibrary();
    });
    // Covers that arrive later are drawn by the library page itself, re-reading SYSTEM: a reload
    // would cut into what the user is doing there (a download under way).
    connect(library, &LibrarySync::coversRecorded, this, [this, libraryShown] {
        if (libraryShown())
            ScriptCall::run(webView, QStringLiteral("window.Vocalume && Vocalume.library && Vocalume.library.reload()"));
    });
    // The data goes only by the dialog's Ok, once the notes are saved and the user read where.
    connect(library, &LibrarySync::accessDenied, this, [this] {
        accessDeniedDialog = DataRemoval::accessDenied();
        showAccessDenied();
    });
    connect(webView, &QWebView::loadFinished, this, &MainWindow::showAccessDenied);
}

void MainWindow::showAccessDenied()
{
    // A page still loading, or none yet, would lose the dialog: the next loaded page shows it.
    const QString ready = QStringLiteral("document.readyState === 'complete' && typeof messageDialog === 'function'");
    if (accessDeniedDialog.isEmpty() || !webView->page()->mainFrame()->evaluateJavaScript(ready).toBool())
        return;
    ScriptCall::run(webView, accessDeniedDialog);
    accessDeniedDialog.clear();
}

void MainWindow::startLogin(const QString& username, const QString& password)
{
    library->startLogin(username, password);
}

bool MainWindow::startSync()
{
    return library->startSync();
}

void MainWindow::loadDefaultList()
{
    library->loadDefaultList();
}

void MainWindow::getSessionID(QString session)
{
    library->getSessionID(session);
}

void MainWindow::onLoginError(QString error)
{
    library->onLoginError(error);
}

void MainWindow::onLibraryWSError(QString error)
{
    library->onLibraryWSError(error);
}

void MainWindow::getBooksList(QVector<Book> booksList)
{
    library->getBooksList(booksList);
}

void MainWindow::onCheckTimeout()
{
    library->onCheckTimeout();
}

void MainWindow::removeWarningIcon()
{
    indicators->removeWarningIcon();
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
