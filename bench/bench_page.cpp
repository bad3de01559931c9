// Dictionary page benchmark: on the generated dictionary of 200 000 entries (bench_page [entries]
// [runs]), requests go through the real program (the main window with the dictionary page, the
// page's script calling the bridge and hearing the answer in its callback) and are printed beside
// the same statements run directly through the SQLite C interface: the fixed cost of a request
// (a dictionary that is not installed, so no statement runs; must stay under 0.3 ms), an entry
// search (within 1.2 times the direct run) and a full-text search, a word typed into the search
// box up to its results listed (must stay under 100 ms, the typing pause included) and the index
// opened at a word.
#include "app/mainwindow.h"
#include "base/appsettings.h"
#include "base/datapaths.h"
#include "bench/benchsupport.h"
#include "bench/firstpage.h"
#include "bench/directstatements.h"
#include "bench/syntheticbook.h"
#include "search/booksearch.h"
#include "web/customagentwebview.h"
#include "web/qtjavascriptinteraction.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTest>
#include <QWebFrame>
#include <QWebPage>
#include <cstdio>
#include <functional>

namespace {
const char* const sku = "bench";
const QString it = QStringLiteral("it");

// What the page's script calls as it makes a request and when its callback has the answer: the
// milliseconds between the two.
class PageProbe : public QObject {
    Q_OBJECT
public:
    std::function<void(double)> heard;
public slots:
    void start() { clock.start(); }
    void done()
    {
        if (heard)
            heard(clock.nsecsElapsed() / 1e6);
    }

private:
    QElapsedTimer clock;
};

QString scriptText(const QString& text)
{
    QString out = text;
    return out.replace(QLatin1Char('\\'), QStringLiteral("\\\\")).replace(QLatin1Char('\''), QStringLiteral("\\'"));
}

// The real program's path: the main window, the dictionary page, the page's script calling the
// bridge. Each request is timed from the script call to the page's callback having run.
class PagePath {
public:
    explicit PagePath(MainWindow* window)
        : window(window)
    {
    }

    // Marks the user signed in and the book installed, as the library does, and opens its page.
    bool open(const QString& book)
    {
        if (!SyntheticBook::install(book, QStringLiteral("Banco di prova"), it))
            return false;
        opened.start();
        window->bridge->loadUrl(QStringLiteral("dizionario.html?idbook=") + book);
        if (!QTest::qWaitFor(
                [this] {
                    return js(QStringLiteral(
                                  "window.Vocalume && Vocalume.dictionary ? Vocalume.dictionary.language() : ''"))
                               .toString()
                        == it;
                },
                20000))
            return false;
        frame()->addToJavaScriptWindowObject(QStringLiteral("BenchProbe"), &probe);
        // A bare callback for requests made here, and the page's own answers to a search and to
        // a word list (the latter when the index has no native help and asks the bridge), whose
        // callbacks are named "onSearch.<request>" and "onWords.<request>".
        // The clock starts as the page's script makes the request: the script that native code
        // evaluates here to make it is the benchmark's, not the program's.
        js(QStringLiteral("window.benchStart = function () { BenchProbe.start(); };"
                          "window.benchDone = function () { BenchProbe.done(); };"
                          "var pageSignal = window.SignalQt;"
                          "window.SignalQt = function (callback, literal, intermediate) {"
                          "  var out = pageSignal(callback, literal, intermediate);"
                          "  if (/^on(Search|Words)\\./.test(callback)) benchDone();"
                          "  return out; };"));
        return true;
    }

    // Whether the index is built from native rows, synchronously, rather than through the bridge.
    bool nativeIndex() const
    {
        return js(QStringLiteral("!!(window.VocalumeNative && typeof VocalumeNative.indexRows === 'function')"))
            .toBool();
    }

    // Time since the page was asked for.
    double sinceOpened() const { return opened.nsecsElapsed() / 1e6; }

    // A synchronous call of the object beside the bridge: its result and how long it took.
    QString call(const QString& script, double* ms) const
    {
        QElapsedTimer timer;
        timer.start();
        const QString out = js(script).toString();
        *ms = timer.nsecsElapsed() / 1e6;
        return out;
    }

    // A bridge call written in script, answering `benchDone`: the time the page counted from its
    // request to the callback having run.
    double request(const QString& call)
    {
        return timed([&] { js(QStringLiteral("benchStart();") + call); }, true);
    }

    // The same timed by native code, from before the script is evaluated.
    double evaluated(const QString& call)
    {
        return timed([&] { js(QStringLiteral("benchStart();") + call); }, false);
    }

    // The word typed into the search box (the last key), up to the page having listed the results.
    double typed(const QString& word)
    {
        return request(QStringLiteral("var q = document.getElementById('q'); q.value = '%1';"
                                      "var e = document.createEvent('Event'); e.initEvent('input', true, true);"
                                      "q.dispatchEvent(e);")
                           .arg(scriptText(word)));
    }

