// The pop-up look-up: a small frameless window beside the pointer with the entries of a word
// selected in another program, from every installed dictionary. Esc or a click elsewhere closes
// it; Enter or "Apri nel dizionario" asks for the main window on the word. Its colours follow the
// desktop's light or dark preference, as the pages' automatic theme does.
#pragma once

#include "app/popupentries.h"

#include <QPoint>
#include <QWidget>

class PageTheme;
class QKeyEvent;
class QLabel;
class QPushButton;
class QTextBrowser;

class PopupWindow : public QWidget {
    Q_OBJECT
public:
    // The tallest a pop-up grows, in lines of its font.
    static constexpr int MaxLines = 22;

    explicit PopupWindow(QWidget* parent = nullptr);

    // Shows the pop-up for `word` beside the pointer and fills it once its entries are read;
    // an empty word shows what to do instead.
    void lookUp(const QString& word);
    // The word shown, and whether its entries are in view (tests and the benchmark read them).
    QString word() const { return shownWord; }
    bool hasEntries() const { return filled; }
    QTextBrowser* text() const { return browser; }
    QPushButton* openButton() const { return open; }
    const PopupEntries* reader() const { return &entries; }

    // The style sheet of the entries, light or dark.
    static QString styleSheet(bool dark);

signals:
    // The user wants the main window on `word`.
    void openWanted(const QString& word);
    // The entries of the word asked last are in view.
    void shown();
    void closed();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void changeEvent(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void showEntries(const QString& word, const QString& html);
    void openInDictionary();
    // Esc closes, Enter opens the main window; false for any other key.
    bool handleKey(const QKeyEvent* event);
    void applyTheme();
    void placeBesidePointer();
    void fitToText();

    PopupEntries entries;
    PageTheme* theme = nullptr;
    QLabel* heading = nullptr;
    QPushButton* open = nullptr;
    QTextBrowser* browser = nullptr;
    QString shownWord;
    // The document in view, set again when the theme changes.
    QString document;
    bool filled = false;
    // A window that has never been active cannot lose activation: only a click elsewhere after
    // it came forward closes it.
    bool wasActive = false;
};
