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

bool Dialogs::confirm(QWidget* parent, const QString& text)
{
    if (handler)
        return handler(Kind::Question, QString(), text, nullptr) == QMessageBox::Ok;
    QMessageBox box(parent);
    box.setText(text);
    box.addButton(QStringLiteral("No"), QMessageBox::RejectRole);
    box.addButton(QMessageBox::Ok);
    box.setDefaultButton(QMessageBox::Ok);
    box.exec();
    return box.clickedButton() == box.button(QMessageBox::Ok);
}

int Dialogs::exec(QDialog* dialog)
{
    if (handler)
        return handler(Kind::Dialog, dialog->windowTitle(), QString(), dialog);
    return dialog->exec();
}

bool Dialogs::openStore(QWidget* parent, WebStore& store, const WebStore::FailureTexts& texts)
{
    if (store.open())
        return true;
    warning(parent, QStringLiteral("Vocalume"), store.failureText(texts));
    return false;
}
