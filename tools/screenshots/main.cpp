// Takes pictures of the program's pages as a user meets them: the real main window and engine
// pages against the reference store service (already running, its port given), signing in with
// the demo account, downloading and opening the first demo dictionary, looking a word up.
// Each page is shown at every requested window size, in the light theme and in the dark one as
// the user chooses it in the page ("Tema"), and saved as <page>-<W>x<H>.png and
// <page>-scuro-<W>x<H>.png. Last, the pop-up look-up of a word over the window, the pointer on the
// middle of the window, on a light desktop and on a dark one (popup-<W>x<H>.png, popup-scuro-...).
//   screenshots --port <n> --out <dir> [--size 1600x1000 --size 1024x700]
//   screenshots --store https://127.0.0.1:<n> --out <dir>   (a service started with --cert)
// Run it in a private HOME: it signs in and installs a dictionary there.
#include "app/dialogs.h"
#include "app/mainwindow.h"
#include "app/popupwindow.h"
#include "base/diagnostics.h"
#include "services/serviceendpoint.h"
#include "web/customagentwebview.h"

#include <QApplication>
#include <QCursor>
#include <QPalette>
#include <QScreen>
#include <QCommandLineParser>
#include <QDir>
#include <QElapsedTimer>
#include <QMessageBox>
#include <QTest>
#include <QWebFrame>
#include <QWebPage>
#include <cstdio>
#include <functional>

