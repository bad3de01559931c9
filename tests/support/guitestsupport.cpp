#include "tests/support/guitestsupport.h"

#include "app/dialogs.h"
#include "resources/resources.h"
#include "tests/support/testsupport.h"
#include "web/scriptcall.h"

#include <QMessageBox>

namespace TestSupport {

void prepareGui()
{
    addResetStep([] {
        VocalumeResources::init();
        answerDialogs(QMessageBox::Ok);
        ScriptCall::setRecorder([](const QString& statement) { recorded().statements << statement; });
    });
}

void answerDialogs(int button)
{
    Dialogs::setHandler([button](Dialogs::Kind, const QString& title, const QString& text, QDialog*) {
        recorded().dialogs << title + QLatin1Char('|') + text;
        return button;
    });
}
}
