#include "app/dataremoval.h"

#include "app/dialogs.h"
#include "base/appsettings.h"
#include "base/scriptliteral.h"
#include "store/notesexport.h"

namespace {
// Word for word as the page's sign-out question says it.
const char notesSentence[] = "Anche i preferiti, i segnalibri e le note vengono eliminati: esportali prima per "
                             "poterli importare dopo il prossimo accesso.";
}

bool DataRemoval::confirmReset(QWidget* parent)
{
    const QString question = QStringLiteral("Resettare i dati dell'applicazione? (il programma verrà chiuso e i libri "
                                            "dovranno essere riscaricati)\n\n")
        + QString::fromUtf8(notesSentence);
    for (;;) {
        switch (Dialogs::askOfferingExport(parent, question)) {
        case Dialogs::Answer::No:
            return false;
        case Dialogs::Answer::Ok:
            return true;
        case Dialogs::Answer::ExportNotes:
            exportNotes(parent);
            break;
        }
    }
}

void DataRemoval::exportNotes(QWidget* parent)
{
    NotesExport notes;
    if (notes.write(AppSettings().username()))
        Dialogs::information(parent, QStringLiteral("Vocalume"),
                             QStringLiteral("Appunti esportati nel file %1: preferiti, segnalibri, note e cronologia di "
                                            "tutti i dizionari.").arg(notes.path()));
    else
        Dialogs::warning(parent, QStringLiteral("Vocalume"),
                         QStringLiteral("Gli appunti non sono stati esportati. ") + notes.errorText());
}

QString DataRemoval::accessDenied(QString* notesFile)
{
    QString text = QStringLiteral("Accesso negato!<br/>Sarà necessario riloggarsi e riscaricare i libri<br/>");
    NotesExport notes;
    const bool saved = notes.write(AppSettings().username());
    *notesFile = saved ? notes.path() : QString();
    if (saved)
        text += QStringLiteral("I tuoi preferiti, segnalibri, note e la cronologia sono stati salvati nel file %1: "
                               "potrai importarli dopo il prossimo accesso.").arg(notes.path());
    else
        text += QStringLiteral("Prima però vanno salvati i tuoi appunti, e non è stato possibile. ") + notes.errorText()
            + QStringLiteral("<br/>Nessun dato è stato rimosso: risolvi il problema e riavvia il programma.");
    // Only with the notes safe does the dialog's Ok sign out.
    // The page's writes still pending (a note saved meanwhile) end before the sign-out saves the
    // notes again and removes the data.
    const QString signOut = QStringLiteral(
        "(window.Vocalume && Vocalume.store && Vocalume.store.afterWrites || function (f) { f(); })"
        "(function () { QtJavascriptInteraction.onLogout(); })");
    return QStringLiteral("messageDialog(") + ScriptLiteral::string(text)
        + (saved ? QStringLiteral(", ") + ScriptLiteral::string(signOut) + QLatin1Char(')') : QStringLiteral(")"));
}
