// Search benchmark: on a generated dictionary of 200 000 entries (2 000 000 inflected forms,
// 1 000 000 keyword links), or on a real dictionary imported from dictd data
// (--dictd <base> [--affixes <base>] [--language code] [runs]), a first-page entry search, a
// full-text search (on a real dictionary also within its largest scope) and a word-list page
// are timed from the request to the literal ready on the GUI thread, against the same statements
// run directly through the SQLite C interface (open, statements, close) in the same process.
// For a real dictionary it also prints the build time and the sizes of database and package.
// Each search is also timed from a page of the real main window, through the bridge's slot to
// its SignalQt answer (not part of the pass mark). With --dictd and dictd installed, the word-list
// page and the desktop's prefix look-up are also set beside dictd's MATCH of the same prefixes
// (no slower).
// Passes when each median is under 50 ms and within 1.2 times the direct run. Also prints the
// cost of the two thread hand-offs alone (an empty request on a worker right after the GUI
// thread was busy, as in the measured loop): the floor of any worker-thread design on the
// machine at hand.
#include "app/mainwindow.h"
#include "base/appsettings.h"
#include "base/datapaths.h"
#include "base/diagnostics.h"
#include "bench/benchsupport.h"
#include "bench/dictdsession.h"
#include "bench/directstatements.h"
#include "bench/syntheticbook.h"
#include "search/booksearch.h"
#include "search/prefixsearch.h"
#include "search/searchrequest.h"
#include "search/searchstatements.h"
#include "search/searchworker.h"
#include "tools/packagebuilder/affixexpander.h"
#include "tools/packagebuilder/dictdimporter.h"
#include "tools/packagebuilder/dictionarybuilder.h"
#include "web/customagentwebview.h"
#include "web/qtjavascriptinteraction.h"
#include "web/searchanswers.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QJsonArray>
#include <QJsonDocument>
#include <QTemporaryDir>
#include <QTimer>
#include <QWebFrame>
#include <QWebPage>
#include <cstdio>
#include <functional>
#include <quazip/quazip.h>
#include <quazip/quazipfile.h>
#include <sqlite3.h>

namespace {
const char* const sku = "bench";
// The source language of the searched entries.
QString language = QStringLiteral("it");

struct Sample {
    QVector<double> direct;
    QVector<double> app;
    QVector<double> page; // through the bridge of a real window, from a page's script
};

// The bridge's path without the web view: the request goes through the search service to its
// worker thread; the page's statement is built on this (GUI) thread when the worker ends.
class Pipeline : public QObject {
public:
    Pipeline()
    {
        connect(&service, &SearchAnswers::pageStatement, this, [this] {
            elapsed = timer.nsecsElapsed() / 1e6;
            loop.quit();
        });
    }

    double timeSearch(const SearchRequest& request)
    {
        return timed([&] { service.search(request, QStringLiteral("cb")); });
    }
    double timeWordList(const SearchRequest& request)
    {
        return timed([&] { service.getWords(request, QStringLiteral("cb")); });
    }

private:
    double timed(const std::function<void()>& submit)
    {
        timer.start();
        submit();
        loop.exec();
        return elapsed;
    }

    SearchAnswers service;
    QEventLoop loop;
    QElapsedTimer timer;
    double elapsed = 0;
};

// The page's own road: a script on a page of the real main window calls the bridge's slot; the
// time runs until the bridge's SignalQt call has reached the page (the page's own clock counts
// whole milliseconds only, so the wait is timed here).
class LiveBridge {
public:
    bool open()
    {
        window.reset(new MainWindow);
        if (!waitFor([this] { return url().endsWith(QLatin1String("/engine/login.html")); }))
            return false;
        const QString engine = DataPaths::engineDirectory() + QLatin1Char('/');
        const QByteArray page = R"(<html><head><script src="probe.js"></script></head><body></body></html>)";
        const QByteArray script = "var answers = 0; function SignalQt(cb, literal) { ++answers; }";
        if (!writeArchive(engine + QStringLiteral("probe.html.zip"), "probe.html", page)
            || !writeArchive(engine + QStringLiteral("probe.js.zip"), "probe.js", script))
            return false;
        window->bridge->loadUrl(QStringLiteral("probe.html"));
        return waitFor([this] { return js(QStringLiteral("typeof answers")).toString() == QLatin1String("number"); });
    }

