#include "app/popupwindow.h"

#include "app/popupplacement.h"
#include "desktop/colorschemeportal.h"
#include "web/pagetheme.h"

#include <QCloseEvent>
#include <QCursor>
#include <QDesktopServices>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLayout>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QTextBrowser>
#include <QTimer>
#include <QVBoxLayout>

namespace {
// The entries may take a moment on a slow disk: past this the pop-up shows that it is looking.
constexpr int searchingShownAfterMs = 120;

bool onX11() { return QGuiApplication::platformName() == QLatin1String("xcb"); }

// A page's link leaves the pop-up only for the web or mail: links between entries belong to the
// main window's pages.
bool opensOutside(const QUrl& url)
{
    const QString scheme = url.scheme().toLower();
    return scheme == QLatin1String("http") || scheme == QLatin1String("https") || scheme == QLatin1String("mailto");
}
}

PopupWindow::PopupWindow(QWidget* parent)
    : QWidget(parent,
          // On X11 a pop-up takes the keyboard and the pointer and closes at a click elsewhere by
          // itself; elsewhere (Wayland) a pop-up needs a window of ours to hang from, so a frameless
          // tool window stands in and closes when another window becomes active.
          onX11() ? Qt::Popup : Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint)
    , theme(new PageTheme(this))
    , heading(new QLabel(this))
    , open(new QPushButton(QStringLiteral("Apri nel dizionario"), this))
    , browser(new QTextBrowser(this))
{
    setObjectName(QStringLiteral("popup"));
    setAttribute(Qt::WA_StyledBackground);
    setWindowTitle(QStringLiteral("Vocalume"));
    setAttribute(Qt::WA_QuitOnClose, false);
    heading->setObjectName(QStringLiteral("popupHeading"));
    heading->setTextFormat(Qt::PlainText);
    QFont bold = heading->font();
    bold.setBold(true);
    bold.setPointSizeF(font().pointSizeF() * 1.15);
    heading->setFont(bold);
    open->setFocusPolicy(Qt::NoFocus);
    open->setToolTip(QStringLiteral("Apre la parola nella finestra di Vocalume (Invio)"));
    browser->setOpenLinks(false);
    browser->setFrameShape(QFrame::NoFrame);
    browser->installEventFilter(this);
    setFocusProxy(browser);

    auto* top = new QHBoxLayout;
    top->addWidget(heading, 1);
    top->addWidget(open);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(12, 8, 12, 10);
    layout->addLayout(top);
    layout->addWidget(browser, 1);

    const QFontMetrics metrics(font());
    resize(metrics.horizontalAdvance(QLatin1Char('x')) * 64, metrics.height() * MaxLines);

    connect(open, &QPushButton::clicked, this, &PopupWindow::openInDictionary);
    connect(browser, &QTextBrowser::anchorClicked, this, [](const QUrl& url) {
        if (opensOutside(url))
            QDesktopServices::openUrl(url);
    });
    connect(&entries, &PopupEntries::found, this, &PopupWindow::showEntries);
    auto* portal = new ColorSchemePortal(this);
    connect(portal, &ColorSchemePortal::preferenceChanged, theme, &PageTheme::setPortalValue);
    connect(theme, &PageTheme::pageStatement, this, &PopupWindow::applyTheme);
    portal->start();
    applyTheme();
}

void PopupWindow::lookUp(const QString& word)
{
    shownWord = word;
    filled = false;
    heading->setText(word.isEmpty() ? QStringLiteral("Vocalume") : word);
    open->setEnabled(!word.isEmpty());
    if (word.isEmpty()) {
        showEntries(word,
            QStringLiteral("<p class=\"avviso\">Nessuna parola da cercare: selezionare una parola e riprovare.</p>"));
        return;
    }
    entries.find(word);
    QTimer::singleShot(searchingShownAfterMs, this, [this, word] {
        if (filled || word != shownWord || isVisible())
            return;
        browser->setHtml(QStringLiteral("<p class=\"avviso\">Ricerca di «%1»…</p>").arg(word.toHtmlEscaped()));
        placeBesidePointer();
        show();
    });
}

void PopupWindow::showEntries(const QString& word, const QString& html)
{
    if (word != shownWord)
        return;
    document = html;
    browser->setHtml(document);
    browser->verticalScrollBar()->setValue(0);
    filled = true;
    const bool placed = isVisible();
    fitToText();
    if (!placed) {
        placeBesidePointer();
        show();
    }
    raise();
    activateWindow();
    browser->setFocus();
    emit shown();
}

