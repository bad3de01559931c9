// Looks words up on request from outside the window: the command line and a later start
// (--cerca, --selezione), the desktop's bus (Cerca, CercaSelezione) and a headword chosen in the
// desktop's own search. Brings the window to the front, making it on first need, and once a page
// of a signed-in user is on screen opens the dictionary page on the word: in the dictionary
// named, else in the one last opened, else in every installed one. A request that arrives before
// such a page waits for it (through the sign-in, when nobody is signed in); a newer one replaces it.
#pragma once

#include <QObject>
#include <QPointer>
#include <QString>
#include <functional>

class MainWindow;

class DesktopLookup : public QObject {
    Q_OBJECT
public:
    // Makes and shows the window on first need; may give none while it is being made.
    using WindowMaker = std::function<MainWindow*()>;

    explicit DesktopLookup(WindowMaker makeWindow, QObject* parent = nullptr);

    // A request of the running-copy protocol (RunningInstance's verbs); others do nothing.
    void request(const QString& verb, const QString& argument);
    void showWindow();
    // `sku` names the dictionary to search; empty: the one last opened, else every installed one.
    void lookUp(const QString& text, const QString& sku = QString());
    // The primary selection where the system has one holding text, else the clipboard: in the
    // pop-up when there is one and the user has not chosen the main window.
    void lookUpSelection();
    // Shows the word of a selection in the pop-up look-up.
    using Popup = std::function<void(const QString& word)>;
    void setPopup(Popup show) { popup = std::move(show); }

    // The word of `text`: its first line without the blanks and punctuation around it, cut short.
    static QString wordIn(const QString& text);
    // The dictionary page that looks `word` up (see the class comment); empty when no dictionary
    // is installed. When the dictionary named or opened last does not have the word, every
    // installed one is searched, and `*fellBack` says so.
    static QString pageFor(const QString& word, const QString& sku, bool* fellBack = nullptr);

private:
    void readPage();
    void pageLoaded();
    // Opens the waiting look-up once a signed-in page is on screen, or says what it waits for.
    void proceed();
    void openWaiting();
    void tell(const QString& message);

    WindowMaker makeWindow;
    Popup popup;
    QPointer<MainWindow> window;
    QString waitingWord;
    QString waitingSku;
    // The status-bar message last shown, cleared once a look-up opens.
    QString told;
    // The engine page on screen, by name; the library's or a dictionary's means somebody is
    // signed in.
    QString shownPage;
    bool signedIn = false;
    // The page opened on every dictionary because the last one lacked the word: while it is shown,
    // the dictionary opened last stays the one to search next.
    QString fellBackPage;
};
