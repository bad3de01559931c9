#include "app/update.h"

#include "app/dialogs.h"
#include "ui_update.h"

#include <QDesktopServices>
#include <QUrl>

Update::Update(QWidget* parent)
    : QDialog(parent)
    , ui(new Ui::Update)
{
    ui->setupUi(this);
    connect(ui->pushButtonOk, &QPushButton::clicked, this, &Update::onOk);
    connect(ui->pushButtonAnnulla, &QPushButton::clicked, this, &QWidget::close);
}

Update::~Update() = default;

void Update::onOk()
{
    accepted = true;
    close();
}

void Update::offerDownload(QWidget* parent, bool reply, const QString& url)
{
    if (!reply)
        return;
    QScopedPointer<Update> dialog(new Update(parent));
    Dialogs::exec(dialog.data());
    // The address comes from a plain-HTTP reply: only a web page may be opened, never a local
    // file or a script address.
    const QUrl address(url);
    const QString scheme = address.scheme().toLower();
    if (dialog->accepted && address.isValid() && (scheme == QLatin1String("http") || scheme == QLatin1String("https")))
        QDesktopServices::openUrl(address);
}
