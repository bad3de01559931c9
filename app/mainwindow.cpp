#include "app/mainwindow.h"

#include "app/appsettings.h"
#include "app/datadirectory.h"
#include "app/diagnostics.h"
#include "app/dialogs.h"
#include "app/processexit.h"
#include "packages/archiveextractor.h"
#include "store/webstore.h"
#include "web/pageloader.h"
#include "web/qtjavascriptinteraction.h"
#include "resources/resources.h"
#include "ui_mainwindow.h"
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
#include <QThread>
#include <QTimer>
#include <QWebSettings>
#include <cstdio>

MainWindow* mainWindowInstance = nullptr;

namespace {
const char* const applicationVersion = "1.1.0";
}

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

    warningIcon = new QLabel;
    warningIcon->setPixmap(QPixmap(QStringLiteral(":/images/warning_icon.png")));
    unpacking = false;

    AppSettings settings;
    const QString storedVersion = settings.version();
    if (!storedVersion.isEmpty() && storedVersion != QLatin1String(applicationVersion))
        migrateDataDirectory(this);

    prepareDataDirectory(this);

    bridge = new QtJavascriptInteraction(webView);
    mainWindowInstance = this;
    bridge->attach(webView);

    QTimer::singleShot(100, this, &MainWindow::goToLibrary);

    settings.setVersion(QString::fromLatin1(applicationVersion));
}

MainWindow::~MainWindow()
{
    delete ui;
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
    if (WebStore::isLogged(db, this)) {
        const QString path = WebStore::path();
        db.setDatabaseName(path);
        if (!db.open()) {
            Dialogs::warning(this, QStringLiteral("Vocalume"),
                             QStringLiteral("Apertura database ") + path + QStringLiteral(" fallita, motivo: ")
                                 + db.lastError().text());
            return;
        }
        db.close();
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
    QDir books;
    enterBooksDirectory(this, books);
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
    resetApplication();
}

void MainWindow::resetApplication()
{
    const QString data = homeDirectory().absoluteFilePath(QStringLiteral(".vocalumezenta"));
    if (QDir(data).exists() && !removeDirectoryTree(data))
        Diagnostics::debug("Errori nella rimozione dati\n");
    AppSettings().clear();
    Dialogs::information(this, QStringLiteral("Vocalume"),
                         QStringLiteral("Operazione completata, l'applicazione verrà chiusa"));
    ProcessExit::terminate(0);
}

bool MainWindow::unpackBook(const QString& zipPath, const QString& destPath, const QString& baseDir)
{
    if (unpacking)
        return false;
    unpacking = true;

    const QString tmp = destPath + QStringLiteral("_tmp");
    Diagnostics::debug("Path destinazione: %s", qPrintable(tmp));
    QDir(baseDir).mkpath(tmp);

    ArchiveExtractor extractor(zipPath, tmp);
    if (!extractor.open()) {
        unpacking = false;
        Diagnostics::warning("%s", qPrintable(extractor.diagnostic()));
        statusBar()->showMessage(QStringLiteral("Errore nell'apertura del file zippato ") + zipPath, 2000);
        Dialogs::warning(this, QStringLiteral("Vocalume"), ArchiveExtractor::boxText(extractor.failure()));
        return false;
    }

    progressBar->setValue(0);
    progressBar->setMinimum(0);
    progressBar->setMaximum(100);
    statusBar()->addPermanentWidget(progressBar);
    progressBar->show();
    statusBar()->showMessage(QStringLiteral("Apertura file zippato %1 in corso...").arg(zipPath));

    const bool extracted = extractor.extract([this](int percent) {
        progressBar->setValue(percent);
        QCoreApplication::processEvents();
    });
    if (!extracted) {
        unpackFailed(extractor.diagnostic(), ArchiveExtractor::boxText(extractor.failure()));
        return false;
    }

    bool renamed = false;
    for (int attempt = 0; attempt < 50 && !renamed; ++attempt) {
        // POSIX rename: like the original layout expects, an empty destination folder is replaced.
        renamed = std::rename(QFile::encodeName(tmp).constData(), QFile::encodeName(destPath).constData()) == 0;
        if (!renamed && attempt < 49)
            QThread::msleep(100);
    }
    if (!renamed) {
        unpackFailed(QStringLiteral("Si è verificato un errore nel rinominare la directory del libro decompresso: da %1 a %2")
                         .arg(tmp, destPath),
                     QStringLiteral("Si è verificato un errore nel rinominare la directory del libro"));
        return false;
    }
    QFile::remove(zipPath);

    statusBar()->removeWidget(progressBar);
    statusBar()->showMessage(QString());
    unpacking = false;
    return true;
}

void MainWindow::unpackFailed(const QString& diagnostic, const QString& boxText)
{
    unpacking = false;
    statusBar()->removeWidget(progressBar);
    statusBar()->showMessage(QString());
    Diagnostics::warning("%s", qPrintable(diagnostic));
    statusBar()->showMessage(QStringLiteral("Errore nell'apertura del libro"), 2000);
    Dialogs::warning(this, QStringLiteral("Vocalume"), boxText);
}
