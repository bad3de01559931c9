// Test harness: every test runs offscreen in a temporary HOME and XDG_CONFIG_HOME of its own, never
// the real home. Tests below the GUI run under a QCoreApplication; GUI tests (VOCALUME_TEST_GUI) get
// a QApplication and the recorders of guitestsupport.h.
#pragma once

#include <QCoreApplication>
#include <QDir>
#include <QSignalSpy>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QTest>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

namespace TestSupport {

// Prepares the environment; must run before the application object exists.
void prepareEnvironment();
// Empties the temporary HOME and the settings, and forgets recorded diagnostics and dialogs.
void resetHome();
// Run by every resetHome after the home is emptied, in the order added.
void addResetStep(std::function<void()> step);
QString dataDirectory();

// Records every diagnostic line and every message box until the next reset.
struct Recorded {
    QStringList diagnostics;
    QStringList dialogs; // "title|text" (GUI tests)
    QStringList statements; // script statements run in the page (GUI tests)
};
Recorded& recorded();
bool diagnosticsContain(const QString& text);
// The script statements run for the page's `callback`, in order.
QStringList heard(const QString& callback);

// Reproducible bytes that do not compress, for bodies and packages.
QByteArray noise(int size, uint seed = 1);

// Writes `bytes` to `path`, making its folders first.
bool writeFile(const QString& path, const QByteArray& bytes);
// A file's bytes, or "<missing>" when it cannot be read.
QByteArray readFile(const QString& path);

// Builds a zip archive with the given entries (name -> bytes); names ending in "/" are folders.
bool writeZip(const QString& path, const QList<QPair<QString, QByteArray>>& entries);

// Ends the test process, failing, when the scope it guards is not left within `seconds`: a
// statement or thread that never ends would otherwise hold the test until CTest's own time limit,
// and a fault whose only sign is that wait would pass unseen.
class Deadline {
public:
    Deadline(int seconds, const char* what);
    ~Deadline();

private:
    std::mutex mutex;
    std::condition_variable left;
    bool done = false;
    std::thread watcher; // last: started once the others exist
};
}

#ifdef VOCALUME_TEST_GUI
#include "tests/support/guitestsupport.h"
#define VOCALUME_TEST_APPLICATION QApplication
#define VOCALUME_TEST_PREPARE_LAYER() TestSupport::prepareGui()
#elif defined(VOCALUME_TEST_WIDGETS)
// The web layer's own tests need a QApplication for its view, dialogs and printing, not the recorders.
#include <QApplication>
#define VOCALUME_TEST_APPLICATION QApplication
#define VOCALUME_TEST_PREPARE_LAYER()
#else
#define VOCALUME_TEST_APPLICATION QCoreApplication
#define VOCALUME_TEST_PREPARE_LAYER()
#endif

#define VOCALUME_TEST_RUN(TestObject)                          \
    TestSupport::prepareEnvironment();                         \
    VOCALUME_TEST_APPLICATION app(argc, argv);                 \
    VOCALUME_TEST_PREPARE_LAYER();                             \
    TestSupport::resetHome();                                  \
    TestObject tc;                                             \
    QTEST_SET_MAIN_SOURCE_PATH                                 \
    return QTest::qExec(&tc, argc, argv);

#define VOCALUME_TEST_MAIN(TestObject)                         \
    int main(int argc, char* argv[]) { VOCALUME_TEST_RUN(TestObject) }

// For tests whose objects call the desktop over the session bus: a bus of the test's own.
#define VOCALUME_TEST_MAIN_ON_PRIVATE_BUS(TestObject)          \
    int main(int argc, char* argv[])                           \
    {                                                          \
        PrivateBus::enter(argc, argv);                         \
        VOCALUME_TEST_RUN(TestObject)                          \
    }
