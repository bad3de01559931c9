// The program's modal message boxes. Everything that asks or tells the user through a box goes
// through here, so tests can answer in place of a person.
#pragma once

#include <QMessageBox>
#include <QString>
#include <functional>

class QDialog;
class QWidget;

class Dialogs
{
public:
    enum class Kind { Warning, Information, Critical, Question, Dialog };
    // Receives what would be shown and returns the button the "user" pressed
    // (for Kind::Dialog: QDialog::Accepted or Rejected after the handler acted on the dialog;
    // for a question, the box itself may come along).
    using Handler = std::function<int(Kind kind, const QString& title, const QString& text, QDialog* dialog)>;

    static void setHandler(Handler handler);

    static void warning(QWidget* parent, const QString& title, const QString& text);
    static void information(QWidget* parent, const QString& title, const QString& text);
    static void critical(QWidget* parent, const QString& title, const QString& text);
    // What the user chose in a question that offers to export the notes first.
    enum class Answer { No, ExportNotes, Ok };
    // A question titled "Vocalume" with the buttons "Esporta gli appunti", "No" (the default, with
    // the reject role) and Ok, which reads "Sì". A handler is given the box as it would be shown and answers QMessageBox::Ok,
    // QMessageBox::Save (the export) or any other button (No).
    static Answer askOfferingExport(QWidget* parent, const QString& text);
    // Runs an application dialog modally (exec).
    static int exec(QDialog* dialog);

private:
    static int show(QWidget* parent, QMessageBox::Icon icon, Kind kind, const QString& title, const QString& text);
};