    double search(const SearchRequest& r)
    {
        return timed("search", { r.sku, r.word, r.type, r.scope, r.start, r.offset, r.sourceLanguage, QStringLiteral("cb") });
    }
    double wordList(const SearchRequest& r)
    {
        return timed("getWords", { r.sku, r.word, r.start, r.offset, r.sourceLanguage, QStringLiteral("cb") });
    }

private:
    QVariant js(const QString& script) { return window->webView->page()->mainFrame()->evaluateJavaScript(script); }
    QString url() { return window->webView->page()->mainFrame()->url().toString(); }

    static bool writeArchive(const QString& path, const QString& member, const QByteArray& bytes)
    {
        QuaZip zip(path);
        QuaZipFile file(&zip);
        if (!zip.open(QuaZip::mdCreate) || !file.open(QIODevice::WriteOnly, QuaZipNewInfo(member)))
            return false;
        file.write(bytes);
        file.close();
        zip.close();
        return zip.getZipError() == 0;
    }

    static bool waitFor(const std::function<bool()>& condition)
    {
        QElapsedTimer waited;
        waited.start();
        while (!condition()) {
            if (waited.elapsed() > 20000)
                return false;
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        }
        return true;
    }

    // Calls the slot from the page with the arguments as script strings and waits for the answer.
    double timed(const char* slot, const QStringList& arguments)
    {
        QStringList literals;
        for (const QString& argument : arguments)
            literals << QString::fromUtf8(QJsonDocument(QJsonArray { argument }).toJson(QJsonDocument::Compact))
                            .mid(1)
                            .chopped(1);
        const QString call = QStringLiteral("QtJavascriptInteraction.%1(%2);")
                                 .arg(QLatin1String(slot), literals.join(QLatin1Char(',')));
        const int before = js(QStringLiteral("answers")).toInt();
        // The answer comes as an event; the timer only keeps the wait from sleeping for good.
        QTimer wake;
        wake.start(100);
        QElapsedTimer waited;
        waited.start();
        js(call);
        while (js(QStringLiteral("answers")).toInt() == before && waited.elapsed() < 20000)
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        return waited.nsecsElapsed() / 1e6;
    }

