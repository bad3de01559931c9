// Memory of the dictionary page opened again and again: on a generated dictionary (bench_pagememory
// [entries] [rounds], 60 000 entries and 100 rounds unless given), the real main window
// (offscreen) opens the dictionary page, looks a word up, and goes back to the library, round after
// round. It prints the resident memory (VmRSS) after rounds 10, 50 and the last, and once more
// after a few idle seconds; the growth from round 10 to the last must stay under 5 MiB.
#include "app/mainwindow.h"
#include "base/appsettings.h"
#include "base/datapaths.h"
#include "bench/benchsupport.h"
#include "bench/firstpage.h"
#include "bench/syntheticbook.h"
#include "web/customagentwebview.h"
#include "web/qtjavascriptinteraction.h"

#include <QApplication>
#include <QTest>
#include <QWebFrame>
#include <QWebPage>
#include <cstdio>

namespace {
const QString sku = QStringLiteral("bench");
const QString it = QStringLiteral("it");
const double growthLimitMiB = 5;

class Rounds {
public:
    explicit Rounds(MainWindow* window)
        : window(window)
    {
    }

    // The dictionary page opened (its index and the reader's saved lists shown), `word` looked
    // up and listed, then the library again.
    bool run(const QString& word)
    {
        window->bridge->loadUrl(QStringLiteral("dizionario.html?idbook=") + sku);
        if (!until("the dictionary page",
                QStringLiteral("window.Vocalume && Vocalume.dictionary && Vocalume.dictionary.language() === 'it'"
                               " && !!document.querySelector('#words .item')"
                               " && !!document.querySelector('#saved-list li')")))
            return false;
        js(QStringLiteral("Vocalume.dictionary.search('%1', '0')").arg(word));
        if (!until("the search's results",
                QStringLiteral("!!document.querySelector('#results .item') && !document.querySelector('#results .spinner')")))
            return false;
        window->bridge->loadUrl(QStringLiteral("libreria.html"));
        return until("the library page",
            QStringLiteral("window.Vocalume && Vocalume.library && Vocalume.library.books().length > 0"));
    }

    // Waits until the suggestions' headwords are read, so the first rounds count them too.
    bool suggestionsRead()
    {
        return QTest::qWaitFor(
            [this] {
                return js(QStringLiteral("VocalumeNative.suggest('%1', 'a', 'it')").arg(sku)).toString()
                    != QLatin1String("null");
            },
            60000);
    }

private:
    QVariant js(const QString& script) const
    {
        return window->webView->page()->mainFrame()->evaluateJavaScript(script);
    }

    bool until(const char* what, const QString& condition)
    {
        if (QTest::qWaitFor([&] { return js(condition).toBool(); }, 20000))
            return true;
        std::fprintf(stderr, "timed out waiting for %s\n", what);
        return false;
    }

    MainWindow* window;
};

double residentMiB() { return BenchSupport::statusKiB("VmRSS") / 1024.0; }
}

int main(int argc, char* argv[])
{
    BenchSupport::prepareEnvironment();
    QApplication app(argc, argv);
    BenchSupport::quietProgram();
    const int entries = BenchSupport::countArgument(argc, argv, 1, 60000);
    const int rounds = BenchSupport::countArgument(argc, argv, 2, 100);
    if (entries <= 0 || rounds < 10)
        return std::fprintf(stderr, "usage: bench_pagememory [entries] [rounds, at least 10]\n"), 2;

    MainWindow window;
    AppSettings settings;
    settings.setStartCharset(QStringLiteral("à|á|è|é|ì|í|ò|ó|ù|ú"), it);
    settings.setEndCharset(QStringLiteral("a|a|e|e|i|i|o|o|u|u"), it);
    QVector<SearchQuery> queries;
    if (!SyntheticBook::build(DataPaths::bookDirectory(sku), entries, rounds, &queries)
        || !SyntheticBook::install(sku, QStringLiteral("Banco di prova"), it))
        return 1;
    window.show();
    if (!waitForFirstPage(window))
        return std::fprintf(stderr, "the first page did not open\n"), 1;

    Rounds page(&window);
    double atTen = 0;
    double last = 0;
    for (int round = 1; round <= rounds; ++round) {
        if (!page.run(queries.at(round - 1).typed))
            return 1;
        if (round == 1 && !page.suggestionsRead())
            return std::fprintf(stderr, "the headwords for suggestions were not read\n"), 1;
        if (round == 10 || round == 50 || round == rounds) {
            QTest::qWait(200);
            last = residentMiB();
            atTen = round == 10 ? last : atTen;
            std::printf("after round %3d   resident %7.1f MiB\n", round, last);
        }
    }
    QTest::qWait(5000);
    std::printf("after 5 s idle    resident %7.1f MiB\n", residentMiB());
    const double growth = last - atTen;
    const bool ok = growth < growthLimitMiB;
    std::printf("growth from round 10 to round %d: %.1f MiB (%.0f KiB a round; limit %.0f MiB)   %s\n", rounds, growth,
        growth * 1024 / (rounds - 10), growthLimitMiB, ok ? "ok" : "TOO MUCH");
    BenchSupport::figure("memory growth, dictionary page opened again and again", growth, "MiB", -1, "",
        QStringLiteral("< %1 MiB").arg(growthLimitMiB), ok);
    return ok ? 0 : 1;
}
