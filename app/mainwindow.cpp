#include "app/mainwindow.h"

#include "app/desktophabits.h"
#include "app/dataremoval.h"
#include "app/dialogs.h"
#include "app/statusindicators.h"
#include "app/update.h"
#include "base/appsettings.h"
#include "base/diagnostics.h"
#include "base/processexit.h"
#include "desktop/colorschemeportal.h"
#include "library/librarysync.h"
#include "packages/bookinstaller.h"
#include "packages/datadirectory.h"
#include "resources/resources.h"
#include "search/booksearch.h"
#include "services/updatews.h"
#include "store/webstore.h"
#include "ui_mainwindow.h"
#include "vocalumeconfig.h"
#include "web/customagentwebview.h"
#include "web/pagetheme.h"
#include "web/qtjavascriptinteraction.h"
#include "web/scriptcall.h"
#include "web/webpage.h"

#include <QFileInfo>
#include <QKeyEvent>
#include <QStatusBar>
#include <QTimer>
#include <QWebFrame>
#include <QWebPage>
#include <QWebSettings>

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

    installer = new BookInstaller(this);
    showInstallation();

    AppSettings settings;
    const QString storedVersion = settings.version();
    bool migrated = true;
    const bool otherVersion = !storedVersion.isEmpty() && storedVersion != QLatin1String(VOCALUME_VERSION);
    dataDirectory = new DataDirectory(installer, this);
    connect(dataDirectory, &DataDirectory::storeSetAside, this, [this](const QString& aside) {
        Dialogs::warning(this, QStringLiteral("Vocalume"),
            QStringLiteral("Il database dei preferiti, dei segnalibri e delle note era danneggiato ed è "
                           "stato sostituito con uno nuovo, vuoto. Il file danneggiato è stato "
                           "conservato in:\n%1\nSe i tuoi dizionari non compaiono, accedi di nuovo.")
                .arg(aside));
    });
    if (otherVersion || !DataDirectory::engineIsCurrent())
        migrated = dataDirectory->migrate();
    if (dataDirectory->prepare()) {
        QWebSettings::setOfflineStoragePath(dataDirectory->dataPath());
        webView->settings()->setLocalStoragePath(dataDirectory->storagePath());
    }

    bridge = new QtJavascriptInteraction(webView);
    bridge->attach(webView);
    connectBridge();
    followColorScheme();

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
    // The view goes with the widget tree, after this window's own part: a page still loading then
    // reports its end, which must no longer reach the window.
    webView->disconnect(this);
    delete ui;
    delete updateWS;
    delete library;
    delete bridge;
    if (!webView->parent())
        delete webView;
    delete indicators;
    db = QSqlDatabase();
}

void MainWindow::goToLibrary()
{
    QDir engine;
    dataDirectory->enterEngineDirectory(engine);

    QString storeFailure;
    const bool logged = WebStore::isLogged(&storeFailure);
    if (!storeFailure.isEmpty())
        Dialogs::warning(this, QStringLiteral("Vocalume"), storeFailure);
    const QString page = logged ? QStringLiteral("libreria.html") : QStringLiteral("login.html");

    PageReader::Page shown;
    if (!bridge->pageReader().readEnginePage(page, &shown)) {
        statusBar()->showMessage(QStringLiteral("Errore nell'apertura della libreria"), 2000);
        Dialogs::warning(this, QStringLiteral("Vocalume"), QStringLiteral("Si sono verificati errori aprendo la libreria"));
        indicators->hideProgress();
        statusBar()->showMessage(QString());
        return;
    }
    if (ui->scrollArea->widget() != webView)
        ui->scrollArea->setWidget(webView);
    webView->setHtml(shown.html, shown.address);
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

// The installer's status, progress and warnings, shown in this window.
void MainWindow::showInstallation()
{
    showReports(installer);
    connect(installer, &BookInstaller::progressShown, indicators, &StatusIndicators::showProgress);
    connect(installer, &BookInstaller::progressChanged, indicators, &StatusIndicators::setProgress);
    connect(installer, &BookInstaller::progressHidden, indicators, &StatusIndicators::hideProgress);
}

void MainWindow::showWarning(const QString& text)
{
    Dialogs::warning(this, QStringLiteral("Vocalume"), text);
}

template <typename Source> void MainWindow::showReports(Source* source)
{
    connect(source, &Source::statusMessage, indicators, &StatusIndicators::showMessage);
    connect(source, &Source::warning, this, &MainWindow::showWarning);
}

void MainWindow::connectBridge()
{
    bridge->useLibrary(library);
    bridge->useInstaller(installer);
    showReports(&bridge->downloadService());
    showReports(&bridge->pageReader());
    showReports(&bridge->externalActions());
    const SearchService* searches = &bridge->searches();
    connect(searches, &SearchService::databaseOpenFailed, this, [this] { showWarning(databaseOpenFailedText()); });
    connect(searches, &SearchService::working, this, [this](const QString& message) {
        statusBar()->showMessage(message);
        showBusyIndicator();
    });
    connect(searches, &SearchService::workingEnded, this, [this] {
        hideBusyIndicator();
        statusBar()->showMessage(QString());
    });
}

// The pages' automatic theme follows the desktop's portal where there is one; without it the
// theme stays with the Qt palette.
void MainWindow::followColorScheme()
{
    auto* portal = new ColorSchemePortal(this);
    connect(portal, &ColorSchemePortal::preferenceChanged, &bridge->pageTheme(), &PageTheme::setPortalValue);
    portal->start();
}

void MainWindow::onUpdateReply(bool reply, QString url)
{
    Update::offerDownload(this, reply, url);
}

void MainWindow::connectLibrary()
{
    showReports(library);
    connect(library, &LibrarySync::busy, indicators, &StatusIndicators::setBusy);
    connect(library, &LibrarySync::warningIcon, indicators, &StatusIndicators::showWarningIcon);
    connect(library, &LibrarySync::critical, this,
            [](const QString& title, const QString& text) { Dialogs::critical(nullptr, title, text); });
    // A synchronisation redraws the library only where it is shown: any other page (a note being
    // typed, the login page with its error) stays, and the library page reads SYSTEM afresh
    // when the user comes back to it. A completed sign-in brings the library.
    const auto libraryShown = [this] {
        return QFileInfo(webView->page()->mainFrame()->url().path()).fileName() == QLatin1String("libreria.html");
    };
    connect(library, &LibrarySync::mergeEnded, this, [this, libraryShown](bool changed, bool signedIn) {
        // The page's request, if any, has its answer.
        const bool asked = bridge->finishSync();
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
        QString notesFile;
        accessDeniedDialog = DataRemoval::accessDenied(&notesFile);
        library->keepNotesIn(notesFile);
        showAccessDenied();
    });
    connect(webView, &QWebView::loadFinished, this, &MainWindow::showAccessDenied);
    connect(library, &LibrarySync::signedOut, this, [this] {
        Dialogs::information(this, QStringLiteral("Vocalume"),
                             QStringLiteral("Operazione completata, l'applicazione verrà chiusa"));
        ProcessExit::terminate(0);
    });
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

void MainWindow::logout()
{
    library->signOut();
}
