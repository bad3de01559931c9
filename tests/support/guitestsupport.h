// What GUI tests add to the harness: message boxes answered without a person, and every box and
// every statement run in the page recorded for the test to read.
#pragma once

#include "app/dialogs.h"
#include "resources/resources.h"
#include "tests/support/storerows.h"
#include "web/scriptcall.h"

#include <QApplication>
#include <QMessageBox>

namespace TestSupport {
// Makes message boxes answer Ok (or the given button) until the next reset.
inline void answerDialogs(int button)
{
    Dialogs::setHandler([button](Dialogs::Kind, const QString& title, const QString& text, QDialog*) {
        recorded().dialogs << title + QLatin1Char('|') + text;
        return button;
    });
}

// Installs the recorders and the default answer (Ok) again at every resetHome.
inline void prepareGui()
{
    addResetStep([] {
        VocalumeResources::init();
        answerDialogs(QMessageBox::Ok);
        ScriptCall::setRecorder([](const QString& statement) { recorded().statements << statement; });
    });
}
}
