#include "app/dialogs.h"

#include <QDialog>
#include <QPushButton>

namespace {
Dialogs::Handler handler;
}

void Dialogs::setHandler(Handler h)
{
    handler = std::move(h);
}

int Dialogs::show(QWidget* parent, QMessageBox::Icon icon, Kind kind, const QString& title, const QString& text)
{
    if (handler)
        return handler(kind, title, text, nullptr);
    QMessageBox box(icon, title, text, QMessageBox::Ok, parent);
    return box.exec();
}

void Dialogs::warning(QWidget* parent, const QString& title, const QString& text)
{
    show(parent, QMessageBox::Warning, Kind::Warning, title, text);
}

void Dialogs::information(QWidget* parent, const QString& title, const QString& text)
{
    show(parent, QMessageBox::Information, Kind::Information, title, text);
}

void Dialogs::critical(QWidget* parent, const QString& title, const QString& text)
{
    show(parent, QMessageBox::Critical, Kind::Critical, title, text);
}

Dialogs::Answer Dialogs::askOfferingExport(QWidget* parent, const QString& text)
{
    QMessageBox box(parent);
    box.setWindowTitle(QStringLiteral("Vocalume"));
    box.setText(text);
    QPushButton* exportNotes = box.addButton(QStringLiteral("Esporta gli appunti"), QMessageBox::ActionRole);
    QPushButton* no = box.addButton(QStringLiteral("No"), QMessageBox::RejectRole);
    // The standard Ok button, answering a yes-or-no question beside "No".
    QPushButton* ok = box.addButton(QMessageBox::Ok);
    ok->setText(QStringLiteral("Sì"));
    // A question that removes everything never does so on a bare Enter.
    box.setDefaultButton(no);
    box.setEscapeButton(no);
    QAbstractButton* clicked = no;
    if (handler) {
        const int button = handler(Kind::Question, box.windowTitle(), text, &box);
        clicked = button == QMessageBox::Ok ? ok : button == QMessageBox::Save ? exportNotes : no;
    } else {
        box.exec();
        clicked = box.clickedButton();
    }
    return clicked == exportNotes ? Answer::ExportNotes : clicked == ok ? Answer::Ok : Answer::No;
}

int Dialogs::exec(QDialog* dialog)
{
    if (handler)
        return handler(Kind::Dialog, dialog->windowTitle(), QString(), dialog);
    return dialog->exec();
}
