#include "app/selectionpopup.h"

#include "app/desktoplookup.h"
#include "app/popupwindow.h"

#include <QTimer>

SelectionPopup::SelectionPopup(DesktopLookup& lookup, std::function<bool()> windowShown, QObject* parent)
    : QObject(parent)
    , lookup(lookup)
    , windowShown(std::move(windowShown))
{
}

SelectionPopup::~SelectionPopup() = default;

void SelectionPopup::lookUp(const QString& word)
{
    if (!popup) {
        popup.reset(new PopupWindow);
        connect(popup.data(), &PopupWindow::openWanted, &lookup, [this](const QString& wanted) { lookup.lookUp(wanted); });
        connect(popup.data(), &PopupWindow::closed, this, &SelectionPopup::closed);
    }
    popup->lookUp(word);
}

void SelectionPopup::closed()
{
    // Told while it closes, and before the main window it asked for exists: whether anything is
    // left on screen is read once that is done.
    QTimer::singleShot(0, this, [this] {
        if (!windowShown() && !popup->isVisible())
            emit lastWindowClosed();
    });
}
