// Look-up as you type, as the user meets it: with the six dictionaries of the demo account installed,
// 50 words are typed key by key (real key events, one every --interval ms) into the search box of the
// real dictionary page, first searching one dictionary, then every installed dictionary. For each
// word it takes the time from the last key to the end of the first paint of the web view that shows
// the word's entry, and how long the view took to take each key; then the resident memory. Not a
// test: it needs the packages scripts/demo-packages.sh builds from Debian's dictionary data.
//   bench_typing [packages folder] [--interval ms] [--words n]
#include "app/mainwindow.h"
#include "bench/benchsupport.h"
#include "bench/firstpage.h"
#include "bench/demolibrary.h"
#include "web/customagentwebview.h"
#include "web/qtjavascriptinteraction.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QTest>
#include <QWebFrame>
#include <QWebPage>
#include <cstdio>

namespace {
// Common words of each direction, typed into the dictionary of their language.
const char* const englishWords[] = { "house", "water", "friend", "school", "window", "mother", "bread", "river",
    "summer", "garden", "money", "street", "letter", "horse", "kitchen", "winter", "mountain", "doctor", "flower",
    "table", "chair", "morning", "island", "people", "happy" };
const char* const italianWords[] = { "casa", "acqua", "amico", "scuola", "finestra", "madre", "pane", "fiume",
    "estate", "giardino", "soldi", "strada", "lettera", "cavallo", "cucina", "inverno", "montagna", "medico", "fiore",
    "tavolo", "sedia", "mattina", "isola", "gente", "felice" };
const char* const englishBook = "ZOPEN002";
const char* const italianBook = "ZOPEN001";

MainWindow* window = nullptr;

QWebFrame* frame() { return window->webView->page()->mainFrame(); }
QVariant js(const QString& script) { return frame()->evaluateJavaScript(script); }

// Whether the page shows the entries of a search for `word`, the first one's text in place.
bool showsEntryOf(const QString& word)
{
    return js(QStringLiteral("(function (w) { var D = Vocalume.dict, e = D.entry, b = D.blocks();"
                             "  var step = e.history[e.at];"
                             "  return !!step && step.typed === w && b.length > 0 && !!b[0].shown; })('%1')")
                  .arg(word.toLower()))
        .toBool();
}

// Whether every dictionary searched has answered and the page lists them all.
bool allAnswered()
{
    return js(QStringLiteral("(function () { var r = Vocalume.dict.everywhere.run;"
                             "  return !r || r.groups.length === r.books.length; })()"))
        .toBool();
}

// Catches the web view's paints: the first one that shows `word`'s entry (and then the first once
// every dictionary answered) is let through inside the filter, so the time taken after it is the
// time the entry was on screen.
class PaintWatch : public QObject {
public:
    QString word;
    QElapsedTimer clock;
    double paintedAt = -1;
    double completeAt = -1;

    void start(const QString& typed)
    {
        word = typed;
        paintedAt = completeAt = -1;
    }
    bool done() const { return paintedAt >= 0 && completeAt >= 0; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() != QEvent::Paint || word.isEmpty() || done() || inside || !showsEntryOf(word))
            return false;
        const bool complete = allAnswered();
        inside = true;
        watched->event(event);
        inside = false;
        const double at = clock.nsecsElapsed() / 1e6;
        if (paintedAt < 0)
            paintedAt = at;
        if (complete)
            completeAt = at;
        return true;
    }

private:
    bool inside = false;
};

struct Timings {
    QVector<double> painted;
    QVector<double> complete; // every dictionary answered and painted
    QVector<double> keys; // how long the view took to take a key press
    QStringList missed;
};

void pressKey(QWidget* view, QChar c, Timings* t)
{
    const int key = c.toUpper().unicode();
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, QString(c));
    QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier, QString(c));
    QElapsedTimer taken;
    taken.start();
    QApplication::sendEvent(view, &press);
    t->keys << taken.nsecsElapsed() / 1e6;
    QApplication::sendEvent(view, &release);
}

bool openDictionary(const QString& sku, bool everywhere)
{
    window->bridge->loadUrl(QStringLiteral("dizionario.html?idbook=") + sku);
    if (!QTest::qWaitFor(
            [] {
                return js(QStringLiteral(
                              "!!(window.Vocalume && Vocalume.dictionary && Vocalume.dictionary.language() &&"
                              "  Vocalume.dict.installed && Vocalume.dict.installed.length)"))
                    .toBool();
            },
            20000))
        return false;
    js(QStringLiteral("Vocalume.dict.el.allBooks.checked = %1;").arg(everywhere ? "true" : "false"));
    QTest::qWait(500);
    return true;
}

// Clears the box (Esc), then types the word a key at a time and waits for its entry on screen.
void typeWord(PaintWatch& watch, const QString& word, int interval, Timings* t)
{
    QWidget* view = window->webView;
    js(QStringLiteral("var q = document.getElementById('q'); q.value = ''; q.focus();"));
    watch.start(word);
    for (const QChar c : word) {
        QTest::qWait(interval);
        watch.clock.start();
        pressKey(view, c, t);
    }
    if (!QTest::qWaitFor([&watch] { return watch.done(); }, 10000)) {
        t->missed << word;
        watch.word.clear();
        return;
    }
    t->painted << watch.paintedAt;
    t->complete << watch.completeAt;
    watch.word.clear();
    QTest::qWait(300);
}

