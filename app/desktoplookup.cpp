#include "app/desktoplookup.h"

#include "app/mainwindow.h"
#include "app/runninginstance.h"
#include "base/appsettings.h"
#include "search/booksearch.h"
#include "store/installedbooks.h"
#include "web/customagentwebview.h"
#include "web/qtjavascriptinteraction.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QRegularExpression>
#include <QStatusBar>
#include <QTimer>
#include <QUrl>
#include <algorithm>

namespace {
// A selection may be a whole page: a word or a short phrase is what is looked up.
constexpr int longestWord = 64;
constexpr int messageMs = 10000;
const QString dictionaryPage = QStringLiteral("dizionario.html");

QString encoded(const QString& value) { return QString::fromLatin1(QUrl::toPercentEncoding(value)); }
}

DesktopLookup::DesktopLookup(WindowMaker makeWindow, QObject* parent)
    : QObject(parent)
    , makeWindow(std::move(makeWindow))
{
}

void DesktopLookup::request(const QString& verb, const QString& argument)
{
    if (verb == RunningInstance::raiseVerb())
        showWindow();
    else if (verb == RunningInstance::searchVerb())
        lookUp(argument);
    else if (verb == RunningInstance::selectionVerb())
        lookUpSelection();
}

void DesktopLookup::showWindow()
{
    if (!window) {
        window = makeWindow();
        if (!window)
            return; // being made: the request that makes it shows it
        connect(window->webView, &QWebView::loadFinished, this, &DesktopLookup::pageLoaded);
        readPage();
    }
    window->setWindowState((window->windowState() & ~Qt::WindowMinimized) | Qt::WindowActive);
    window->show();
    window->raise();
    window->activateWindow();
}

void DesktopLookup::lookUp(const QString& text, const QString& sku)
{
    const QString word = wordIn(text);
    showWindow();
    if (word.isEmpty()) {
        tell(QStringLiteral("Nessuna parola da cercare: selezionare una parola e riprovare."));
        return;
    }
    waitingWord = word;
    waitingSku = sku;
    proceed();
}

void DesktopLookup::lookUpSelection()
{
    QClipboard* clipboard = QGuiApplication::clipboard();
    QString text;
    if (clipboard->supportsSelection())
        text = clipboard->text(QClipboard::Selection);
    if (wordIn(text).isEmpty())
        text = clipboard->text(QClipboard::Clipboard);
    if (popup && AppSettings().selectionInPopup())
        popup(wordIn(text));
    else
        lookUp(text);
}

QString DesktopLookup::wordIn(const QString& text)
{
    static const QRegularExpression lineEnd(QStringLiteral("[\\r\\n]"));
    static const QRegularExpression around(QStringLiteral("^[^\\p{L}\\p{N}]+|[^\\p{L}\\p{N}]+$"));
    for (QString line : text.split(lineEnd, Qt::SkipEmptyParts)) {
        line = line.remove(around).simplified();
        if (!line.isEmpty())
            return line.left(longestWord).trimmed();
    }
    return QString();
}

QString DesktopLookup::pageFor(const QString& word, const QString& sku, bool* fellBack)
{
    const QVector<InstalledBook> books = InstalledBooks::read();
    const auto book = [&books](const QString& id) {
        return std::find_if(books.begin(), books.end(), [&id](const InstalledBook& b) { return b.sku == id; });
    };
    if (fellBack)
        *fellBack = false;
    if (books.isEmpty())
        return QString();
    QString target = book(sku) != books.end() ? sku : AppSettings().lastBook();
    const auto chosen = book(target);
    const bool lacks = chosen != books.end() && books.size() > 1 && !findsWord(target, word, chosen->sourceLanguage);
    if (fellBack)
        *fellBack = lacks;
    const bool everywhere = chosen == books.end() || lacks;
    if (everywhere)
        target = books.first().sku;
    return dictionaryPage + QStringLiteral("?idbook=") + encoded(target) + QStringLiteral("&voce=") + encoded(word)
        + (everywhere ? QStringLiteral("&tutti=1") : QString());
}

void DesktopLookup::readPage()
{
    shownPage = window->webView->url().fileName().section(QLatin1Char('?'), 0, 0);
    signedIn = shownPage == dictionaryPage || shownPage == QLatin1String("libreria.html");
}

void DesktopLookup::pageLoaded()
{
    readPage();
    if (shownPage == dictionaryPage) {
        // Opened on every installed dictionary: the next look-up searches them all again.
        const QtJavascriptInteraction* bridge = window->bridge;
        const QString last = bridge->parameters().value(QStringLiteral("tutti")) == QLatin1String("1")
            ? QString()
            : bridge->currentBook();
        const bool fellBack = !fellBackPage.isEmpty()
            && window->webView->url().toString(QUrl::FullyEncoded).endsWith(QLatin1Char('/') + fellBackPage);
        AppSettings settings;
        if (settings.lastBook() != last && !fellBack)
            settings.setLastBook(last);
    }
    proceed();
}

void DesktopLookup::proceed()
{
    if (waitingWord.isEmpty())
        return;
    if (signedIn)
        // Never from inside a page load that is ending.
        QTimer::singleShot(0, this, &DesktopLookup::openWaiting);
    else if (!shownPage.isEmpty())
        tell(QStringLiteral("Accedere con l'account del negozio per cercare «%1» nei dizionari.").arg(waitingWord));
}

void DesktopLookup::openWaiting()
{
    if (!window || waitingWord.isEmpty())
        return;
    const QString word = waitingWord;
    bool fellBack = false;
    const QString page = pageFor(word, waitingSku, &fellBack);
    fellBackPage = fellBack ? page : QString();
    waitingWord.clear();
    waitingSku.clear();
    if (page.isEmpty())
        tell(QStringLiteral("Nessun dizionario installato: scaricarne uno dalla libreria per cercare «%1».").arg(word));
    else
        window->bridge->loadUrl(page);
    if (!page.isEmpty() && window->statusBar()->currentMessage() == told)
        window->statusBar()->clearMessage();
}

void DesktopLookup::tell(const QString& message)
{
    if (!window)
        return;
    told = message;
    window->statusBar()->showMessage(message, messageMs);
}