namespace {
MainWindow* window = nullptr;

QVariant js(const QString& script) { return window->webView->page()->mainFrame()->evaluateJavaScript(script); }

bool waitFor(const char* what, const std::function<bool()>& done, int ms = 30000)
{
    if (QTest::qWaitFor(done, ms))
        return true;
    std::fprintf(stderr, "screenshots: timed out waiting for %s\n", what);
    return false;
}

bool shows(const QString& page) { return window->webView->page()->mainFrame()->url().path().endsWith(page); }

// The page's theme control set to `choice`, as the user sets it.
void chooseTheme(const QString& choice)
{
    js(QStringLiteral("var t = document.getElementById('tema'); t.value = '%1';"
                      "var e = document.createEvent('Event'); e.initEvent('change', true, true); t.dispatchEvent(e);")
           .arg(choice));
}

bool saveAt(const QList<QSize>& sizes, const QString& dir, const QString& name)
{
    const QList<QPair<QString, QString>> themes { { QStringLiteral("chiaro"), QString() },
                                                  { QStringLiteral("scuro"), QStringLiteral("-scuro") } };
    for (const auto& theme : themes) {
        chooseTheme(theme.first);
        for (const QSize& size : sizes) {
            window->resize(size);
            QTest::qWait(400);
            const QString file = QStringLiteral("%1/%2%3-%4x%5.png").arg(dir, name, theme.second).arg(size.width()).arg(size.height());
            if (!window->grab().save(file))
                return false;
            std::printf("%s\n", qPrintable(file));
        }
    }
    chooseTheme(QStringLiteral("automatico"));
    return true;
}

bool showsLibrary()
{
    return shows(QStringLiteral("/libreria.html"))
        && js(QStringLiteral("document.querySelectorAll('.book').length")).toInt() > 0;
}

// The script expression for one of a library book's buttons ("download", "open").
QString bookButton(const QString& sku, const QString& action)
{
    return QStringLiteral("document.querySelector('[data-sku=\"%1\"] [data-action=\"%2\"]')").arg(sku, action);
}

// Starts the download of a book and waits until the library offers to open it.
bool install(const QString& sku, const char* what)
{
    js(bookButton(sku, QStringLiteral("download")) + QStringLiteral(".click()"));
    return waitFor(what, [&] { return js(bookButton(sku, QStringLiteral("open")) + QStringLiteral(" !== null")).toBool(); });
}

// The screen where the window is, with the pop-up of a word selected elsewhere over it; the dark
// pictures on a desktop whose palette is dark (the pop-up follows the desktop, not the page).
bool savePopups(const QList<QSize>& sizes, const QString& dir)
{
    PopupWindow popup;
    const QPalette light = QApplication::palette();
    QPalette dark = light;
    dark.setColor(QPalette::Window, QColor(0x2b, 0x30, 0x36));
    dark.setColor(QPalette::WindowText, QColor(0xe6, 0xe9, 0xee));
    for (const QString& theme : { QString(), QStringLiteral("-scuro") }) {
        QApplication::setPalette(theme.isEmpty() ? light : dark);
        for (const QSize& size : sizes) {
            window->move(0, 0);
            window->resize(size);
            QCursor::setPos(size.width() / 2 - 80, size.height() / 3);
            QTest::qWait(300);
            popup.lookUp(QStringLiteral("vado"));
            if (!waitFor("the pop-up", [&] { return popup.isVisible() && popup.hasEntries(); }, 5000))
                return false;
            QTest::qWait(300);
            const QString file = QStringLiteral("%1/popup%2-%3x%4.png").arg(dir, theme).arg(size.width()).arg(size.height());
            // A Wayland compositor shows no program the screen: there the pop-up alone is taken.
            QPixmap picture = QGuiApplication::primaryScreen()->grabWindow(0, 0, 0, size.width(), size.height());
            if (picture.isNull())
                picture = popup.grab();
            if (!picture.save(file))
                return false;
            std::printf("%s\n", qPrintable(file));
            popup.close();
        }
    }
    QApplication::setPalette(light);
    return true;
}

void typeInto(const QString& id, const QString& text)
{
    js(QStringLiteral("var f = document.getElementById('%1'); f.focus(); f.value = '%2';"
                      "var e = document.createEvent('Event'); e.initEvent('input', true, true); f.dispatchEvent(e);")
           .arg(id, text));
}
}

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QCommandLineParser cli;
    cli.addOption({ QStringLiteral("port"), QStringLiteral("port of the reference store service"), QStringLiteral("n") });
    cli.addOption({ QStringLiteral("store"), QStringLiteral("its address instead, as vocalume --store takes it"),
                    QStringLiteral("address") });
    cli.addOption({ QStringLiteral("out"), QStringLiteral("folder for the pictures"), QStringLiteral("dir") });
    cli.addOption({ QStringLiteral("size"), QStringLiteral("window size WxH (repeatable)"), QStringLiteral("size") });
    cli.process(app);
    const QString out = cli.value(QStringLiteral("out"));
    QList<QSize> sizes;
    for (const QString& s : cli.values(QStringLiteral("size")))
        sizes << QSize(s.section(QLatin1Char('x'), 0, 0).toInt(), s.section(QLatin1Char('x'), 1, 1).toInt());
    if (sizes.isEmpty())
        sizes = { QSize(1600, 1000), QSize(1024, 700) };
    ServiceEndpoint store { QStringLiteral("127.0.0.1"), quint16(cli.value(QStringLiteral("port")).toUInt()) };
    const bool chosen = cli.isSet(QStringLiteral("store"))
        ? ServiceEndpoint::parse(cli.value(QStringLiteral("store")), &store)
        : store.port != 0;
    if (out.isEmpty() || !QDir().mkpath(out) || !chosen) {
        std::fprintf(stderr, "usage: screenshots (--port <n> | --store <address>) --out <dir> [--size WxH]...\n");
        return 2;
    }
    Diagnostics::setEnabled(false);
    Dialogs::setHandler([](Dialogs::Kind, const QString& title, const QString& text, QDialog*) {
        std::fprintf(stderr, "box: %s: %s\n", qPrintable(title), qPrintable(text));
        return int(QMessageBox::Ok);
    });
    ServiceEndpoint::setCurrent(store);
    ServiceEndpoint::setStoreHost(store.host);

    MainWindow main;
    window = &main;
    main.showNormal();
    main.resize(sizes.first());
    if (!waitFor("the login page", [] { return shows(QStringLiteral("/login.html")); }))
        return 1;
    QTest::qWait(500);
    if (!saveAt(sizes, out, QStringLiteral("login")))
        return 1;
    js(QStringLiteral("document.getElementById('username').value = 'demo';"
                      "document.getElementById('password').value = 'demo';"
                      "document.getElementById('login-submit').click();"));
    if (!waitFor("the library", showsLibrary) || !install(QStringLiteral("ZDEMO001"), "the installed dictionary"))
        return 1;
    QTest::qWait(800);
    if (!saveAt(sizes, out, QStringLiteral("libreria")))
        return 1;
    js(bookButton(QStringLiteral("ZDEMO001"), QStringLiteral("open")) + QStringLiteral(".click()"));
    if (!waitFor("the dictionary page", [] { return shows(QStringLiteral("/dizionario.html"))
                                                 && js(QStringLiteral("document.querySelectorAll('#words .item').length")).toInt() > 0; }))
        return 1;
    typeInto(QStringLiteral("q"), QStringLiteral("vado"));
    if (!waitFor("an entry", [] { return !js(QStringLiteral("document.getElementById('entry').textContent")).toString().isEmpty(); }))
        return 1;
    QTest::qWait(500);
    if (!saveAt(sizes, out, QStringLiteral("dizionario")))
        return 1;
    js(QStringLiteral("document.getElementById('tab-index').click()"));
    QTest::qWait(300);
    if (!saveAt(sizes, out, QStringLiteral("dizionario-indice")))
        return 1;
    typeInto(QStringLiteral("q"), QStringLiteral("acqua"));
    js(QStringLiteral("document.getElementsByName('mode')[1].click()"));
    if (!waitFor("full-text results", [] { return js(QStringLiteral("document.querySelectorAll('#results .item').length")).toInt() > 1; }))
        return 1;
    QTest::qWait(500);
    if (!saveAt(sizes, out, QStringLiteral("dizionario-testo")))
        return 1;
    js(QStringLiteral("document.getElementsByName('mode')[0].click()"));
    typeInto(QStringLiteral("q"), QStringLiteral("caza"));
    if (!waitFor("suggestions", [] { return js(QStringLiteral("document.querySelectorAll('#results [data-suggest]').length")).toInt() > 0; }))
        return 1;
    QTest::qWait(300);
    if (!saveAt(sizes, out, QStringLiteral("dizionario-forse")))
        return 1;

    // I miei appunti with an entry kept as a favourite.
    typeInto(QStringLiteral("q"), QStringLiteral("vado"));
    if (!waitFor("the entry again", [] { return !js(QStringLiteral("document.getElementById('entry').textContent")).toString().isEmpty(); }))
        return 1;
    js(QStringLiteral("document.getElementById('fav').click(); document.getElementById('open-saved').click();"));
    if (!waitFor("the favourite listed", [] { return js(QStringLiteral("document.querySelectorAll('#saved-list .saved').length")).toInt() > 0; }))
        return 1;
    QTest::qWait(300);
    if (!saveAt(sizes, out, QStringLiteral("dizionario-appunti")))
        return 1;
    js(QStringLiteral("document.getElementById('close-saved').click()"));

    // A second dictionary, then one search over both from the library.
    js(QStringLiteral("document.getElementById('back').click()"));
    if (!waitFor("the library again", showsLibrary) || !install(QStringLiteral("ZDEMO002"), "the second dictionary"))
        return 1;
    js(QStringLiteral("document.getElementById('search-all-q').value = 'ca';"
                      "document.querySelector('#search-all button').click();"));
    if (!waitFor("results of every dictionary", [] { return shows(QStringLiteral("/dizionario.html"))
                                                          && js(QStringLiteral("document.querySelectorAll('#results .group').length")).toInt() > 1
                                                          && js(QStringLiteral("document.querySelector('#results .spinner') === null")).toBool(); }))
        return 1;
    QTest::qWait(500);
    if (!saveAt(sizes, out, QStringLiteral("dizionario-tutti")))
        return 1;
    return savePopups(sizes, out) ? 0 : 1;
}