    QScopedPointer<MainWindow> window;
};

// A worker whose request names no dictionary, so it reads nothing: the request travels to the
// worker thread and the answer back to the GUI thread, as for a search.
double handOffMedian(int runs)
{
    SearchWorker worker(SearchWorker::Job::WordList);
    worker.setRequest(1, SearchRequest());
    std::function<void()> answer;
    QObject::connect(&worker, &SearchWorker::onTerminated, qApp, [&answer] { answer(); });
    QVector<double> times;
    QElapsedTimer timer;
    for (int i = 0; i < runs; ++i) {
        QEventLoop loop;
        answer = [&] {
            times.push_back(timer.nsecsElapsed() / 1e6);
            loop.quit();
        };
        timer.start();
        worker.runRequest();
        loop.exec();
        worker.waitUntilIdle();
        // The GUI thread works between requests (here it spins), as the benchmark's direct runs do.
        QElapsedTimer busy;
        busy.start();
        while (busy.nsecsElapsed() < 500000) { }
    }
    return BenchSupport::median(times);
}

// What the figures are measured on: "generated" or the dictd dictionary's name.
QByteArray dataName = "generated";

bool report(const char* name, const Sample& s)
{
    const double direct = BenchSupport::median(s.direct);
    const double app = BenchSupport::median(s.app);
    const double ratio = app / direct;
    const bool ok = ratio <= 1.2 && app < 50.0;
    std::printf("%-22s direct median %7.3f ms   application median %7.3f ms   ratio %5.3f   %s\n", name, direct, app,
        ratio, ok ? "ok" : "TOO SLOW");
    if (!s.page.isEmpty())
        std::printf("%-22s from the page through the bridge: median %7.3f ms\n", "", BenchSupport::median(s.page));
    const QByteArray what = QByteArray(name) + " (" + dataName + ")";
    return BenchSupport::figure(what.constData(), app, "ms", direct, "same statements direct", QStringLiteral("<= 1.2x"), ok);
}

// Ours beside dictd's MATCH of the same prefixes on its warm connection: no slower.
bool reportBesideDictd(const char* name, const QVector<double>& ours, const QVector<double>& dictd)
{
    const double m = BenchSupport::median(ours);
    const double reference = BenchSupport::median(dictd);
    const bool ok = m <= reference;
    std::printf("%-22s dictd MATCH prefix median %7.3f ms   ours %7.3f ms   ratio %5.3f   %s\n", name, reference, m,
        m / reference, ok ? "ok" : "TOO SLOW");
    const QByteArray what = QByteArray(name) + ", beside dictd (" + dataName + ")";
    return BenchSupport::figure(what.constData(), m, "ms", reference, "dictd MATCH prefix", QStringLiteral("<= 1x"), ok);
}

QString megabytes(qint64 bytes) { return QString::number(bytes / 1048576.0, 'f', 1) + QStringLiteral(" MB"); }

QStringList column(const QString& database, const QByteArray& sql)
{
    QStringList values;
    sqlite3* db = nullptr;
    sqlite3_stmt* s = nullptr;
    if (sqlite3_open_v2(database.toUtf8().constData(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK
        && sqlite3_prepare_v2(db, sql.constData(), sql.size(), &s, nullptr) == SQLITE_OK)
        while (sqlite3_step(s) == SQLITE_ROW)
            for (int c = 0; c < sqlite3_column_count(s); ++c)
                values << QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(s, c)));
    sqlite3_finalize(s);
    sqlite3_close(db);
    return values;
}

// Imports the dictd dictionary as the demo does (content files included) and packs it.
bool buildDictd(
    const QString& book, const QString& base, const QString& affixBase, int count, QVector<SearchQuery>* queries)
{
    QElapsedTimer build;
    build.start();
    AffixExpander affixes;
    if (!affixBase.isEmpty() && !affixes.load(affixBase))
        return BenchSupport::failed(affixes.errorString());
    DictionaryBuilder builder;
    DictionaryBuilder::Options options;
    options.maximumDefinitionKeywords = 16;
    if (language == QLatin1String("en")) {
        options.startCharset = QStringLiteral("é|è|ñ|ç|’");
        options.endCharset = QStringLiteral("e|e|n|c|'");
    }
    DictdImporter importer;
    if (!builder.open(book, options)
        || !importer.import(base, language, affixBase.isEmpty() ? nullptr : &affixes, builder))
        return BenchSupport::failed(importer.errorString() + builder.errorString());
    if (!builder.finish())
        return BenchSupport::failed(builder.errorString());
    const double built = build.elapsed() / 1000.0;
    build.start();
    const QString package = book + QStringLiteral(".zip");
    QString error;
    if (!DictionaryBuilder::writePackage(book, package, &error))
        return BenchSupport::failed(error);
    const double packed = build.elapsed() / 1000.0;
    const QString database = book + QStringLiteral("/database.db");
    const QStringList counts = column(database,
        "select (select count(*) from lemma), (select count(*) from lemmatizzatore), "
        "(select count(*) from keyword_lemma), (select count(*) from ambiti), (select count(*) from file)");
    qint64 content = 0;
    for (const QFileInfo& file : QDir(book).entryInfoList({ QStringLiteral("*.xhtml.zip") }, QDir::Files))
        content += file.size();
    std::printf("dictionary %s: %s entries, %s forms, %s keyword links, %s scopes, %s content files\n",
        qPrintable(QFileInfo(base).fileName()), qPrintable(counts.value(0)), qPrintable(counts.value(1)),
        qPrintable(counts.value(2)), qPrintable(counts.value(3)), qPrintable(counts.value(4)));
    std::printf("built in %.1f s, packed in %.1f s; database.db %s, content files %s, package %s\n", built, packed,
        qPrintable(megabytes(QFileInfo(database).size())), qPrintable(megabytes(content)),
        qPrintable(megabytes(QFileInfo(package).size())));
    QFile::remove(package);

    // Entries spread over the dictionary, each with a keyword of its own; the scoped search
    // looks in the largest scope.
    const QString scope
        = column(database, "select id_ambito from lemma_ambito group by id_ambito order by count(*) desc limit 1")
              .value(0);
    const int entries = counts.value(0).toInt();
    const QStringList rows = column(database,
        "select l.nome, (select k.keyword from keyword_lemma kl, keyword k where kl.id_lemma = l.id and "
        "k.id = kl.id_keyword limit 1) from lemma l where l.id % "
            + QByteArray::number(qMax(1, entries / count)) + " = 0 limit " + QByteArray::number(count));
    for (int i = 0; i + 1 < rows.size(); i += 2) {
        const QString headword = rows.at(i).toLower();
        *queries << SearchQuery { headword.left(qMin(headword.size(), 5)), rows.at(i + 1), headword.left(3), scope };
    }
    return !queries->isEmpty() || BenchSupport::failed(QStringLiteral("no entries to search"));
}
}

