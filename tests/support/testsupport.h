// Test harness: every test executable runs offscreen in a temporary HOME and XDG_CONFIG_HOME of
// its own, so no test ever touches the real home directory. It brings the QtTest tools every
// test uses (signal spies, temporary directories).
#pragma once

#include <QApplication>
#include <QDir>
#include <QSignalSpy>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QTest>
#include <functional>

class MainWindow;

namespace TestSupport {

// Prepares the environment; must run before the application object exists.
void prepareEnvironment();
// Empties the temporary HOME and the settings, and forgets recorded diagnostics and dialogs.
void resetHome();
QString dataDirectory();

// Records every diagnostic line and every message box until the next reset.
struct Recorded {
    QStringList diagnostics;
    QStringList dialogs; // "title|text"
    QStringList statements; // script statements run in the page
};
Recorded& recorded();
// Makes message boxes answer Ok (or the given button) without a person.
void answerDialogs(int button);
bool diagnosticsContain(const QString& text);
// The script statements run for the page's `callback`, in order.
QStringList heard(const QString& callback);

// Reproducible bytes that do not compress, for bodies and packages.
QByteArray noise(int size, uint seed = 1);

// The window's web database as a test sees it (opened directly, no boxes).
QString storeValue(const QString& refbook, const QString& variable);
// Every SYSTEM row as "id|refbook|variable|value", in identifier order.
QStringList storeRows();
void storeExec(const QString& statement);

// Builds a zip archive with the given entries (name -> bytes); names ending in "/" are folders.
bool writeZip(const QString& path, const QList<QPair<QString, QByteArray>>& entries);
}

#define VOCALUME_TEST_MAIN(TestObject)                         \
    int main(int argc, char* argv[])                           \
    {                                                          \
        TestSupport::prepareEnvironment();                     \
        QApplication app(argc, argv);                          \
        TestSupport::resetHome();                              \
        TestObject tc;                                         \
        QTEST_SET_MAIN_SOURCE_PATH                             \
        return QTest::qExec(&tc, argc, argv);                  \
    }