    // The word typed into the index's box and Enter pressed, up to the index listed at it.
    double indexAt(const QString& word, bool native)
    {
        return request(QStringLiteral("var p = document.getElementById('prefix'); p.value = '%1';"
                                      "var e = document.createEvent('Event'); e.initEvent('keydown', true, true);"
                                      "e.keyCode = 13; p.dispatchEvent(e);%2")
                           .arg(scriptText(word), native ? QStringLiteral("benchDone();") : QString()));
    }

private:
    QWebFrame* frame() const { return window->webView->page()->mainFrame(); }
    QVariant js(const QString& script) const { return frame()->evaluateJavaScript(script); }

    double timed(const std::function<void()>& submit, bool pageClock)
    {
        // The page first finishes what the last answer started (layout, painting, timers), as it
        // has between two keys.
        QTest::qWait(30);
        QEventLoop loop;
        bool heard = false;
        double elapsed = -1;
        QElapsedTimer timer;
        probe.heard = [&](double pageMs) {
            elapsed = pageClock ? pageMs : timer.nsecsElapsed() / 1e6;
            heard = true;
            loop.quit();
        };
        timer.start();
        submit();
        if (!heard)
            loop.exec();
        probe.heard = nullptr;
        return elapsed;
    }

    MainWindow* window;
    PageProbe probe;
    QElapsedTimer opened;
};

// A word with one letter changed, which the entry search does not find.
QString misspelt(const QString& word)
{
    QString out = word;
    const int at = out.size() / 2;
    out[at] = QLatin1Char(out.at(at) == QLatin1Char('z') ? 'y' : 'z');
    return out;
}

// "Forse cercavi" through the page: the first call right after the page opened (the headwords
// are then still being read on their thread), when they were read, and the later calls.
void measureSuggestions(PagePath& page, const QVector<SearchQuery>& queries)
{
    const QString suggest = QStringLiteral("VocalumeNative.suggest('%1', '%2', 'it')");
    double firstMs = 0;
    const QString first = page.call(suggest.arg(QLatin1String(sku), scriptText(misspelt(queries.first().typed))), &firstMs);
    double unused = 0;
    const bool read = QTest::qWaitFor(
        [&] { return page.call(suggest.arg(QLatin1String(sku), QStringLiteral("a")), &unused) != QLatin1String("null"); },
        30000);
    const double readAfter = page.sinceOpened();
    QVector<double> later;
    int offered = 0;
    for (const SearchQuery& q : queries) {
        double ms = 0;
        offered += page.call(suggest.arg(QLatin1String(sku), scriptText(misspelt(q.typed))), &ms).size() > 2 ? 1 : 0;
        later << ms;
    }
    std::printf("%-24s first call %7.3f ms (answered %s)   headwords %s %.0f ms after the page was asked for   "
                "later calls median %7.3f ms (%d of %d offered headwords)\n",
        "suggestions", firstMs, qPrintable(first.left(20)), read ? "read" : "NOT read", readAfter,
        BenchSupport::median(later), offered, int(queries.size()));
}

QString searchCall(const QString& book, const QString& word, const QString& type)
{
    return QStringLiteral("QtJavascriptInteraction.search('%1', '%2', '%3', '', '0', '10', 'it', 'benchDone')")
        .arg(book, scriptText(word), type);
}

// With a direct median (>= 0) the page's time is printed beside it, with the difference, and the
// limit is a ratio to it; without, the limit is in milliseconds.
bool reportPage(const char* name, double direct, const QVector<double>& page, double limit)
{
    const double m = BenchSupport::median(page);
    const bool ok = direct >= 0 ? m <= limit * direct : m < limit;
    if (direct >= 0)
        std::printf("%-24s direct median %7.3f ms   through the page %7.3f ms   (page path %6.3f ms, ratio %.2f, limit "
                    "%.1f)   %s\n",
            name, direct, m, m - direct, m / direct, limit, ok ? "ok" : "TOO SLOW");
    else
        std::printf(
            "%-24s through the page median %7.3f ms (limit %.1f ms)   %s\n", name, m, limit, ok ? "ok" : "TOO SLOW");
    const QByteArray what = QByteArray(name) + ", through the page";
    return BenchSupport::figure(what.constData(), m, "ms", direct, "same statements direct",
        direct >= 0 ? QStringLiteral("<= %1x").arg(limit) : QStringLiteral("< %1 ms").arg(limit), ok);
}

struct Samples {
    QVector<double> fixed, entryDirect, entry, fullTextDirect, fullText, typing, typingMiss, indexAt, evaluation,
        callBack;
};

// One round of every measurement for one query; the direct run and the page's take turns at
// going first, since the second finds the first one's pages in the system's cache.
void measureOnce(
    PagePath& page, DirectStatements& direct, const SearchQuery& q, bool directFirst, bool nativeIndex, Samples* s)
{
    direct.prepareForms(q.typed);
    direct.prepareForms(q.keyword);
    const auto pair = [directFirst](QVector<double>& directTimes, const std::function<void()>& directRun,
                          QVector<double>& pageTimes, const std::function<double()>& pageRun) {
        if (directFirst)
            directTimes << BenchSupport::millisecondsOf(directRun);
        pageTimes << pageRun();
        if (!directFirst)
            directTimes << BenchSupport::millisecondsOf(directRun);
    };
    s->fixed << page.request(searchCall(QStringLiteral("nessuno"), q.typed, QStringLiteral("0")));
    pair(
        s->entryDirect, [&] { direct.entrySearch(q.typed, QStringLiteral("0"), QStringLiteral("10")); }, s->entry,
        [&] { return page.request(searchCall(QLatin1String(sku), q.typed, QStringLiteral("0"))); });
    pair(
        s->fullTextDirect, [&] { direct.fullText(q.keyword, QString(), QStringLiteral("0"), QStringLiteral("10")); },
        s->fullText, [&] { return page.request(searchCall(QLatin1String(sku), q.keyword, QStringLiteral("2"))); });
    s->typing << page.typed(q.typed);
    s->typingMiss << page.typed(misspelt(q.typed));
    s->indexAt << page.indexAt(q.typed, nativeIndex);
    // The floor on this machine: a script evaluated by native code calling the probe, and the
    // same through SignalQt with an empty search answer.
    s->evaluation << page.evaluated(QStringLiteral("benchDone()"));
    s->callBack << page.evaluated(QStringLiteral("SignalQt('benchDone', '{tot:0,result: [], isLemmatizzata:true}')"));
}
}