int main(int argc, char* argv[])
{
    QTemporaryDir home(QDir::tempPath() + QStringLiteral("/vocalume-bench-XXXXXX"));
    qputenv("HOME", QFile::encodeName(home.path()));
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(home.path() + QStringLiteral("/config")));
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    BenchSupport::quietProgram();
    QStringList arguments = app.arguments().mid(1);
    const auto option = [&arguments](const QString& name) {
        const int at = arguments.indexOf(name);
        if (at < 0 || at + 1 >= arguments.size())
            return QString();
        const QString value = arguments.at(at + 1);
        arguments.erase(arguments.begin() + at, arguments.begin() + at + 2);
        return value;
    };
    const QString dictd = option(QStringLiteral("--dictd"));
    const QString affixBase = option(QStringLiteral("--affixes"));
    const QString chosenLanguage = option(QStringLiteral("--language"));
    if (!chosenLanguage.isEmpty())
        language = chosenLanguage;
    else if (!dictd.isEmpty())
        language = QStringLiteral("en");
    const int entries = dictd.isEmpty() && !arguments.isEmpty() ? arguments.takeFirst().toInt() : 200000;
    const int iterations = !arguments.isEmpty() ? arguments.takeFirst().toInt() : 200;

    AppSettings settings;
    if (language == QLatin1String("en")) {
        settings.setStartCharset(QStringLiteral("é|è|ñ|ç|’"), language);
        settings.setEndCharset(QStringLiteral("e|e|n|c|'"), language);
    } else {
        settings.setStartCharset(QStringLiteral("à|á|è|é|ì|í|ò|ó|ù|ú"), language);
        settings.setEndCharset(QStringLiteral("a|a|e|e|i|i|o|o|u|u"), language);
    }

    // The window first: it prepares the data directory the dictionary is then installed in.
    LiveBridge bridge;
    if (!bridge.open())
        return std::fprintf(stderr, "the main window did not show the probe page\n"), 1;

    const int warmUp = 20;
    const QString book = home.path() + QStringLiteral("/.vocalumezenta/engine/books/") + QLatin1String(sku);
    QVector<SearchQuery> queries;
    if (!(dictd.isEmpty() ? SyntheticBook::build(book, entries, warmUp + iterations, &queries)
                          : buildDictd(book, dictd, affixBase, warmUp + iterations, &queries)))
        return 1;

    DirectStatements direct(getBookDatabasePath(QLatin1String(sku)), language);
    // The same data served by dictd, for listing words by their beginning.
    DictdSession dictdSession;
    const bool besideDictd = !dictd.isEmpty() && dictdSession.start(dictd);
    if (!dictd.isEmpty())
        dataName = QFileInfo(dictd).fileName().toUtf8();
    QVector<double> dictdMatch, prefixOurs;
    Pipeline pipeline;
    Sample entrySample, fullTextSample, scopedSample, wordListSample;
    for (int i = 0; i < warmUp + iterations; ++i) {
        const SearchQuery& q = queries.at(i % queries.size());
        direct.prepareForms(q.typed);
        direct.prepareForms(q.keyword);
        const bool keep = i >= warmUp;
        // The two runs of a pair take turns at going first: whichever runs second finds the
        // other's pages in the system's cache, and that is not what is measured.
        const auto measure
            = [&](Sample& sample, const std::function<void()>& directRun, const std::function<double()>& applicationRun,
                  const std::function<double()>& pageRun) {
                  double directTime = 0;
                  double pageTime = 0;
                  const auto runDirect = [&] { directTime = BenchSupport::millisecondsOf(directRun); };
                  if (i % 2)
                      runDirect();
                  else
                      pageTime = pageRun();
                  const double applicationTime = applicationRun();
                  if (i % 2)
                      pageTime = pageRun();
                  else
                      runDirect();
                  if (keep) {
                      sample.direct.push_back(directTime);
                      sample.app.push_back(applicationTime);
                      sample.page.push_back(pageTime);
                  }
              };
        const auto wordRequest = [&](const QString& prefix) {
            return SearchRequest { prefix, QString(), QString(), QLatin1String(sku), QStringLiteral("20"), QStringLiteral("10"),
                language };
        };
        const auto request = [&](const QString& word, const QString& scope, const char* type) {
            return SearchRequest { word, scope, QLatin1String(type), QLatin1String(sku), QStringLiteral("0"),
                QStringLiteral("10"), language };
        };

        measure(
            entrySample, [&] { direct.entrySearch(q.typed, QStringLiteral("0"), QStringLiteral("10")); },
            [&] { return pipeline.timeSearch(request(q.typed, QString(), "0")); },
            [&] { return bridge.search(request(q.typed, QString(), "0")); });
        measure(
            fullTextSample, [&] { direct.fullText(q.keyword, QString(), QStringLiteral("0"), QStringLiteral("10")); },
            [&] { return pipeline.timeSearch(request(q.keyword, QString(), "2")); },
            [&] { return bridge.search(request(q.keyword, QString(), "2")); });
        if (!q.scope.isEmpty())
            measure(
                scopedSample, [&] { direct.fullText(q.keyword, q.scope, QStringLiteral("0"), QStringLiteral("10")); },
                [&] { return pipeline.timeSearch(request(q.keyword, q.scope, "2")); },
                [&] { return bridge.search(request(q.keyword, q.scope, "2")); });
        measure(
            wordListSample, [&] { direct.wordList(q.prefix, QStringLiteral("20"), QStringLiteral("10")); },
            [&] { return pipeline.timeWordList(wordRequest(q.prefix)); },
            [&] { return bridge.wordList(wordRequest(q.prefix)); });
        if (besideDictd) {
            const double reference = dictdSession.match(q.prefix);
            const double ours = BenchSupport::millisecondsOf(
                [&] { PrefixSearch::inBook({ QLatin1String(sku), QString(), language }, q.prefix, 10); });
            if (keep) {
                dictdMatch << reference;
                prefixOurs << ours;
            }
        }
    }
    std::printf("%d runs each, after %d warm-up runs\n", iterations, warmUp);
    std::printf("%-22s median %7.3f ms (request to the worker and answer back, no work)\n", "thread hand-off",
        handOffMedian(iterations));
    bool ok = report("entry search, page 1", entrySample);
    ok = report("full-text search", fullTextSample) && ok;
    if (!scopedSample.direct.isEmpty())
        ok = report("full text in a scope", scopedSample) && ok;
    ok = report("word-list page", wordListSample) && ok;
    if (besideDictd) {
        ok = reportBesideDictd("word-list page", wordListSample.app, dictdMatch) && ok;
        ok = reportBesideDictd("prefix look-up", prefixOurs, dictdMatch) && ok;
    }
    return ok ? 0 : 1;
}
