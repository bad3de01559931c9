// What GUI tests add to the harness: message boxes answered without a person, and every box and
// every statement run in the page recorded for the test to read.
#pragma once

#include "tests/support/storerows.h"

#include <QApplication>

namespace TestSupport {
// Installs the recorders and the default answer (Ok) again at every resetHome.
void prepareGui();
// Makes message boxes answer Ok (or the given button) until the next reset.
void answerDialogs(int button);
}
