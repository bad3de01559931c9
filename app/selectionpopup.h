// The running program's pop-up look-up, made at its first word: Enter in it opens the main
// window on the word, and its closing tells when no window of the program is left, so that a
// program started only for the pop-up can end.
#pragma once

#include <QObject>
#include <QScopedPointer>
#include <functional>

class DesktopLookup;
class PopupWindow;

class SelectionPopup : public QObject {
    Q_OBJECT
public:
    // `windowShown` says whether the program has its main window now.
    SelectionPopup(DesktopLookup& lookup, std::function<bool()> windowShown, QObject* parent = nullptr);
    ~SelectionPopup() override;

    void lookUp(const QString& word);
    // The pop-up, once a word asked for it.
    PopupWindow* window() const { return popup.data(); }

signals:
    // The pop-up closed and the program shows no window any more.
    void lastWindowClosed();

private:
    void closed();

    DesktopLookup& lookup;
    std::function<bool()> windowShown;
    QScopedPointer<PopupWindow> popup;
};