void PopupWindow::fitToText()
{
    // As tall as the entries, between a few lines and the most a pop-up takes; longer ones scroll.
    const int lines = fontMetrics().height();
    layout()->activate(); // the text's width is known once the window is laid out, shown or not
    browser->document()->setTextWidth(browser->viewport()->width());
    const int chrome = height() - browser->height();
    const int wanted = int(browser->document()->size().height()) + chrome + 2 * browser->frameWidth();
    resize(width(), qBound(lines * 6, wanted, lines * MaxLines));
}

void PopupWindow::placeBesidePointer()
{
    const QPoint pointer = QCursor::pos();
    QScreen* screen = QGuiApplication::screenAt(pointer);
    const bool known = screen && !QGuiApplication::platformName().startsWith(QLatin1String("wayland"));
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    if (screen)
        setGeometry(PopupPlacement::place(size(), screen->availableGeometry(), pointer, known));
}

void PopupWindow::openInDictionary()
{
    // Out of the way before the main window comes, which may take a moment the first time; told
    // as closed only after, so that a program started for the pop-up goes on for the window.
    hide();
    if (!shownWord.isEmpty())
        emit openWanted(shownWord);
    close();
}

bool PopupWindow::handleKey(const QKeyEvent* event)
{
    switch (event->key()) {
    case Qt::Key_Escape:
        close();
        return true;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        openInDictionary();
        return true;
    default:
        return false;
    }
}

// The keys reach the text when it has the focus, the window itself when nothing in it has (a
// pop-up on X11 takes the keyboard before anything in it is focused).
bool PopupWindow::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == browser && event->type() == QEvent::KeyPress && handleKey(static_cast<QKeyEvent*>(event)))
        return true;
    return QWidget::eventFilter(watched, event);
}

void PopupWindow::keyPressEvent(QKeyEvent* event)
{
    if (!handleKey(event))
        QWidget::keyPressEvent(event);
}

void PopupWindow::changeEvent(QEvent* event)
{
    QWidget::changeEvent(event);
    if (event->type() != QEvent::ActivationChange || windowType() == Qt::Popup)
        return;
    if (isActiveWindow())
        wasActive = true;
    else if (wasActive && isVisible())
        close();
}

void PopupWindow::closeEvent(QCloseEvent* event)
{
    wasActive = false;
    QWidget::closeEvent(event);
    emit closed();
}

void PopupWindow::applyTheme()
{
    const bool dark = theme->name() == QLatin1String("scuro");
    // A border of its own: the pop-up often lies over a page of the same colours.
    setStyleSheet(dark ? QStringLiteral("#popup { background: #1e242c; border: 1px solid #4b5562; }"
                                        "#popupHeading { color: #f0f3f7; }"
                                        "QTextBrowser { background: #1e242c; color: #e6e9ee; }"
                                        "QPushButton { background: #262d36; color: #e6e9ee; border: 1px solid #4b5562;"
                                        " border-radius: 4px; padding: 3px 10px; }")
                       : QStringLiteral("#popup { background: #fdfcf9; border: 1px solid #b9b2a3; }"
                                        "#popupHeading { color: #17324a; }"
                                        "QTextBrowser { background: #fdfcf9; color: #1f2a37; }"
                                        "QPushButton { background: #ffffff; color: #1d4e73; border: 1px solid #cfc8b8;"
                                        " border-radius: 4px; padding: 3px 10px; }"));
    browser->document()->setDefaultStyleSheet(styleSheet(dark));
    if (filled)
        browser->setHtml(document);
}

QString PopupWindow::styleSheet(bool dark)
{
    // The colours of the pages' entries, light and dark.
    const QString ink = dark ? QStringLiteral("#e6e9ee") : QStringLiteral("#1f2a37");
    const QString strong = dark ? QStringLiteral("#f0f3f7") : QStringLiteral("#17324a");
    const QString muted = dark ? QStringLiteral("#a9b3bf") : QStringLiteral("#5f6b7a");
    const QString link = dark ? QStringLiteral("#8cc4ee") : QStringLiteral("#1d4e73");
    const QString accent = dark ? QStringLiteral("#f0a57a") : QStringLiteral("#a4532a");
    return QStringLiteral("body { color: %1; font-family: 'DejaVu Serif', 'Noto Serif', serif; }"
                          "h2 { font-size: large; color: %2; margin: 0.3em 0 0.1em 0; }"
                          "p { margin: 0.15em 0 0.35em 0; }"
                          "b, strong { color: %2; }"
                          "a { color: %4; }"
                          "p.dizionario { color: %5; font-family: 'DejaVu Sans', sans-serif; font-size: small;"
                          " font-weight: bold; margin: 0.6em 0 0 0; }"
                          "p.forma, p.avviso { color: %3; font-family: 'DejaVu Sans', sans-serif; }"
                          ".intestazione, .gram, .etimo { color: %3; }"
                          ".pronuncia { color: %3; font-family: 'DejaVu Sans', sans-serif; }")
        .arg(ink, strong, muted, link, accent);
}
