// What a learner meets on the demo dictionaries: the words below are typed into the real
// dictionary page (main window, engine page, bridge, search service) with the demo packages
// installed, and for each one the entries the page shows are printed with "found" or "missing"
// against what the word must show, and how long the page took to settle (the waits of this
// program included; the suggestions of every dictionary too, when nothing was found). Not a
// timing to compare: the typing benchmark measures the look-up itself. Not a test: it needs the packages
// scripts/demo-packages.sh builds from Debian's dictionary data.
//   bench_lookups [packages folder] [--shots folder]
// With --shots it also saves the pages of the words marked for it at 1600x1000 and 1024x700.
#include "app/mainwindow.h"
#include "base/datapaths.h"
#include "bench/benchsupport.h"
#include "bench/firstpage.h"
#include "bench/demolibrary.h"
#include "web/customagentwebview.h"
#include "web/qtjavascriptinteraction.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QTest>
#include <QWebFrame>
#include <QWebPage>
#include <cstdio>
#include <functional>

namespace {
// A word typed into one dictionary's page (or into every installed one's, with no dictionary),
// the entries its page must show in this order, and the picture to take of it.
struct Lookup {
    const char* sku;
    const char* word;
    const char* expected; // headwords as the page heads them, "|"-separated; "?" for suggestions
    const char* shot;
};

const Lookup lookups[] = {
    { "ZOPEN002", "went", "go", "went-freedict" },
    { "ZOPEN002", "gone", "go", nullptr },
    { "ZOPEN002", "goes", "go", nullptr },
    { "ZOPEN002", "children", "child", nullptr },
    { "ZOPEN002", "mice", "mouse", nullptr },
    { "ZOPEN002", "feet", "foot", nullptr },
    { "ZOPEN002", "better", "better|good", nullptr },
    { "ZOPEN001", "stato", "stato|essere|stare", nullptr },
    { "ZOPEN001", "parlato", "parlare", nullptr },
    { "ZOPEN001", "fatto", "fatto|fare", nullptr },
    { "ZOPEN001", "detto", "dire", nullptr },
    { "ZOPEN001", "vado", "andare", nullptr },
    { "ZOPEN001", "fui", "essere", nullptr },
    { "ZOPEN001", "case", "casa", nullptr },
    { "ZOPEN001", "era", "essere", nullptr },
    { "ZOPEN003", "dog", "Dog|Dog|Sundog", "dog-gcide" },
    { "ZOPEN003", "went", "Went|Went|Go", nullptr },
    { "ZOPEN003", "netting", "Netting|Netting|Net", nullptr },
    { "ZOPEN003", "idocrase", "Idocrase|Vesuvianite", nullptr },
    { "ZOPEN003", "children", "Child", nullptr },
    { "ZOPEN004", "mice", "mouse", nullptr },
    { "ZOPEN004", "better", "better|good", nullptr },
    { "", "hapiness", "?happiness", nullptr },
    { "", "vado", "andare", nullptr },
    { "", "went", "go|Go|go", "went-tutti" },
    { "ZOPEN003", "church", "Church|Church", "church-gcide" },
};

MainWindow* window = nullptr;

QWebFrame* frame() { return window->webView->page()->mainFrame(); }
QVariant js(const QString& script) { return frame()->evaluateJavaScript(script); }

QString scriptText(const QString& text)
{
    QString out = text;
    return out.replace(QLatin1Char('\\'), QStringLiteral("\\\\")).replace(QLatin1Char('\''), QStringLiteral("\\'"));
}

bool pageSettled()
{
    return js(QStringLiteral("(function () { var D = window.Vocalume && Vocalume.dict;"
                             "  return !!D && !D.search.pending && !D.everywhere.pending &&"
                             "    !document.querySelector('#results .spinner') &&"
                             "    !document.querySelector('.blocco-stato:not([hidden]) .spinner'); })()"))
        .toBool();
}

bool openDictionary(const QString& sku)
{
    // From the library's search of every dictionary when none is named.
    window->bridge->loadUrl(sku.isEmpty() ? QStringLiteral("dizionario.html?idbook=ZOPEN001&tutti=1")
                                          : QStringLiteral("dizionario.html?idbook=") + sku);
    return QTest::qWaitFor(
        [] {
            return js(QStringLiteral("!!(window.Vocalume && Vocalume.dictionary && Vocalume.dictionary.language())"))
                .toBool();
        },
        20000);
}

// Types the word and waits until the page has listed and shown what it found.
void type(const QString& word)
{
    js(QStringLiteral("var q = document.getElementById('q'); q.focus(); q.value = '%1';"
                      "var e = document.createEvent('Event'); e.initEvent('input', true, true); q.dispatchEvent(e);")
            .arg(scriptText(word)));
    QTest::qWait(150);
    if (!QTest::qWaitFor(pageSettled, 20000))
        std::fprintf(stderr, "the page is still busy with %s\n", qPrintable(word));
    QTest::qWait(200);
    // Nothing found: the suggestions come from a thread of their own.
    if (js(QStringLiteral("Vocalume.dict.blocks().length")).toInt() == 0)
        (void)QTest::qWaitFor(
            [] { return js(QStringLiteral("!!document.querySelector('#results [data-suggest]')")).toBool(); }, 5000);
}

// The entries on the page, as their headings name them; the suggestions offered when none.
QStringList shown()
{
    return js(QStringLiteral("(function () { var D = Vocalume.dict;"
                             "  var blocks = D.blocks().map(function (b) { return b.it.word + (b.it.alias ? ' (da ' + "
                             "b.it.alias + ')' : ''); });"
                             "  if (blocks.length) return blocks;"
                             "  return Array.prototype.map.call(document.querySelectorAll('#results [data-suggest]'),"
                             "    function (s) { return '?' + s.getAttribute('data-suggest'); }); })()"))
        .toStringList();
}

// Whether `expected` appears in `page` in its order (other entries may stand between).
bool matches(const QStringList& page, const QStringList& expected)
{
    int at = 0;
    for (const QString& entry : page)
        if (at < expected.size()
            && entry.section(QStringLiteral(" (da "), 0, 0).compare(expected.at(at), Qt::CaseInsensitive) == 0)
            ++at;
    return at == expected.size();
}

void saveShots(const QString& folder, const QString& name, const std::function<void()>& before = nullptr)
{
    for (const QSize& size : { QSize(1600, 1000), QSize(1024, 700) }) {
        window->resize(size);
        QTest::qWait(400);
        if (before)
            before();
        window->grab().save(QStringLiteral("%1/%2-%3x%4.png").arg(folder, name).arg(size.width()).arg(size.height()));
    }
}

// The entry's menu opened with the right button on a word selected in the entry, the page read
// further down (its tools still in view), and the text found with Ctrl+F.
void saveEntryShots(const QString& folder)
{
    saveShots(folder, QStringLiteral("menu-selezione"), [] {
        js(QStringLiteral("Vocalume.dict.el.reader.scrollTop = 0"));
        const QVariantList box = js(
            QStringLiteral("(function () { var w = document.createTreeWalker(document.querySelector('#entry "
                           ".blocco-corpo'), 4, null, false);"
                           "  var n; while ((n = w.nextNode()) && n.nodeValue.indexOf('quadruped') < 0) {}"
                           "  var r = document.createRange(); r.setStart(n, n.nodeValue.indexOf('quadruped'));"
                           "  r.setEnd(n, n.nodeValue.indexOf('quadruped') + 9);"
                           "  var s = window.getSelection(); s.removeAllRanges(); s.addRange(r);"
                           "  var b = r.getBoundingClientRect(); return [b.left + 5, (b.top + b.bottom) / 2]; })()"))
                                     .toList();
        const QPoint at(box.value(0).toInt(), box.value(1).toInt());
        QWidget* view = window->webView;
        QTest::mousePress(view, Qt::RightButton, {}, at);
        QContextMenuEvent menu(QContextMenuEvent::Mouse, at, view->mapToGlobal(at));
        QApplication::sendEvent(view, &menu);
        QTest::mouseRelease(view, Qt::RightButton, {}, at);
        QTest::qWait(300);
    });
    QTest::mouseClick(window->webView, Qt::LeftButton, {}, QPoint(5, 5));
    saveShots(folder, QStringLiteral("scorrimento"), [] {
        js(QStringLiteral("Vocalume.dict.el.reader.scrollTop = 2500"));
        QTest::qWait(200);
    });
    saveShots(folder, QStringLiteral("trova"), [] {
        js(QStringLiteral("Vocalume.dict.openFind(); var f = document.getElementById('find-text'); f.value = 'dog';"
                          "var fire = function (type, key) { var e = document.createEvent('Event');"
                          "  e.initEvent(type, true, true); e.keyCode = key; f.dispatchEvent(e); };"
                          "fire('input'); fire('keydown', 13); fire('keydown', 13); fire('keydown', 13);"));
        QTest::qWait(300);
    });
}
}

