// What a desktop program is expected to do, beside what the pages draw: Qt's own dialogs in
// Italian, a window that fits the screen it opens on, and Ctrl+Q to quit.
#pragma once

class QCoreApplication;
class QMainWindow;
class QWidget;

class DesktopHabits
{
public:
    // Loads Qt's Italian texts (file, print and message dialogs, their buttons) from the
    // system's translations; false when they are not installed.
    static bool installQtTranslations(QCoreApplication* app);
    // Clamps the window's size to the screen's free area and centres it there, so the size it
    // returns to from maximized never leaves part of it off the screen.
    static void fitToScreen(QWidget* window);
    // Ctrl+Q closes the window, which ends the program.
    static void addQuitKey(QMainWindow* window);
};