int main(int argc, char* argv[])
{
    BenchSupport::prepareEnvironment();
    QApplication app(argc, argv);
    BenchSupport::quietProgram();
    const int entries = BenchSupport::countArgument(argc, argv, 1, 200000);
    const int iterations = BenchSupport::countArgument(argc, argv, 2, 200);
    if (entries <= 0 || iterations <= 0)
        return std::fprintf(stderr, "usage: bench_page [entries] [runs]\n"), 2;

    // The program deploys its engine into the fresh data directory before the dictionary is
    // installed there.
    MainWindow window;
    AppSettings settings;
    settings.setStartCharset(QStringLiteral("à|á|è|é|ì|í|ò|ó|ù|ú"), it);
    settings.setEndCharset(QStringLiteral("a|a|e|e|i|i|o|o|u|u"), it);

    const int warmUp = 20;
    const QString book = DataPaths::bookDirectory(QLatin1String(sku));
    QVector<SearchQuery> queries;
    if (!SyntheticBook::build(book, entries, warmUp + iterations, &queries))
        return 1;
    DirectStatements direct(getBookDatabasePath(QLatin1String(sku)), it);

    window.show();
    if (!waitForFirstPage(window))
        return std::fprintf(stderr, "the first page did not open\n"), 1;
    PagePath page(&window);
    if (!page.open(QLatin1String(sku)))
        return std::fprintf(stderr, "the dictionary page did not open\n"), 1;
    const bool nativeIndex = page.nativeIndex();
    measureSuggestions(page, queries.mid(0, qMin(50, int(queries.size()))));
    Samples warm;
    for (int i = 0; i < warmUp; ++i)
        measureOnce(page, direct, queries.at(i), i % 2, nativeIndex, &warm);
    Samples s;
    for (int i = warmUp; i < warmUp + iterations; ++i)
        measureOnce(page, direct, queries.at(i), i % 2, nativeIndex, &s);

    std::printf("through the real page (main window, dictionary page, bridge), %d runs each, after %d warm-up runs:\n",
        iterations, warmUp);
    std::printf("%-24s median %7.3f ms (script evaluated by native code)   SignalQt alone %7.3f ms\n",
        "script call alone", BenchSupport::median(s.evaluation), BenchSupport::median(s.callBack));
    bool ok = reportPage("fixed cost per request", -1, s.fixed, 0.3);
    ok = reportPage("entry search, page 1", BenchSupport::median(s.entryDirect), s.entry, 1.2) && ok;
    ok = reportPage("full-text search", -1, s.fullText, 50.0) && ok;
    std::printf("%-24s direct median %7.3f ms\n", "", BenchSupport::median(s.fullTextDirect));
    ok = reportPage("typed word to results", -1, s.typing, 100.0) && ok;
    ok = reportPage("misspelt to suggestions", -1, s.typingMiss, 100.0) && ok;
    ok = reportPage(nativeIndex ? "index opened at a word" : "index at a word (bridge)", -1, s.indexAt, 100.0) && ok;
    return ok ? 0 : 1;
}

#include "bench_page.moc"