int main(int argc, char* argv[])
{
    BenchSupport::prepareEnvironment();
    QApplication app(argc, argv);
    BenchSupport::quietProgram();
    const QStringList args = app.arguments().mid(1);
    const int shotsAt = args.indexOf(QStringLiteral("--shots"));
    const QString shots = shotsAt >= 0 ? args.value(shotsAt + 1) : QString();
    const QString packages = args.isEmpty() || args.first().startsWith(QLatin1String("--"))
        ? DemoLibrary::packagesFolder()
        : args.first();
    if (!QDir(packages).exists() || (shotsAt >= 0 && !QDir().mkpath(shots)))
        return std::fprintf(stderr, "usage: bench_lookups [packages folder] [--shots folder]\n"), 2;

    MainWindow main;
    window = &main;
    if (!DemoLibrary::installAll(packages, DemoLibrary::catalogPath()))
        return 1;
    main.resize(1600, 1000);
    main.show();
    if (!waitForFirstPage(main))
        return std::fprintf(stderr, "the first page did not open\n"), 1;

    int found = 0;
    int total = 0;
    QString open = QStringLiteral("-");
    for (const Lookup& lookup : lookups) {
        const QString sku = QString::fromLatin1(lookup.sku);
        if (!sku.isEmpty() && !QFileInfo::exists(DataPaths::bookDirectory(sku)))
            continue;
        if (sku != open && !openDictionary(sku))
            return std::fprintf(stderr, "the dictionary page of %s did not open\n", lookup.sku), 1;
        open = sku;
        QElapsedTimer clock;
        clock.start();
        type(QString::fromUtf8(lookup.word));
        const qint64 ms = clock.elapsed();
        const QStringList page = shown();
        const bool ok = matches(page, QString::fromUtf8(lookup.expected).split(QLatin1Char('|')));
        found += ok ? 1 : 0;
        ++total;
        std::printf("%-8s %-10s %-8s %5lld ms  %s\n", sku.isEmpty() ? "tutti" : lookup.sku, lookup.word,
            ok ? "found" : "MISSING", ms, qPrintable(page.join(QStringLiteral(" | "))));
        if (!shots.isEmpty() && lookup.shot)
            saveShots(shots, QString::fromLatin1(lookup.shot));
        if (!shots.isEmpty() && QByteArray(lookup.shot) == "dog-gcide")
            saveEntryShots(shots);
    }
    std::printf("%d of %d words show what they must\n", found, total);
    return found == total ? 0 : 1;
}
