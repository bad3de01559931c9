// The pop-up look-up's time to show: with the demo dictionaries installed and the program running
// (its bus object on a bus of the benchmark's own), a word is put in the selection and the
// desktop's key is pressed as its binding does, by calling CercaSelezione; the time runs from
// that call to the pop-up's entries painted on screen. The first pop-up of a run (its window
// made) is printed apart; the main window exists, hidden, as in a running program. Not a test: it needs the packages scripts/demo-packages.sh builds.
//   bench_popup [rounds] [packages folder]      (VOCALUME_BENCH_QPA=xcb or wayland: on screen)
#include "app/desktoplookup.h"
#include "app/mainwindow.h"
#include "app/popupwindow.h"
#include "bench/benchsupport.h"
#include "bench/demolibrary.h"
#include "desktop/desktopbus.h"
#include "tests/support/privatebus.h"

#include <QApplication>
#include <QClipboard>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCall>
#include <QDir>
#include <QElapsedTimer>
#include <QTest>
#include <QTextBrowser>
#include <algorithm>
#include <cstdio>

namespace {
// Words a learner selects while reading, Italian and English, forms among them.
const char* const words[] = { "went", "children", "mice", "better", "stato", "fatto", "vado", "case", "dog",
    "netting", "casa", "house", "feet", "parlato", "good", "era" };

// Counts the paintings of the pop-up's text.
class PaintCounter : public QObject {
public:
    int paints = 0;
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::Paint)
            ++paints;
        return false;
    }
};

double percentile95(QVector<double> values)
{
    std::sort(values.begin(), values.end());
    return values.isEmpty() ? 0 : values.at(qMin(values.size() - 1, int(values.size() * 0.95)));
}
}

int main(int argc, char* argv[])
{
    PrivateBus::enter(argc, argv);
    BenchSupport::prepareEnvironment();
    // Offscreen unless told to show on the caller's X server or compositor (xcb, wayland).
    if (qEnvironmentVariableIsSet("VOCALUME_BENCH_QPA"))
        qputenv("QT_QPA_PLATFORM", qgetenv("VOCALUME_BENCH_QPA"));
    QApplication app(argc, argv);
    BenchSupport::quietProgram();
    const int rounds = BenchSupport::countArgument(argc, argv, 1, 50);
    const QString packages = argc > 2 ? QString::fromLocal8Bit(argv[2]) : DemoLibrary::packagesFolder();
    if (!QDir(packages).exists())
        return std::fprintf(stderr, "usage: bench_popup [rounds] [packages folder]\n"), 2;
    // The program runs: its window made (which makes its data folder), left in the background.
    MainWindow main;
    if (!DemoLibrary::installAll(packages, DemoLibrary::catalogPath()))
        return 1;

    // The program's side, as main() joins it: the bus object, the look-up and the pop-up.
    DesktopLookup lookup([]() -> MainWindow* { return nullptr; });
    QScopedPointer<PopupWindow> popup;
    PaintCounter painted;
    const auto showPopup = [&](const QString& word) {
        if (!popup) {
            popup.reset(new PopupWindow);
            popup->text()->viewport()->installEventFilter(&painted);
        }
        popup->lookUp(word);
    };
    lookup.setPopup(showPopup);
    DesktopBus bus;
    QObject::connect(&bus, &DesktopBus::selectionLookUpWanted, &lookup, &DesktopLookup::lookUpSelection);
    if (!bus.start())
        return BenchSupport::failed(QStringLiteral("the bus object did not start")), 1;
    QDBusConnection desktop = QDBusConnection::connectToBus(QDBusConnection::SessionBus, QStringLiteral("desktop"));

    QVector<double> times;
    double first = -1;
    int withEntries = 0;
    int throughBus = 0;
    const int count = int(sizeof words / sizeof *words);
    for (int i = 0; i <= rounds; ++i) {
        const QString word = QString::fromLatin1(words[i % count]);
        QClipboard* clipboard = QGuiApplication::clipboard();
        clipboard->setText(word);
        if (clipboard->supportsSelection())
            clipboard->setText(word, QClipboard::Selection);
        const int paintsBefore = painted.paints;
        QElapsedTimer clock;
        clock.start();
        // A compositor without a seat (weston without a screen) takes nothing on its clipboard:
        // there the pop-up is asked for the word straight away, without the bus and the selection.
        if (clipboard->text() == word) {
            ++throughBus;
            desktop.asyncCall(QDBusMessage::createMethodCall(DesktopBus::serviceName(), DesktopBus::objectPath(),
                DesktopBus::serviceName(), QStringLiteral("CercaSelezione")));
        } else {
            showPopup(word);
        }
        if (!QTest::qWaitFor([&] { return popup && popup->hasEntries() && popup->word() == word
                    && popup->isVisible() && painted.paints > paintsBefore; }, 5000))
            return BenchSupport::failed(QStringLiteral("the pop-up for %1 did not show").arg(word)), 1;
        const double ms = clock.nsecsElapsed() / 1e6;
        withEntries += popup->text()->toPlainText().startsWith(QLatin1String("Nessun")) ? 0 : 1;
        if (i == 0)
            first = ms;
        else
            times << ms;
        popup->close();
        QTest::qWait(20);
    }
    std::printf("first pop-up of the run      %7.1f ms  (%d of %d asked through the bus and the selection)\n", first,
        throughBus, rounds + 1);
    std::printf("pop-up shown, %d look-ups    median %6.1f ms  p95 %6.1f ms  (%d of %d with entries)\n", rounds,
        BenchSupport::median(times), percentile95(times), withEntries, rounds + 1);
    bool ok = BenchSupport::figure("pop-up look-up shown, median", BenchSupport::median(times), "ms", -1, "",
        QStringLiteral("< 150 ms"), BenchSupport::median(times) < 150);
    ok &= BenchSupport::figure("pop-up look-up shown, p95", percentile95(times), "ms", -1, "", QStringLiteral("< 150 ms"),
        percentile95(times) < 150);
    ok &= BenchSupport::figure("first pop-up of a run", first, "ms", -1, "", QStringLiteral("< 150 ms"), first < 150);
    return ok ? 0 : 1;
}
