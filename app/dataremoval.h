// What comes before the account's local data is removed, so the reader's own writing never goes
// with it unasked: the reset question, which offers to export the notes first, the notes saved
// into the documents folder, and the page's dialog when the store refuses the session. The
// removal itself is MainWindow::logout.
#pragma once

#include <QString>

class QWidget;

class DataRemoval
{
public:
    // Ctrl+R: asks, exporting the notes as often as the user chooses; true once the user
    // confirms the reset.
    static bool confirmReset(QWidget* parent);
    // Saves the notes into the documents folder and tells the user where, or why not.
    static void exportNotes(QWidget* parent);
    // The store refused the session: saves the notes and returns the statement of the page's
    // dialog, with the file they were saved into in `*notesFile` (empty when they were not). Its
    // Ok signs out only when the notes are saved, once the page's own writes are done; otherwise
    // nothing is removed and the dialog says why.
    static QString accessDenied(QString* notesFile);
};
