// The dialog that offers the download page of another release of the program.
#pragma once

#include <QDialog>
#include <QScopedPointer>

namespace Ui {
class Update;
}

class Update : public QDialog
{
    Q_OBJECT
public:
    explicit Update(QWidget* parent = nullptr);
    ~Update() override;

    // What the main window does with the version check's answer: when `reply` is true, runs the
    // dialog modally and, if the user asked for it, opens `url` with the desktop's handler.
    static void offerDownload(QWidget* parent, bool reply, const QString& url);

    // True once the user has asked for the download page; closing the dialog otherwise leaves it false.
    bool accepted = false;

public slots:
    void onOk();

private:
    QScopedPointer<Ui::Update> ui;
};