bool typeAll(PaintWatch& watch, bool everywhere, int words, int interval, Timings* t)
{
    const struct {
        const char* book;
        const char* const* list;
    } sets[] = { { englishBook, englishWords }, { italianBook, italianWords } };
    for (const auto& set : sets) {
        if (!openDictionary(QString::fromLatin1(set.book), everywhere))
            return BenchSupport::failed(QStringLiteral("the dictionary page did not open"));
        for (int i = 0; i < words / 2; ++i)
            typeWord(watch, QString::fromUtf8(set.list[i]), interval, t);
    }
    return true;
}

double percentile(QVector<double> values, double p)
{
    if (values.isEmpty())
        return 0;
    std::sort(values.begin(), values.end());
    return values.at(qMin(int(values.size()) - 1, int(p * values.size())));
}

bool report(const char* mode, const Timings& t, double medianLimit, double p95Limit)
{
    const double m = BenchSupport::median(t.painted);
    const double p95 = percentile(t.painted, 0.95);
    const bool p95Ok = p95Limit <= 0 || p95 <= p95Limit;
    const bool ok = t.missed.isEmpty() && m <= medianLimit && p95Ok;
    std::printf("%-18s last key to entry painted: median %6.1f ms (limit %.0f)  p95 %6.1f ms  "
                "key taken: median %5.2f ms, max %6.2f ms  %s\n",
        mode, m, medianLimit, p95, BenchSupport::median(t.keys), percentile(t.keys, 1.0), ok ? "ok" : "TOO SLOW");
    if (BenchSupport::median(t.complete) > m)
        std::printf("%-18s last key to every dictionary's section painted: median %6.1f ms  p95 %6.1f ms\n", "",
            BenchSupport::median(t.complete), percentile(t.complete, 0.95));
    if (!t.missed.isEmpty())
        std::printf("%-18s not shown within 10 s: %s\n", "", qPrintable(t.missed.join(QLatin1Char(' '))));
    const QByteArray medianName = QByteArray(mode) + ", last key to entry painted (median)";
    const QByteArray p95Name = QByteArray(mode) + ", last key to entry painted (p95)";
    BenchSupport::figure(medianName.constData(), m, "ms", -1, "", QStringLiteral("<= %1 ms").arg(medianLimit),
        m <= medianLimit && t.missed.isEmpty());
    if (p95Limit > 0)
        BenchSupport::figure(p95Name.constData(), p95, "ms", -1, "", QStringLiteral("<= %1 ms").arg(p95Limit),
            p95Ok && t.missed.isEmpty());
    return ok;
}
}

int main(int argc, char* argv[])
{
    BenchSupport::prepareEnvironment();
    QApplication app(argc, argv);
    BenchSupport::quietProgram();
    const QStringList args = app.arguments().mid(1);
    const auto option = [&args](const char* name, int fallback) {
        const int at = args.indexOf(QString::fromLatin1(name));
        return at >= 0 ? args.value(at + 1).toInt() : fallback;
    };
    const int interval = option("--interval", 120);
    const int words = qBound(2, option("--words", 50), 50);
    const QString packages = args.isEmpty() || args.first().startsWith(QLatin1String("--"))
        ? DemoLibrary::packagesFolder()
        : args.first();
    if (!QDir(packages).exists() || interval <= 0)
        return std::fprintf(stderr, "usage: bench_typing [packages folder] [--interval ms] [--words n]\n"), 2;

    MainWindow main;
    window = &main;
    if (!DemoLibrary::installAll(
            packages, DemoLibrary::catalogPath(), DemoLibrary::ownedByDemoAccount(DemoLibrary::catalogPath())))
        return 1;
    main.resize(1280, 800);
    main.show();
    if (!waitForFirstPage(main))
        return std::fprintf(stderr, "the first page did not open\n"), 1;
    QApplication::setActiveWindow(&main);
    main.webView->setFocus();
    PaintWatch watch;
    main.webView->installEventFilter(&watch);

    // A first pass of each reads the databases into the system's cache, as the user's earlier
    // look-ups have; the measured passes follow one after the other.
    Timings warm;
    if (!typeAll(watch, false, 6, interval, &warm) || !typeAll(watch, true, 6, interval, &warm))
        return 1;
    Timings single;
    Timings everywhere;
    if (!typeAll(watch, false, words, interval, &single) || !typeAll(watch, true, words, interval, &everywhere))
        return 1;
    std::printf("%d words typed, a key every %d ms, %d dictionaries installed:\n", words, interval,
        js(QStringLiteral("Vocalume.dict.installed.length")).toInt());
    const bool ok = report("one dictionary", single, 50, 0) & report("every dictionary", everywhere, 80, 120);
    // What the program holds once it has looked words up in every dictionary (the reference, another
    // desktop dictionary on the same data, is bench/memory.sh's).
    const double resident = BenchSupport::statusKiB("VmRSS") / 1024.0;
    std::printf("resident after %d look-ups in every dictionary and as many in one (each pass after 6 first ones): "
                "%.1f MiB\n",
        words, resident);
    return ok ? 0 : 1;
}
